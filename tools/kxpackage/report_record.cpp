#include "tools/kxpackage/report_record.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <vector>

#include "tools/kxpackage/report_dates.h"

namespace kxpackage {

namespace fs = std::filesystem;

namespace {

// The members each part of a record is read from, most telling first: the
// applications name the same thing differently.
const std::vector<std::string> kTextKeys = {
    "text",    "body",    "content",         "data",    "message",      "msg",
    "caption", "snippet", "utf_Description", "comment", "media_caption"};
const std::vector<std::string> kDateKeys = {
    "send_date",   "date",          "datetime",  "date_time",  "calling_date",
    "create_time", "created_time",  "timestamp", "time",       "start_date",
    "create_date", "creation_date", "last_date", "modify_date"};
const std::vector<std::string> kSenderKeys = {
    "sender_name", "sender", "sender_id", "remote_resource", "from", "author", "address"};
const std::vector<std::string> kFromMeKeys = {"is_from_me", "from_me",     "key_from_me", "is_send",
                                              "is_sender",  "is_outgoing", "isFromMe"};
const std::vector<std::string> kTitleKeys = {
    "display_name",    "name",    "Title",     "full_name",  "username",  "title",  "utf_Title",
    "session_name",    "subject", "room_name", "book_name",  "label",     "number", "phone_number",
    "chat_identifier", "address", "jid",       "session_id", "file_name", "Url",    "id"};
const std::vector<std::string> kSubtitleKeys = {
    "number",  "phone_number", "phone",    "email", "email_address", "folder",
    "account", "domain",       "utf_List", "Url",   "address"};
const std::vector<std::string> kKindKeys = {"kind", "message_type", "media_type", "type"};
// Android's SMS store says who sent a message by the box it lies in.
const std::vector<std::string> kSentBoxes = {"sent", "outbox", "queued", "failed"};
const std::vector<std::string> kMemberNameKeys = {"member_name", "name", "display_name", "id",
                                                  "jid"};

// Member names that may hold a path to a picture, and those that say it
// is one even without an extension.
const std::vector<std::string> kPathHints = {"path",  "thumb", "backup", "file",   "image",
                                             "photo", "media", "avatar", "picture"};
const std::vector<std::string> kPictureHints = {"thumb", "image", "photo", "avatar", "picture"};
const std::vector<std::string> kPictureExtensions = {".jpg", ".jpeg", ".png",  ".gif", ".webp",
                                                     ".bmp", ".heic", ".heif", ".tif", ".tiff"};

constexpr size_t kFieldLimit = 60;    // fields of one record shown
constexpr size_t kValueLimit = 2000;  // characters of one field shown
constexpr int kDepthLimit = 6;        // nesting followed into a record
constexpr size_t kPictureLimit = 24;  // pictures of one record

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool HasAny(const std::string& text, const std::vector<std::string>& parts) {
  const std::string lower = Lower(text);
  return std::any_of(parts.begin(), parts.end(), [&](const std::string& part) {
    return lower.find(part) != std::string::npos;
  });
}

bool EndsWithAny(const std::string& text, const std::vector<std::string>& endings) {
  const std::string lower = Lower(text);
  return std::any_of(endings.begin(), endings.end(), [&](const std::string& ending) {
    return lower.size() >= ending.size() &&
           lower.compare(lower.size() - ending.size(), ending.size(), ending) == 0;
  });
}

std::string Scalar(const Json::Value& value) {
  if (value.isString()) return value.asString();
  if (value.isBool()) return value.asBool() ? "true" : "false";
  if (value.isIntegral() || value.isDouble()) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value);
  }
  return "";
}

std::string Cut(std::string text) {
  if (text.size() <= kValueLimit) return text;
  size_t end = kValueLimit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end) + "…";
}

