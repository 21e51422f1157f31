#include "ioschat/kik_messages.h"

#include <map>
#include <memory>
#include <utility>

#include "common/backup_files.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "common/side_files.h"
#include "common/text.h"
#include "ioschat/kik_media.h"
#include "kit/backup_inputs.h"

namespace kx {

namespace {

std::string AttachmentType(const std::string& type) {
  if (type == "6") return "1";
  if (type == "7") return "3";
  if (type.empty()) return "0";
  return type;
}

}  // namespace

KikMessageCodes MapKikCodes(const std::string& message_type, const std::string& attachment_type,
                            const std::string& state) {
  KikMessageCodes codes;
  // ZTYPE 1 is a received message, 2 a sent one; the rest are group and
  // system notices, which the host shows as one kind.
  codes.is_from_me = message_type == "1" ? "0" : "1";
  codes.type = message_type == "1" || message_type == "2" ? AttachmentType(attachment_type) : "13";
  codes.send_state = state == "2" ? "1" : "0";
  return codes;
}

std::string KikRelativePath(const std::string& account_id, const std::string& tail) {
  return "cores/private/" + account_id + "/" + tail;
}

std::string KikAttachmentFileId(const std::string& account_id, const std::string& content) {
  return BackupFileId(kKikDomain, KikRelativePath(account_id, "attachments/" + content));
}

namespace {

// Sets every member of the message object of `row` through
// `set(name, text)`: each column as text under its name (NULL as ""), then
// the rewritten codes and the media paths, later settings replacing
// earlier ones of the same name.
template <typename Set>
void SetKikMembers(const SqliteStatement& row, const KikBackup& backup, bool deleted, Set set) {
  std::string_view message_type, attachment_type, state, content;
  for (int column = 0; column < row.ColumnCount(); ++column) {
    const char* name = sqlite3_column_name(row.handle(), column);
    const std::string_view key = name != nullptr ? name : "";
    const std::string_view text = row.ColumnTextView(column);
    set(key, text);
    if (key == "is_from_me") message_type = text;
    if (key == "type") attachment_type = text;
    if (key == "send_state") state = text;
    if (key == "ZCONTENT") content = text;
  }
  const KikMessageCodes codes =
      MapKikCodes(std::string(message_type), std::string(attachment_type), std::string(state));
  set("is_from_me", codes.is_from_me);
  set("type", codes.type);
  set("send_state", codes.send_state);
  if (!content.empty()) {
    const std::string relative =
        KikRelativePath(backup.account_id, "attachments/" + std::string(content));
    if (deleted) {
      set("media_backup", FileInBackup(backup.backup_root, kKikDomain, relative, backup.two_level));
    } else {
      set("media_path", relative);
      set("media_backup", JoinPath(backup.temp_folder,
                                   KikAttachmentFileId(backup.account_id, std::string(content))));
    }
  }
  if (deleted) set("tag", "deleted");
}

// The file name "kikmessages_<key>[_<n>].json" (n = 0: no number).
// "kikmessages_<key>[_<n>].json" (n = 0: no number), a safe file name.
std::string KikBatchName(const std::string& key, int64_t number) {
  std::string name = "kikmessages_" + key;
  if (number > 0) name += "_" + std::to_string(number);
  return SafeFileName(name + ".json", "kikmessages.json");
}

}  // namespace

Json::Value KikMessageObject(const SqliteStatement& row, const KikBackup& backup, bool deleted) {
  Json::Value message(Json::objectValue);
  SetKikMembers(row, backup, deleted, [&message](std::string_view name, std::string_view text) {
    message[std::string(name)] = std::string(text);
  });
  return message;
}

KikMessageLayout::KikMessageLayout(const SqliteStatement& row) {
  // Each name's last column, as a later setting of a name replaces an
  // earlier one; then the rewritten codes and the media paths over them.
  std::map<std::string, Member> by_name;
  for (int column = 0; column < row.ColumnCount(); ++column) {
    const char* name = sqlite3_column_name(row.handle(), column);
    const std::string key = name != nullptr ? name : "";
    by_name[key] = {kColumn, column};
    if (key == "is_from_me") message_type_ = column;
    if (key == "type") attachment_type_ = column;
    if (key == "send_state") state_ = column;
    if (key == "ZCONTENT") content_ = column;
  }
  by_name["is_from_me"].source = kIsFromMe;
  by_name["type"].source = kType;
  by_name["send_state"].source = kSendState;
  // Without an attachment a column of the name, if any, stands.
  for (const auto& [name, source] :
       {std::pair<const char*, Source>{"media_path", kMediaPath}, {"media_backup", kMediaBackup}}) {
    const auto found = by_name.find(name);
    by_name[name] = {source, found != by_name.end() ? found->second.column : -1};
  }
  names_.reserve(by_name.size());
  members_.reserve(by_name.size());
  for (const auto& [name, member] : by_name) {
    names_.emplace_back(name);
    members_.push_back(member);
  }
}

void KikMessageLayout::Write(const SqliteStatement& row, const KikBackup& backup,
                             JsonBufferWriter* writer) {
  const auto text = [&row](int column) {
    return column >= 0 ? row.ColumnTextView(column) : std::string_view();
  };
  const KikMessageCodes codes =
      MapKikCodes(std::string(text(message_type_)), std::string(text(attachment_type_)),
                  std::string(text(state_)));
  const std::string_view content = text(content_);
  if (!content.empty()) {
    media_path_ = KikRelativePath(backup.account_id, "attachments/" + std::string(content));
    media_backup_ =
        JoinPath(backup.temp_folder, KikAttachmentFileId(backup.account_id, std::string(content)));
  }
  writer->BeginObject();
  for (size_t i = 0; i < members_.size(); ++i) {
    const Member& member = members_[i];
    std::string_view value;
    switch (member.source) {
      case kColumn:
        value = row.ColumnTextView(member.column);
        break;
      case kIsFromMe:
        value = codes.is_from_me;
        break;
      case kType:
        value = codes.type;
        break;
      case kSendState:
        value = codes.send_state;
        break;
      case kMediaPath:
      case kMediaBackup:
        if (content.empty()) {
          if (member.column < 0) continue;
          value = row.ColumnTextView(member.column);
        } else {
          value = member.source == kMediaPath ? media_path_ : media_backup_;
        }
        break;
    }
    writer->Name(names_[i]);
    writer->String(value);
  }
  writer->EndObject();
}

KikChatBatches::KikChatBatches(PackageFileWriter* files, std::string chat_pk,
                               Json::Value* file_list)
    : batches_(files->folder(), "messages"), chat_pk_(std::move(chat_pk)), file_list_(file_list) {}

void KikChatBatches::Add(const SqliteStatement& row, const KikBackup& backup) {
  if (layout_ == nullptr) layout_ = std::make_unique<KikMessageLayout>(row);
  layout_->Write(row, backup, batches_.Next());
  if (++count_ % kKikMessagesPerBatch == 0) {
    batches_.WriteListed(KikBatchName(chat_pk_, count_ / kKikMessagesPerBatch), file_list_);
  }
}

void KikChatBatches::Finish() {
  if (batches_.size() == 0) return;
  const int64_t number = count_ < kKikMessagesPerBatch ? 0 : count_ / kKikMessagesPerBatch + 1;
  batches_.WriteListed(KikBatchName(chat_pk_, number), file_list_);
}

void KikDeletedSessions::Write(Sender* sender, int number) {
  for (const Json::Value& message : sender->batch) batches_.Add(message);
  sender->batch = Json::Value(Json::arrayValue);
  batches_.WriteListed(KikBatchName(Fnv1a64Decimal(sender->session_name), number),
                       &sender->file_list);
  ++sender->files_written;
}

void KikDeletedSessions::Add(const std::string& sender_key, const std::string& from_id,
                             Json::Value message) {
  const auto [found, added] = index_.emplace(sender_key, senders_.size());
  if (added) {
    Sender sender;
    sender.session_name = from_id;
    sender.batch = Json::Value(Json::arrayValue);
    sender.file_list = Json::Value(Json::arrayValue);
    senders_.push_back(std::move(sender));
  }
  Sender& sender = senders_[found->second];
  // A full batch is written only when a further message arrives, so a
  // sender of exactly one batch gets one unnumbered file.
  if (sender.count > 0 && sender.count % kKikMessagesPerBatch == 0) {
    Write(&sender, static_cast<int>(sender.count / kKikMessagesPerBatch));
  }
  sender.batch.append(std::move(message));
  ++sender.count;
}

void KikDeletedSessions::Finish(Json::Value* sessions) {
  for (Sender& sender : senders_) {
    if (!sender.batch.empty())
      Write(&sender, sender.files_written == 0 ? 0 : sender.files_written + 1);
    Json::Value session(Json::objectValue);
    session["session_name"] = sender.session_name;
    session["msg_file_list"] = std::move(sender.file_list);
    sessions->append(std::move(session));
  }
  senders_.clear();
  index_.clear();
}

}  // namespace kx
