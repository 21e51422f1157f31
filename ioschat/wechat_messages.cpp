#include "ioschat/wechat_messages.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/select_list.h"
#include "ioschat/wechat_contacts.h"
#include "ioschat/wechat_message_body.h"

namespace kx {

namespace {

using Kind = ChatMessageKind;
using Media = WechatMedia;

struct TypeRow {
  int type;
  WechatKind kind;
};

// The message types of the Type column, as forensic readers of the store
// list them.
constexpr TypeRow kTypes[] = {
    {1, {Kind::kText, Media::kNone}},          // text
    {3, {Kind::kPicture, Media::kPicture}},    // picture
    {34, {Kind::kVoice, Media::kVoice}},       // voice message
    {42, {Kind::kContactCard, Media::kNone}},  // shared contact
    {43, {Kind::kVideo, Media::kVideo}},       // video
    {47, {Kind::kSticker, Media::kNone}},      // sticker ("emoji")
    {48, {Kind::kLocation, Media::kNone}},     // location
    {49, {Kind::kLink, Media::kNone}},         // shared item, refined below
    {50, {Kind::kCall, Media::kNone}},         // voice or video call
    {62, {Kind::kVideo, Media::kVideo}},       // short video ("sight")
    {64, {Kind::kCall, Media::kNone}},         // group call notice
    {10000, {Kind::kSystem, Media::kNone}},    // system notice, plain text
    {10002, {Kind::kSystem, Media::kNone}},    // system notice, XML
};

// appmsg/type of a shared item (type 49).
constexpr TypeRow kAppTypes[] = {
    {1, {Kind::kText, Media::kNone}},       // text shared from another app
    {2, {Kind::kPicture, Media::kNone}},    // picture shared from another app
    {3, {Kind::kLink, Media::kNone}},       // music
    {4, {Kind::kLink, Media::kNone}},       // video page
    {5, {Kind::kLink, Media::kNone}},       // web page
    {6, {Kind::kFile, Media::kFile}},       // file
    {8, {Kind::kSticker, Media::kNone}},    // sticker from another app
    {17, {Kind::kLocation, Media::kNone}},  // live location
    {19, {Kind::kOther, Media::kNone}},     // forwarded chat history
    {33, {Kind::kLink, Media::kNone}},      // mini program
    {36, {Kind::kLink, Media::kNone}},      // mini program
    {57, {Kind::kText, Media::kNone}},      // reply quoting a message
    {2000, {Kind::kOther, Media::kNone}},   // money transfer
    {2001, {Kind::kOther, Media::kNone}},   // red packet
};

const WechatKind* FindKind(const TypeRow* begin, const TypeRow* end, int type) {
  for (const TypeRow* row = begin; row != end; ++row) {
    if (row->type == type) return &row->kind;
  }
  return nullptr;
}

const std::vector<SelectedColumn>& MessageColumns() {
  static const std::vector<SelectedColumn> columns = {
      {"MesLocalID", nullptr}, {"MesSvrID", nullptr}, {"CreateTime", nullptr}, {"Message", nullptr},
      {"Status", nullptr},     {"Type", nullptr},     {"Des", nullptr}};
  return columns;
}

constexpr int64_t kMaxSeconds = INT64_MAX / 1000;

enum Column { kLocalId, kServerId, kCreateTime, kMessage, kStatus, kType, kDes };

// A file of the account's folder, when the catalogue lists it: its path
// inside the application's folder and in the backup.
bool Locate(const WechatConversation& conversation, const std::string& relative,
            std::string* media_path, std::string* backup) {
  if (conversation.catalogue == nullptr) return false;
  if (conversation.catalogue->FileIdByPath(kWechatDomain, relative).empty()) return false;
  if (media_path != nullptr) *media_path = relative;
  // The id is made from the path, not taken from the catalogue, so nothing
  // the catalogue holds leads outside the backup.
  *backup =
      ChatBackupFile(conversation.backup_root, conversation.two_level, kWechatDomain, relative);
  return true;
}

void LocateMedia(const WechatConversation& conversation, Media media, const std::string& ext,
                 ChatMessage* message) {
  if (media == Media::kNone || conversation.account_hash.empty()) return;
  const std::string folder = "Documents/" + conversation.account_hash + "/";
  const std::string name = conversation.peer_hash + "/" + message->message_id;
  switch (media) {
    case Media::kPicture:
      Locate(conversation, folder + "Img/" + name + ".pic", &message->media_path,
             &message->media_backup);
      Locate(conversation, folder + "Img/" + name + ".pic_thum", nullptr, &message->thumb_backup);
      break;
    case Media::kVoice:
      Locate(conversation, folder + "Audio/" + name + ".aud", &message->media_path,
             &message->media_backup);
      break;
    case Media::kVideo:
      Locate(conversation, folder + "Video/" + name + ".mp4", &message->media_path,
             &message->media_backup);
      Locate(conversation, folder + "Video/" + name + ".video_thum", nullptr,
             &message->thumb_backup);
      break;
    case Media::kFile:
      if (!ext.empty()) {
        Locate(conversation, folder + "OpenData/" + name + "." + ext, &message->media_path,
               &message->media_backup);
      }
      break;
    case Media::kNone:
      break;
  }
}

// The members of the message that its XML body gives.
void ApplyBody(const WechatBody& body, ChatMessage* message) {
  switch (message->kind) {
    case Kind::kLocation:
      message->has_location = body.has_location;
      message->latitude = body.latitude;
      message->longitude = body.longitude;
      message->text = body.label.empty() ? body.title : body.label;
      break;
    case Kind::kContactCard:
      message->text =
          body.card_name.empty() ? body.card_id : body.card_name + " (" + body.card_id + ")";
      break;
    case Kind::kSystem:
    case Kind::kCall:
      if (!body.notice.empty()) message->text = body.notice;
      break;
    case Kind::kSticker:
      message->text.clear();
      message->url = body.url;
      break;
    case Kind::kPicture:
    case Kind::kVoice:
    case Kind::kVideo:
      if (body.app_type == 0) message->text.clear();
      break;
    default:
      // A body of no shared item says nothing of its own: the raw text stays.
      if (body.title.empty() && body.url.empty()) break;
      message->text = body.title;
      message->url = body.url;
      break;
  }
  message->has_duration = body.has_duration;
  message->duration = body.duration;
}

}  // namespace

WechatKind ClassifyWechatMessage(int type, int app_type) {
  const WechatKind* kind = FindKind(std::begin(kTypes), std::end(kTypes), type);
  if (kind == nullptr) return WechatKind{};
  if (type != 49) return *kind;
  const WechatKind* shared = FindKind(std::begin(kAppTypes), std::end(kAppTypes), app_type);
  return shared != nullptr ? *shared : *kind;
}

bool SplitGroupSender(std::string_view text, std::string_view* sender, std::string_view* rest) {
  const size_t colon = text.find(":\n");
  // User names are letters, digits and "_-@."; an XML body or a text with a
  // colon of its own is no head.
  if (colon == 0 || colon == std::string_view::npos) return false;
  for (const char c : text.substr(0, colon)) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && std::strchr("_-@.", c) == nullptr) {
      return false;
    }
  }
  *sender = text.substr(0, colon);
  *rest = text.substr(colon + 2);
  return true;
}