// The first member of `keys` that `record` holds as a non-empty scalar.
const Json::Value* First(const Json::Value& record, const std::vector<std::string>& keys) {
  if (!record.isObject()) return nullptr;
  for (const std::string& key : keys) {
    const Json::Value* value = record.find(key.data(), key.data() + key.size());
    if (value != nullptr &&
        (value->isNumeric() || (value->isString() && !value->asString().empty())))
      return value;
  }
  return nullptr;
}

std::string FirstText(const Json::Value& record, const std::vector<std::string>& keys) {
  const Json::Value* value = First(record, keys);
  return value == nullptr ? "" : Cut(Scalar(*value));
}

bool Truthy(const Json::Value& value) {
  if (value.isBool()) return value.asBool();
  if (value.isNumeric()) return value.asDouble() != 0;
  if (value.isString()) {
    const std::string text = Lower(value.asString());
    return text == "1" || text == "true" || text == "yes";
  }
  return false;
}

// Nested members as "outer.inner" / "list[0]", at most kFieldLimit.
void Flatten(const std::string& prefix, const Json::Value& value, int depth, Json::Value* fields) {
  if (fields->size() >= kFieldLimit) return;
  if (value.isObject() && depth < kDepthLimit) {
    for (const std::string& name : value.getMemberNames()) {
      Flatten(prefix.empty() ? name : prefix + "." + name, value[name], depth + 1, fields);
    }
  } else if (value.isArray() && depth < kDepthLimit) {
    for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
      Flatten(prefix + "[" + std::to_string(i) + "]", value[i], depth + 1, fields);
    }
  } else if (!value.isNull() && !value.isObject() && !value.isArray()) {
    Json::Value field(Json::arrayValue);
    field.append(prefix);
    field.append(Cut(Scalar(value)));
    fields->append(field);
  }
}

// The first flattened field whose last step is one of `keys`, in the order
// of `keys`: a contact's name may sit in a nested object.
std::string FirstField(const Json::Value& fields, const std::vector<std::string>& keys) {
  for (const std::string& key : keys) {
    for (const Json::Value& field : fields) {
      const std::string name = field[0].asString();
      const size_t dot = name.find_last_of(".]");
      const std::string last = dot == std::string::npos ? name : name.substr(dot + 1);
      if (last == key && !field[1].asString().empty()) return field[1].asString();
    }
  }
  return "";
}

// Whether the first bytes are those of a picture a browser shows.
bool LooksLikePicture(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::array<unsigned char, 12> head{};
  in.read(reinterpret_cast<char*>(head.data()), head.size());
  if (in.gcount() < 4) return false;
  const auto starts = [&](const char* magic, size_t offset = 0) {
    for (size_t i = 0; magic[i] != '\0'; ++i) {
      if (head[offset + i] != static_cast<unsigned char>(magic[i])) return false;
    }
    return true;
  };
  return (head[0] == 0xFF && head[1] == 0xD8) || starts("\x89PNG") || starts("GIF8") ||
         starts("BM") || (starts("RIFF") && in.gcount() >= 12 && starts("WEBP", 8));
}

// Seconds as "13 s" / "4 min 5 s".
std::string Duration(const Json::Value& value) {
  const long seconds =
      value.isNumeric() ? static_cast<long>(value.asDouble()) : std::atol(Scalar(value).c_str());
  if (seconds <= 0) return "";
  return seconds < 60
             ? std::to_string(seconds) + " s"
             : std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
}

// WhatsApp's message types (both platforms write Android's numbers).
std::string WhatsAppKind(int type) {
  switch (type) {
    case 1:
      return "picture";
    case 2:
      return "voice note";
    case 3:
    case 13:
      return "video";
    case 4:
    case 14:
      return "contact card";
    case 5:
      return "location";
    case 7:
      return "group event";
    case 9:
      return "document";
    case 11:
      return "group call";
    case 15:
      return "deleted for everyone";
    case 16:
      return "live location";
    case 20:
      return "sticker";
    case 42:
      return "picture (view once)";
    case 43:
      return "video (view once)";
    default:
      return "";
  }
}

