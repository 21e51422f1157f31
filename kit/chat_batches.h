// The batch files of a chat's messages: the messages of one chat written
// as JSON arrays of a bounded number of messages each, with the side files
// of the same package call.
#ifndef KX_KIT_CHAT_BATCHES_H_
#define KX_KIT_CHAT_BATCHES_H_

#include <json/json.h>

#include <cstdint>
#include <string>

#include "common/json_text_writer.h"
#include "common/side_files.h"
#include "kit/batch_writer.h"

namespace kx {

constexpr int kMessagesPerBatch = 10000;
// A batch that special rows kept open is closed at this size all the same,
// so a hostile store cannot make one batch hold every message in memory.
constexpr int kBatchHardLimit = 5 * kMessagesPerBatch;

// "messages_<FNV-1a of jid>.json", or "messages_<hash>_<n>.json" when
// `numbered`.
std::string BatchFileName(const std::string& jid, int batch_number, bool numbered);

// Creates the files of one package call, on the caller's thread (the
// library starts no threads of its own), in the order they are added.
class PackageFileWriter {
 public:
  explicit PackageFileWriter(std::string folder);
  PackageFileWriter(const PackageFileWriter&) = delete;
  PackageFileWriter& operator=(const PackageFileWriter&) = delete;

  const std::string& folder() const { return batches_.folder(); }

  // Writes `bytes` as a side file named from untrusted text (see
  // SideFileWriter::Write). Returns its path, "" when there are no bytes or
  // the file cannot be written (logged).
  std::string AddSideFile(const std::string& name_text, const std::string& bytes);
  // The batches of the chats, one chat at a time: its text buffer is kept
  // from one chat to the next.
  BatchWriter* batches() { return &batches_; }

 private:
  BatchWriter batches_;
  SideFileWriter side_files_;
};

// The messages of one chat, collected into batches of kMessagesPerBatch and
// handed to the file writer as they fill. Memory holds the text of one
// batch at a time.
class ChatBatchWriter {
 public:
  // `file_list` receives the path of every batch file written.
  ChatBatchWriter(PackageFileWriter* files, std::string jid, Json::Value* file_list);
  ChatBatchWriter(const ChatBatchWriter&) = delete;
  ChatBatchWriter& operator=(const ChatBatchWriter&) = delete;

  // The writer of the next message: the caller writes exactly one non-empty
  // object with it, then calls EndSpecial or EndOrdinary.
  JsonBufferWriter* message_writer() { return batches_->Next(); }
  // Rows of the special set count towards the chat's messages but never
  // close a batch.
  void EndSpecial();
  // After each kMessagesPerBatch-th message of the chat the batch is written.
  void EndOrdinary();

  // Writes what is left: unnumbered when the chat has fewer than
  // kMessagesPerBatch messages, else numbered after the full batches.
  void Finish();

  int64_t message_count() const { return message_count_; }

 private:
  void WriteBatch(bool numbered);

  BatchWriter* batches_;
  std::string jid_;
  Json::Value* file_list_;
  int64_t message_count_ = 0;
  int written_batches_ = 0;
};

}  // namespace kx

#endif  // KX_KIT_CHAT_BATCHES_H_
