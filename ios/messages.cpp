#include "ios/messages.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/platform.h"
#include "common/result_row.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "ios/message_objects.h"
#include "ios/message_spill.h"
#include "ios/message_store.h"
#include "ios/old_message_store.h"
#include "kit/address_book.h"
#include "packager/merge_filter.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kPrimaryFileKey[] = "sms_file_path";
constexpr char kSecondFilesKey[] = "sms_files_path";
constexpr char kMissingFilterInput[] = "No primary file or second files.";
constexpr char kMissingPackageInput[] = "No primary file or temp folder.";
constexpr char kSessionFilePrefix[] = "KxDataPackage_SMS_";
constexpr size_t kSessionsPerFile = 10;

// A chat folded into a session, as its messages are read: the members name
// the senders of a group.
struct SessionChat {
  int64_t chat_id = 0;
  bool group = false;
  Json::Value members;
};

// One conversation as planned before any message is read, so that only the
// messages of the sessions being written are ever in memory.
struct Session {
  Json::Value record{Json::objectValue};
  Json::Value members{Json::arrayValue};
  std::vector<SessionChat> chats;
  // Groups of messages in no chat placed here so far: each group's
  // messages follow those of the groups placed before it on an equal date.
  uint32_t loose_groups = 0;
  int64_t last_date = 0;
  bool has_messages = false;

  void AddDate(int64_t date) {
    last_date = has_messages ? std::max(last_date, date) : date;
    has_messages = true;
  }
};

// The messages in no chat, summed by room (cache_roomnames) in the order
// the rooms first appear, and within a room by handle in the same order:
// what placing them needs, a group's newest date and its handles, without
// a row per message.
class LoosePlan {
 public:
  struct HandleGroup {
    int64_t handle_id = 0;
    int64_t last_date = 0;
  };
  struct Room {
    std::string name;
    int64_t last_date = 0;
    std::vector<HandleGroup> handles;
    std::unordered_map<int64_t, size_t> handle_index;
  };

  void Add(const LooseMessage& message) {
    const auto [found, added] = room_index_.emplace(message.room_names, rooms_.size());
    if (added) rooms_.push_back(Room{message.room_names, message.date, {}, {}});
    Room& room = rooms_[found->second];
    room.last_date = std::max(room.last_date, message.date);
    const auto [handle, new_handle] =
        room.handle_index.emplace(message.handle_id, room.handles.size());
    if (new_handle) room.handles.push_back({message.handle_id, message.date});
    HandleGroup& group = room.handles[handle->second];
    group.last_date = std::max(group.last_date, message.date);
  }

  const std::vector<Room>& rooms() const { return rooms_; }

 private:
  std::vector<Room> rooms_;
  std::unordered_map<std::string, size_t> room_index_;
};

// Where the messages in no chat of one group go: the session, and the
// group's place among those placed in it (Session::loose_groups).
struct LoosePlace {
  size_t session = 0;
  uint32_t group = 0;
};

// The sessions, merged by chat identifier, and the session of each handle.
class SessionPlan {
 public:
  // Reads the chats with their members; false on a stop.
  bool AddChats(MessageStore* store, const ContactIndex& contacts, const PackageContext& context,
                const std::unordered_map<int64_t, ChatSpan>& spans);
  // Places the messages in no chat: in the session of their room (a new
  // group session for a room no chat names), else in the session of their
  // handle (a new one-to-one session for a stranger).
  void AddLooseMessages(MessageStore* store, const ContactIndex& contacts, const LoosePlan& loose);
  // Where a message in no chat was placed; false when it was not.
  bool PlaceOf(const LooseMessage& message, LoosePlace* place) const;

  std::vector<Session>& sessions() { return sessions_; }

 private:
  size_t NewSession(Json::Value record, Json::Value members);
  LoosePlace NextGroup(size_t session, int64_t last_date);
  void AddRoom(const LoosePlan::Room& room, MessageStore* store, const ContactIndex& contacts);
  void AddByHandle(const LoosePlan::Room& room, MessageStore* store, const ContactIndex& contacts);