// The kinds the shared documents of the iOS chat applications name.
std::string NamedKind(const std::string& kind) {
  static const std::vector<std::pair<std::string, std::string>> kKinds = {
      {"picture", "picture"},
      {"image", "picture"},
      {"photo", "picture"},
      {"video", "video"},
      {"voice", "voice note"},
      {"audio", "voice note"},
      {"location", "location"},
      {"contact", "contact card"},
      {"call", "call"},
      {"system", "group event"},
      {"sticker", "sticker"},
      {"file", "document"},
      {"document", "document"},
      {"gif", "animation"},
      {"revoked", "deleted for everyone"},
      {"deleted", "deleted for everyone"}};
  const std::string lower = Lower(kind);
  for (const auto& [word, label] : kKinds) {
    if (lower.find(word) != std::string::npos) return label;
  }
  return "";
}

// By a media file's name, when nothing else says.
std::string KindOfFile(const std::string& name) {
  if (EndsWithAny(name, kPictureExtensions)) return "picture";
  if (EndsWithAny(name, {".mp4", ".mov", ".3gp", ".m4v", ".webm"})) return "video";
  if (EndsWithAny(name, {".opus", ".m4a", ".aac", ".amr", ".ogg", ".mp3", ".aud", ".caf"})) {
    return "voice note";
  }
  if (EndsWithAny(name, {".vcf"})) return "contact card";
  return name.empty() ? "" : "file";
}

}  // namespace

std::string MessageLabel(const Json::Value& raw) {
  if (!raw.isObject() || !FirstText(raw, kTextKeys).empty()) return "";
  std::string kind;
  const Json::Value* named = First(raw, {"kind"});
  if (named != nullptr && named->isString()) kind = NamedKind(named->asString());
  if (kind.empty() && raw.isMember("vCard_file")) kind = "contact card";
  if (kind.empty() && raw.isMember("universal_type") && raw["type"].isNumeric()) {
    kind = WhatsAppKind(raw["type"].asInt());
    if (kind.empty() || raw["type"].asInt() == 0) kind = "group event";  // an action row
  }
  const auto non_zero = [&](const char* member) {
    return std::atof(Scalar(raw[member]).c_str()) != 0;
  };
  if (kind.empty() && (non_zero("latitude") || non_zero("longitude") || non_zero("longtitude"))) {
    kind = "location";
  }
  if (kind.empty()) {
    for (const char* member : {"image", "video", "audio"}) {
      if (raw.isMember(member)) kind = NamedKind(member);
    }
  }
  if (kind.empty()) kind = KindOfFile(FirstText(raw, {"media_name", "file_name", "media_path"}));
  if (kind.empty()) kind = "message without text";
  // What the document holds of it.
  std::vector<std::string> details;
  const std::string system = FirstText(raw, {"system_info"});
  if (!system.empty()) details.push_back(system);
  const std::string name = FirstText(raw, {"media_name", "file_name"});
  if (!name.empty()) details.push_back(name);
  for (const char* member : {"duration", "media_duration"}) {
    const std::string length = raw.isMember(member) ? Duration(raw[member]) : "";
    if (!length.empty()) {
      details.push_back(length);
      break;
    }
  }
  if (kind == "location" || kind == "live location") {
    const std::string latitude = FirstText(raw, {"latitude"});
    const std::string longitude = FirstText(raw, {"longitude", "longtitude"});
    if (!latitude.empty() && !longitude.empty()) details.push_back(latitude + ", " + longitude);
  }
  const std::string raw_type = FirstText(raw, {"raw_type"});
  if (kind == "call" && !raw_type.empty()) details.push_back(raw_type);
  std::string label = kind;
  for (const std::string& detail : details) label += " · " + detail;
  return Cut(label);
}

Json::Value ShownDate(const Json::Value& raw) {
  const Json::Value* date = First(raw, kDateKeys);
  if (date == nullptr) return Json::Value();
  const std::string iso = IsoDate(*date);
  return iso.empty() ? *date : Json::Value(iso);
}

