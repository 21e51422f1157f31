#include "ioschat/kik_messages.h"

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

Json::Value KikMessageObject(const SqliteStatement& row, const KikBackup& backup, bool deleted) {
  Json::Value message(Json::objectValue);
  for (int column = 0; column < row.ColumnCount(); ++column) {
    message[row.ColumnName(column)] = row.ColumnText(column);
  }
  const KikMessageCodes codes =
      MapKikCodes(message["is_from_me"].asString(), message["type"].asString(),
                  message["send_state"].asString());
  message["is_from_me"] = codes.is_from_me;
  message["type"] = codes.type;
  message["send_state"] = codes.send_state;
  const std::string content = message["ZCONTENT"].asString();
  if (!content.empty()) {
    const std::string relative = KikRelativePath(backup.account_id, "attachments/" + content);
    if (deleted) {
      message["media_backup"] =
          FileInBackup(backup.backup_root, kKikDomain, relative, backup.two_level);
    } else {
      message["media_path"] = relative;
      message["media_backup"] =
          JoinPath(backup.temp_folder, KikAttachmentFileId(backup.account_id, content));
    }
  }
  if (deleted) message["tag"] = "deleted";
  return message;
}

void WriteKikBatch(PackageFileWriter* files, const std::string& key, int64_t number,
                   Json::Value* batch, Json::Value* file_list) {
  std::string name = "kikmessages_" + key;
  if (number > 0) name += "_" + std::to_string(number);
  Json::Value document(Json::objectValue);
  document["messages"] = std::move(*batch);
  *batch = Json::Value(Json::arrayValue);
  std::string text = WriteJson(document);
  files->AddBatch(SideFilePath(files->folder(), name + ".json", "kikmessages.json"), &text,
                  file_list);
}

KikChatBatches::KikChatBatches(PackageFileWriter* files, std::string chat_pk,
                               Json::Value* file_list)
    : files_(files),
      chat_pk_(std::move(chat_pk)),
      file_list_(file_list),
      batch_(Json::arrayValue) {}

void KikChatBatches::Add(Json::Value message) {
  batch_.append(std::move(message));
  if (++count_ % kKikMessagesPerBatch == 0) {
    WriteKikBatch(files_, chat_pk_, count_ / kKikMessagesPerBatch, &batch_, file_list_);
  }
}

void KikChatBatches::Finish() {
  if (batch_.empty()) return;
  const int64_t number = count_ < kKikMessagesPerBatch ? 0 : count_ / kKikMessagesPerBatch + 1;
  WriteKikBatch(files_, chat_pk_, number, &batch_, file_list_);
}

void KikDeletedSessions::Write(Sender* sender, int number) {
  WriteKikBatch(files_, Fnv1a64Decimal(sender->session_name), number, &sender->batch,
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