  std::vector<Session> sessions_;
  std::unordered_map<std::string, size_t> by_identifier_;
  std::unordered_map<int64_t, size_t> by_handle_;
  // The places of the messages in no chat: by room, and for those of no
  // room that went by their handle, by handle.
  std::unordered_map<std::string, LoosePlace> room_places_;
  std::unordered_map<int64_t, LoosePlace> handle_places_;
};

Json::Value ChatRecord(const SqliteStatement& row, bool* group) {
  Json::Value record(Json::objectValue);
  ReadRowIntoJson(row, &record);
  if (IntegerMember(record, "is_deleted") != 0) record["tag"] = "deleted";
  *group = record.isMember("room_name") && !record["room_name"].asString().empty();
  if (*group) {
    record["is_group"] = 1;
    const Json::Value display_name = MemberOrNull(record, "display_name");
    record["room_name"] = display_name.isNull() ? Json::Value("") : display_name;
    record.removeMember("display_name");
  }
  return record;
}

size_t SessionPlan::NewSession(Json::Value record, Json::Value members) {
  const size_t index = sessions_.size();
  by_identifier_.emplace(MemberOrNull(record, "chat_identifier").asString(), index);
  for (const Json::Value& member : members) by_handle_[IntegerMember(member, "handle_id")] = index;
  Session session;
  session.record = std::move(record);
  session.members = std::move(members);
  sessions_.push_back(std::move(session));
  return index;
}

bool SessionPlan::AddChats(MessageStore* store, const ContactIndex& contacts,
                           const PackageContext& context,
                           const std::unordered_map<int64_t, ChatSpan>& spans) {
  SqliteStatement& chats = store->chats();
  while (chats.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return false;
    SessionChat chat;
    chat.chat_id = chats.ColumnInt64(0);
    Json::Value record = ChatRecord(chats, &chat.group);
    store->ReadMembers(chat.chat_id, chat.group, contacts, &chat.members);
    const std::string identifier = MemberOrNull(record, "chat_identifier").asString();
    auto found = by_identifier_.find(identifier);
    size_t index;
    if (found == by_identifier_.end()) {
      index = NewSession(std::move(record), chat.members);
    } else {
      index = found->second;
      for (const Json::Value& member : chat.members) {
        by_handle_[IntegerMember(member, "handle_id")] = index;
      }
    }
    const auto span = spans.find(chat.chat_id);
    if (span != spans.end() && span->second.has_messages) {
      sessions_[index].AddDate(span->second.last_date);
    }
    sessions_[index].chats.push_back(std::move(chat));
  }
  return true;
}

LoosePlace SessionPlan::NextGroup(size_t session, int64_t last_date) {
  sessions_[session].AddDate(last_date);
  return LoosePlace{session, sessions_[session].loose_groups++};
}

void SessionPlan::AddRoom(const LoosePlan::Room& room, MessageStore* store,
                          const ContactIndex& contacts) {
  Json::Value members(Json::arrayValue);
  for (const LoosePlan::HandleGroup& handle : room.handles) {
    Json::Value member(Json::objectValue);
    if (store->ReadHandle(handle.handle_id, contacts, &member)) members.append(std::move(member));
  }
  Json::Value record(Json::objectValue);
  record["chat_identifier"] = room.name;
  record["is_group"] = members.size() >= 2 ? 1 : 0;
  const size_t index = NewSession(std::move(record), std::move(members));
  room_places_[room.name] = NextGroup(index, room.last_date);
}