std::string WechatMessageColumns(const SQLite3Wrapper& db, const std::string& table,
                                 std::string* missing) {
  return TableColumns(db, table).SelectList(MessageColumns(), missing);
}

void ReadWechatMessage(const SqliteStatement& row, const WechatConversation& conversation,
                       ChatMessage* message) {
  message->Clear();
  message->message_id = row.ColumnText(kLocalId);
  const int64_t seconds = row.ColumnInt64(kCreateTime);
  // A time beyond what milliseconds can count is no time the phone wrote.
  if (row.ColumnType(kCreateTime) != SQLITE_NULL && seconds > -kMaxSeconds &&
      seconds < kMaxSeconds) {
    message->has_send_date = true;
    message->send_date = seconds * 1000;
  }
  message->is_from_me = row.ColumnType(kDes) != SQLITE_NULL && row.ColumnInt(kDes) == 0;
  const int type = row.ColumnInt(kType);
  message->raw_type = row.ColumnText(kType);
  message->deleted = conversation.deleted;
  std::string_view text = row.ColumnTextView(kMessage);
  std::string_view sender;
  if (conversation.group && !message->is_from_me && SplitGroupSender(text, &sender, &text)) {
    message->sender_id.assign(sender);
    if (conversation.contacts != nullptr) {
      message->sender_name = conversation.contacts->NameOf(message->sender_id);
    }
  }
  message->text.assign(text);
  WechatBody body;
  const bool parsed = type != 1 && type != 10000 && ParseWechatBody(text, &body);
  WechatKind kind = ClassifyWechatMessage(type, body.app_type);
  message->kind = kind.kind;
  if (type == 49 && parsed) message->raw_type += "/" + std::to_string(body.app_type);
  if (parsed) ApplyBody(body, message);
  LocateMedia(conversation, kind.media, body.file_ext, message);
}

}  // namespace kx