// A member of an object without adding a null one when it is absent.
static const Json::Value* Member(const Json::Value& object, std::string_view name) {
  return object.find(name.data(), name.data() + name.size());
}

bool IsDeleted(const Json::Value& record) {
  if (!record.isObject()) return false;
  const Json::Value* tag = Member(record, "tag");
  if (tag != nullptr && tag->isString() && tag->asString() == "deleted") return true;
  const Json::Value* deleted = Member(record, "is_deleted");
  return deleted != nullptr && Truthy(*deleted);
}

Json::Value RecordReader::Picture(const std::string& key, const std::string& path) const {
  const bool named_picture = EndsWithAny(path, kPictureExtensions);
  const bool hinted = HasAny(key, kPictureHints);
  fs::path inside;
  std::error_code error;
  Json::Value picture;
  // A file of the backup the run read is shown through a copy of it.
  const SourcePictures* sources = output_.sources();
  const bool in_output = output_.Resolve(path, base_, &inside);
  const bool resolved = in_output || (sources != nullptr && sources->Resolve(path, base_, &inside));
  if (resolved && fs::is_regular_file(inside, error)) {
    if (LooksLikePicture(inside)) {
      const std::string link = in_output ? output_.LinkFromReport(inside) : sources->Copy(inside);
      if (!link.empty()) {
        picture["src"] = link;
        return picture;
      }
    } else if (!named_picture) {
      return Json::Value();  // audio, a batch file, a HEIC shown through its thumbnail, ...
    }
  } else if (!named_picture && !hinted) {
    return Json::Value();
  }
  // A member holding a file's name or id ("original_file_name",
  // "thumb_file_id") says which file, not where it lies: no picture of it
  // is missing.
  if (EndsWithAny(key, {"name", "_id"})) return Json::Value();
  picture["missing"] = Cut(fs::u8path(path.substr(0, path.find('\0'))).filename().u8string());
  if (!resolved) picture["outside"] = true;  // never read, whether it exists or not
  return picture;
}

void RecordReader::CollectPictures(const std::string& key, const Json::Value& value, int depth,
                                   Json::Value* pictures) const {
  if (pictures->size() >= kPictureLimit || depth > kDepthLimit) return;
  if (value.isObject()) {
    for (const std::string& name : value.getMemberNames()) {
      if (name == "msg_file_list") continue;
      CollectPictures(name, value[name], depth + 1, pictures);
    }
  } else if (value.isArray()) {
    for (const Json::Value& item : value) CollectPictures(key, item, depth + 1, pictures);
  } else if (value.isString() && HasAny(key, kPathHints)) {
    const std::string path = value.asString();
    if (path.empty() || path.find("://") != std::string::npos) return;
    const Json::Value picture = Picture(key, path);
    if (picture.isNull()) return;
    for (const Json::Value& known : *pictures) {
      if (known == picture) return;  // the same file under two members
    }
    pictures->append(picture);
  }
}

Json::Value RecordReader::Pictures(const Json::Value& raw) const {
  Json::Value pictures(Json::arrayValue);
  CollectPictures("", raw, 0, &pictures);
  return pictures;
}

std::string RecordReader::NameOf(const std::string& id) const {
  std::string name = app_ != nullptr ? app_->NameOf(id) : "";
  if (name.empty() && contacts_ != nullptr) name = contacts_->NameOf(id);
  return name;
}