void SessionPlan::AddByHandle(const LoosePlan::Room& room, MessageStore* store,
                              const ContactIndex& contacts) {
  // The handles of known sessions: one group per session, its messages in
  // the order of the store.
  std::unordered_map<size_t, LoosePlace> known_places;
  std::vector<const LoosePlan::HandleGroup*> strangers;
  for (const LoosePlan::HandleGroup& handle : room.handles) {
    const auto known = by_handle_.find(handle.handle_id);
    if (known == by_handle_.end()) {
      strangers.push_back(&handle);
      continue;
    }
    auto place = known_places.find(known->second);
    if (place == known_places.end()) {
      place = known_places.emplace(known->second, NextGroup(known->second, handle.last_date)).first;
    } else {
      sessions_[known->second].AddDate(handle.last_date);
    }
    handle_places_[handle.handle_id] = place->second;
  }
  for (const LoosePlan::HandleGroup* handle : strangers) {
    Json::Value member(Json::objectValue);
    Json::Value members(Json::arrayValue);
    Json::Value record(Json::objectValue);
    record["chat_identifier"] = "";
    if (store->ReadHandle(handle->handle_id, contacts, &member)) {
      record["chat_identifier"] = MemberOrNull(member, "phone_number").asString();
      members.append(std::move(member));
    }
    record["is_group"] = 0;
    const size_t index = NewSession(std::move(record), std::move(members));
    by_handle_[handle->handle_id] = index;
    handle_places_[handle->handle_id] = NextGroup(index, handle->last_date);
  }
}

void SessionPlan::AddLooseMessages(MessageStore* store, const ContactIndex& contacts,
                                   const LoosePlan& loose) {
  for (const LoosePlan::Room& room : loose.rooms()) {
    const auto existing = by_identifier_.find(room.name);
    if (existing != by_identifier_.end()) {
      room_places_[room.name] = NextGroup(existing->second, room.last_date);
    } else if (!room.name.empty()) {
      AddRoom(room, store, contacts);
    } else {
      AddByHandle(room, store, contacts);
    }
  }
}

bool SessionPlan::PlaceOf(const LooseMessage& message, LoosePlace* place) const {
  const auto room = room_places_.find(message.room_names);
  if (room != room_places_.end()) {
    *place = room->second;
    return true;
  }
  if (!message.room_names.empty()) return false;
  const auto handle = handle_places_.find(message.handle_id);
  if (handle == handle_places_.end()) return false;
  *place = handle->second;
  return true;
}

// Newest conversation first; those without messages last, in the order
// they were found.
std::vector<Session*> SessionOrder(std::vector<Session>* sessions) {
  std::vector<Session*> order;
  for (Session& session : *sessions) order.push_back(&session);
  std::stable_sort(order.begin(), order.end(), [](const Session* a, const Session* b) {
    if (a->has_messages != b->has_messages) return a->has_messages;
    return a->has_messages && a->last_date > b->last_date;
  });
  return order;
}

// Where a message object stands in a session file: in "messages" of a
// session in "chat_sessions" of the document, two steps each.
constexpr size_t kMessageDepth = 4;
// The place of a message in no chat among its session's messages of an
// equal date: after every chat's, by the group it came in (LoosePlace).
constexpr uint32_t kLooseChatOrder = 0x80000000u;
// What the messages put aside may hold in memory before they go to files.
constexpr size_t kSpillMemoryLimit = 16 * 1024 * 1024;
// A session file's text goes to the file each time it has grown past this.
constexpr size_t kFileTextFlushBytes = 256 * 1024;

// The session's members with its "messages" in their place: the writer
// wants the members in byte order of their names, the order of the tree.
// `after_message` is called after each message is laid out.
template <typename AfterMessage>
void WriteSession(const Json::Value& session, const std::vector<std::string_view>& messages,
                  JsonTextWriter* writer, const AfterMessage& after_message) {
  static const std::string kMessagesName = "messages";
  bool messages_pending = !messages.empty();
  const auto write_messages = [&] {
    writer->Name(kMessagesName);
    writer->BeginArray();
    for (const std::string_view message : messages) {
      writer->Element(message, kMessageDepth);
      after_message();
    }
    writer->EndArray();
    messages_pending = false;
  };
  writer->BeginObject();
  for (auto member = session.begin(); member != session.end(); ++member) {
    const char* end = nullptr;
    const char* name = member.memberName(&end);
    const std::string_view member_name(name, static_cast<size_t>(end - name));
    if (messages_pending && kMessagesName <= member_name) {
      write_messages();
      if (member_name == kMessagesName) continue;
    }
    writer->Name(member_name);
    WriteJsonValue(*member, writer);
  }
  if (messages_pending) write_messages();
  writer->EndObject();
}

