// Files the WhatsApp packager writes into the temp folder: the message
// batches of each chat, and side files (thumbnails, vCards) named after the
// message they belong to.
#ifndef KX_ANDROID_WHATSAPP_BATCHES_H_
#define KX_ANDROID_WHATSAPP_BATCHES_H_

#include <json/json.h>

#include <cstdint>
#include <string>

namespace kx {

constexpr int kMessagesPerBatch = 10000;
// A batch that special rows kept open is closed at this size all the same,
// so a hostile store cannot make one batch hold every message in memory.
constexpr int kBatchHardLimit = 5 * kMessagesPerBatch;

// "messages_<FNV-1a of jid>.json", or "messages_<hash>_<n>.json" when
// `numbered`.
std::string BatchFileName(const std::string& jid, int batch_number, bool numbered);

// Creates (or replaces) the file and writes the text. Failures are logged
// with the file path and the system error code; returns false then.
bool WriteTextFile(const std::string& path, const std::string& text);

// Writes bytes under a name made from untrusted text (through SafeFileName)
// in `folder`. Returns the path, or "" when there is nothing to write or the
// file cannot be written (logged).
std::string WriteSideFile(const std::string& folder, const std::string& name_text,
                          const std::string& bytes);

// The messages of one chat, collected into batches of kMessagesPerBatch and
// written as they fill. Memory holds one batch at a time.
class ChatBatchWriter {
 public:
  // `file_list` receives the path of every batch file written.
  ChatBatchWriter(std::string temp_folder, std::string jid, Json::Value* file_list);

  // Rows of the special set count towards the chat's messages but never
  // close a batch.
  void AddSpecial(Json::Value message);
  // After each kMessagesPerBatch-th message of the chat the batch is written.
  void AddOrdinary(Json::Value message);
  // Writes what is left: unnumbered when the chat has fewer than
  // kMessagesPerBatch messages, else numbered after the full batches.
  void Finish();

  int64_t message_count() const { return message_count_; }

 private:
  void Append(Json::Value message);
  void WriteBatch(bool numbered);

  std::string temp_folder_;
  std::string jid_;
  Json::Value* file_list_;
  Json::Value batch_{Json::arrayValue};
  int64_t message_count_ = 0;
  int written_batches_ = 0;
};

}  // namespace kx

#endif  // KX_ANDROID_WHATSAPP_BATCHES_H_