Json::Value RecordReader::Message(const Json::Value& raw) const {
  Json::Value message;
  message["text"] = FirstText(raw, kTextKeys);
  const std::string label = MessageLabel(raw);
  if (!label.empty()) message["label"] = label;
  const Json::Value date = ShownDate(raw);
  if (!date.isNull()) message["date"] = date;
  const Json::Value* from_me = First(raw, kFromMeKeys);
  const std::string box = FirstText(raw, {"type"});
  message["from_me"] =
      from_me != nullptr ? Truthy(*from_me)
                         : std::find(kSentBoxes.begin(), kSentBoxes.end(), box) != kSentBoxes.end();
  // By name, with the number or id beside it when the name came from
  // elsewhere.
  const std::string named = FirstText(raw, {"sender_name"});
  const std::string id = FirstText(
      raw, {"sender_id", "sender", "remote_resource", "from", "author", "address", "from_id"});
  const std::string resolved = named.empty() && !id.empty() ? NameOf(id) : "";
  const std::string sender = !named.empty() ? named : !resolved.empty() ? resolved : id;
  if (!sender.empty()) message["sender"] = sender;
  if (!id.empty() && id != sender) message["sender_id"] = id;
  // An application's own number code tells a reader nothing.
  const Json::Value* kind = First(raw, kKindKeys);
  if (kind != nullptr && kind->isString()) message["kind"] = Cut(kind->asString());
  if (IsDeleted(raw)) message["deleted"] = true;
  Json::Value pictures = Pictures(raw);
  if (!pictures.empty()) message["pictures"] = pictures;
  return message;
}

Json::Value RecordReader::Record(const Json::Value& raw) const {
  Json::Value record;
  Json::Value fields(Json::arrayValue);
  Flatten("", raw, 0, &fields);
  std::string title = FirstField(fields, kTitleKeys);
  const std::string given = FirstField(fields, {"first", "given_name", "First"});
  const std::string family = FirstField(fields, {"last", "family_name", "Last"});
  if (!given.empty() || !family.empty()) {
    title = given + (given.empty() || family.empty() ? "" : " ") + family;
  }
  std::string subtitle = FirstField(fields, kSubtitleKeys);
  // A caller known only by number is named from the contacts.
  const std::string name = NameOf(title);
  if (!name.empty() && name != title) {
    if (subtitle.empty()) subtitle = title;
    title = name;
  }
  record["title"] = title;
  if (!subtitle.empty() && subtitle != title) record["subtitle"] = subtitle;
  const Json::Value date = ShownDate(raw);
  if (!date.isNull()) record["date"] = date;
  // What kind of call or entry, when the document says it in words.
  const Json::Value* kind = First(raw, {"kind", "type", "call_kind"});
  if (kind != nullptr && kind->isString()) record["kind"] = Cut(kind->asString());
  const std::string length =
      raw.isObject() && raw.isMember("duration") ? Duration(raw["duration"]) : "";
  if (!length.empty()) record["duration"] = length;
  const std::string text = FirstField(fields, kTextKeys);
  if (!text.empty()) record["text"] = text;
  if (IsDeleted(raw)) record["deleted"] = true;
  Json::Value pictures = Pictures(raw);
  if (!pictures.empty()) record["pictures"] = pictures;
  record["fields"] = fields;
  return record;
}

Json::Value RecordReader::Thread(const Json::Value& session) const {
  Json::Value thread;
  const std::string title =
      FirstText(session, {"name", "session_name", "subject", "room_name", "display_name",
                          "chat_identifier", "address", "jid", "session_id", "chat_pk"});
  const std::string name = NameOf(title);
  thread["title"] = name.empty() ? title : name;
  if (!name.empty() && name != title) thread["id"] = title;
  std::string members;
  if (session.isObject() && session["members"].isArray()) {
    for (const Json::Value& member : session["members"]) {
      std::string name = member.isObject() ? FirstText(member, kMemberNameKeys) : Scalar(member);
      if (!member.isObject() && !NameOf(name).empty()) name = NameOf(name) + " (" + name + ")";
      if (name.empty()) continue;
      if (members.size() > kValueLimit) break;
      members += (members.empty() ? "" : ", ") + name;
    }
  }
  if (!members.empty()) thread["subtitle"] = Cut(members);
  if (IsDeleted(session)) thread["deleted"] = true;
  return thread;
}

}  // namespace kxpackage