// Where the messages of a chat go: the session (by its place in the order
// of writing) and the chat's place in that session.
struct ChatPlace {
  uint32_t session = 0;
  uint32_t chat_order = 0;
  const SessionChat* chat = nullptr;
};

// Writes the sessions, in `order`, ten to a file. The messages of every
// chat are read in one pass over the store, in the order its pages lie in
// (chat by chat, the same pages would be read as often as the chats'
// messages interleave), and put aside by the file they go into; a file's
// messages are taken back when it is written. A session's messages are
// ordered by date, then by their chat's place, then by ROWID, and its
// messages in no chat follow those of its chats on an equal date.
class SessionWriter {
 public:
  SessionWriter(MessageStore* store, const RecoverableMessages& recoverable,
                const AttachmentLocator& locator, const DataTypeRecord& record,
                const PackageContext& context, SessionPlan* plan)
      : store_(store),
        reader_(recoverable, store, locator, kMessageDepth, true),
        folder_(record.temp_folder),
        context_(context),
        plan_(*plan),
        order_(SessionOrder(&plan->sessions())),
        spill_(folder_, kSessionFilePrefix, FileCount(), kSpillMemoryLimit) {
    positions_.resize(plan->sessions().size());
    for (size_t position = 0; position < order_.size(); ++position) {
      positions_[static_cast<size_t>(order_[position] - plan->sessions().data())] =
          static_cast<uint32_t>(position);
    }
  }

  // False on a stop.
  bool WriteAll() {
    if (!ReadMessages()) return false;
    for (size_t file = 0; file < FileCount(); ++file) {
      if (!WriteFile(file)) return false;
    }
    return true;
  }

  size_t count() const { return order_.size(); }
  bool failed() const { return failed_; }
  Json::Value& paths() { return paths_; }

 private:
  size_t FileCount() const { return (order_.size() + kSessionsPerFile - 1) / kSessionsPerFile; }

  bool Spill(const SpilledMessage& message) {
    if (spill_.Add(message.session / kSessionsPerFile, message)) return true;
    KX_LOG_AT(kLogError, context_.stem, "Fail to put messages aside in %s.", folder_.c_str());
    failed_ = true;
    return false;
  }

  // A message's rows follow each other, one for each chat it is in. One
  // that none of its rows places in a chat is one in no chat: it is read
  // as such from its first row and put aside once its rows are past.
  // False on a stop.
  bool ReadMessages() {
    std::unordered_map<int64_t, ChatPlace> places;
    for (size_t position = 0; position < order_.size(); ++position) {
      const std::vector<SessionChat>& chats = order_[position]->chats;
      for (size_t chat = 0; chat < chats.size(); ++chat) {
        places.emplace(chats[chat].chat_id, ChatPlace{static_cast<uint32_t>(position),
                                                      static_cast<uint32_t>(chat), &chats[chat]});
      }
    }
    if (order_.empty()) return true;
    SqliteStatement* rows = store_->AllMessages();
    if (rows == nullptr) return true;
    const MessageColumns& columns = store_->message_columns();
    reader_.UseOrderedAttachments(store_->OrderedAttachments());
    bool started = false;
    int64_t message_id = 0;
    bool in_chat = false;  // a row of the message `message_id` was in a chat
    bool loose_pending = false;
    SpilledMessage loose;
    const auto finish_message = [&] {
      if (loose_pending && !in_chat && !failed_) {
        loose.text = loose_text_;
        Spill(loose);
      }
      loose_pending = false;
    };
    while (!failed_ && rows->Step() == SQLITE_ROW) {
      if (context_.StopRequested()) return false;
      const int64_t row_id = rows->ColumnInt64(columns.row_id);
      if (!started || row_id != message_id) {
        finish_message();
        started = true;
        message_id = row_id;
        in_chat = false;
      }
      const auto place =
          rows->ColumnType(0) == SQLITE_NULL ? places.end() : places.find(rows->ColumnInt64(0));
      if (place != places.end()) {
        in_chat = true;
        const SessionChat& chat = *place->second.chat;
        const MessageSource source = {chat.chat_id, true, chat.group, &chat.members};
        const WrittenMessage message = reader_.Read(*rows, source, columns.chat_object);
        Spill(
            {place->second.session, place->second.chat_order, message.date, row_id, message.text});
      } else if (!in_chat && !loose_pending) {
        loose_pending = ReadLoose(*rows, columns, &loose);
      }
    }
    finish_message();
    reader_.UseOrderedAttachments(nullptr);
    return true;
  }

  // The message in no chat on the current row, placed by the plan, into
  // `loose` (its text in loose_text_); false when the plan placed it
  // nowhere.
  bool ReadLoose(const SqliteStatement& row, const MessageColumns& columns, SpilledMessage* loose) {
    LooseMessage message;
    message.row_id = row.ColumnInt64(columns.row_id);
    message.handle_id = row.ColumnInt64(columns.handle_id);
    if (message.handle_id == 0) message.handle_id = row.ColumnInt64(columns.other_handle);
    message.room_names = row.ColumnText(columns.room_names);
    message.date = row.ColumnInt64(columns.date);
    LoosePlace place;
    if (!plan_.PlaceOf(message, &place)) return false;
    const WrittenMessage written = reader_.Read(row, MessageSource(), columns.loose_object);
    const uint32_t position = positions_[place.session];
    loose_text_.assign(written.text);
    *loose = {position, kLooseChatOrder + place.group, written.date, message.row_id, {}};
    return true;
  }

  // False on a stop.
  bool WriteFile(size_t file) {
    std::vector<SpilledMessage>& spilled = spilled_;
    if (!spill_.Take(file, &spill_blocks_, &spilled)) {
      KX_LOG_AT(kLogError, context_.stem, "Fail to read back the messages of session file %zu.",
                file + 1);
      failed_ = true;
    }
    // Stable: the messages of a session keep the order they were read in.
    std::stable_sort(
        spilled.begin(), spilled.end(),
        [](const SpilledMessage& a, const SpilledMessage& b) { return a.session < b.session; });
    const std::string path =
        JoinPath(folder_, kSessionFilePrefix + std::to_string(file + 1) + ".json");
    NewFileStream stream;
    const int open_error = stream.Open(path);
    // The text goes to the file each time it passes kFileTextFlushBytes,
    // so that the buffer stays that size rather than the file's: fresh
    // memory costs a page fault for every page touched.
    std::string& text = file_text_;
    text.clear();
    text.reserve(2 * kFileTextFlushBytes);
    const auto flush = [&] {
      if (open_error == 0) stream.write(text.data(), static_cast<std::streamsize>(text.size()));
      text.clear();
    };
    const auto flush_when_full = [&] {
      if (text.size() >= kFileTextFlushBytes) flush();
    };
    // In the line ends of a text-mode file on the hosts the files are read
    // on, so the bytes are the same wherever the library runs.
    JsonTextWriter writer(&text);
    writer.UseCrLf();
    writer.BeginObject();
    writer.Name("chat_sessions");
    writer.BeginArray();
    auto next = spilled.begin();
    const size_t first = file * kSessionsPerFile;
    const size_t last = std::min(order_.size(), first + kSessionsPerFile);
    for (size_t position = first; position < last; ++position) {
      auto end = next;
      while (end != spilled.end() && end->session == position) ++end;
      WriteSession(order_[position], std::vector<SpilledMessage>(next, end), &writer,
                   flush_when_full);
      next = end;
    }
    writer.EndArray();
    writer.EndObject();
    flush();
    SaveFile(path, open_error, &stream, writer.complete());
    return true;
  }

  template <typename AfterMessage>
  void WriteSession(Session* session, std::vector<SpilledMessage> messages, JsonTextWriter* writer,
                    const AfterMessage& after_message) {
    // "date" orders a session's messages; a missing one reads as 0.
    std::stable_sort(messages.begin(), messages.end(),
                     [](const SpilledMessage& a, const SpilledMessage& b) {
                       if (a.date != b.date) return a.date < b.date;
                       if (a.chat_order != b.chat_order) return a.chat_order < b.chat_order;
                       return a.row_id < b.row_id;
                     });
    std::vector<std::string_view> texts;
    texts.reserve(messages.size());
    for (const SpilledMessage& message : messages) texts.push_back(message.text);
    Json::Value object = std::move(session->record);
    if (!session->members.empty()) object["members"] = std::move(session->members);
    session->chats.clear();
    kx::WriteSession(object, texts, writer, after_message);
  }

  // Closes the file written through `stream`; one that was not laid out
  // whole or not written whole is removed.
  void SaveFile(const std::string& path, int open_error, NewFileStream* stream, bool complete) {
    const int write_error = open_error == 0 ? stream->Close() : open_error;
    if (!complete || write_error != 0) {
      std::error_code ignored;
      if (open_error == 0) std::filesystem::remove(PathFromUtf8(path), ignored);
      if (complete) {
        KX_LOG_AT(kLogError, context_.stem, "Fail to write session file %s.", path.c_str());
      } else {
        KX_LOG_AT(kLogError, context_.stem, "Fail to lay out session file %s.", path.c_str());
      }
      failed_ = true;
      return;
    }
    paths_.append(path);
  }

  MessageStore* store_;
  MessageObjectReader reader_;
  std::string folder_;
  const PackageContext& context_;
  SessionPlan& plan_;
  std::vector<Session*> order_;
  std::vector<uint32_t> positions_;  // by the session's index in the plan
  MessageSpill spill_;
  // Buffers that serve file after file.
  std::vector<std::string> spill_blocks_;
  std::vector<SpilledMessage> spilled_;
  std::string file_text_;
  std::string loose_text_;
  Json::Value paths_{Json::arrayValue};
  bool failed_ = false;
};

}  // namespace

int IosSmsDataFilter(DataTypeRecord* record, SqliteConfig* config, const PackageContext& context) {
  static const MergeRule kMergeRule = {
      kPrimaryFileKey, kSecondFilesKey, kMissingFilterInput, kMissingFilterInput,
      false,           kSystemIos,      kConfigSms,          false};
  return RunMergeFilter(kMergeRule, record, config, context);
}

int IosSmsDataPackage(DataTypeRecord* record, const PackageContext& context) {
  const std::string* primary_path =
      BeginPackage(*record, context, kPrimaryFileKey, kMissingPackageInput);
  if (primary_path == nullptr) return kStatusMissingInput;
  if (record->temp_folder.empty()) {
    KX_LOG_AT(kLogError, context.stem, "%s", kMissingPackageInput);
    return kStatusMissingInput;
  }
  PackageSource db(*primary_path, context);
  if (db.status() != kStatusOk) return db.status();
  if (IsOldMessageStore(db)) {
    KX_LOG(kLogProgress, "sms.db of iOS 5 or earlier: conversations read from msg_group.");
    if (!ReadAsCurrentMessageStore(db, context.stem)) return kStatusPrepareFailed;
  }
  const ReadTransaction transaction(db);
  MessageStore store(db, context.stem);
  const int prepared = store.PrepareChats();
  if (prepared != kStatusOk) return prepared;
  const ContactIndex contacts = LoadAddressBookNames(*record);
  const RecoverableMessages recoverable = store.ReadRecoverable();
  LoosePlan loose;
  const MessagePlan messages = store.ReadMessagePlan(true, [&loose](const LooseMessage& message) {
    loose.Add(message);
    return true;
  });
  SessionPlan plan;
  if (!plan.AddChats(&store, contacts, context, messages.spans)) return PackageStopped(context);
  plan.AddLooseMessages(&store, contacts, loose);

  const AttachmentLocator locator(record->additional_param, context.stem);
  SessionWriter writer(&store, recoverable, locator, *record, context, &plan);
  if (context.StopRequested() || !writer.WriteAll()) return PackageStopped(context);

  Json::Value document(Json::objectValue);
  document["sms_session_size"] = Json::UInt64(writer.count());
  document["sms_file_path"] = std::move(writer.paths());
  const int finished = FinishPackage(db, context, WriteJson(document));
  if (finished != kStatusOk) return finished;
  if (writer.failed()) return kStatusStepFailed;
  return store.incomplete_status();
}

}  // namespace kx
