#include "common/chat_batches.h"

#include <string>
#include <utility>

#include "common/log.h"
#include "common/platform.h"
#include "common/text.h"

namespace kx {

namespace {

constexpr char kBatchPrefix[] = "messages_";
constexpr char kBatchSuffix[] = ".json";

}  // namespace

std::string BatchFileName(const std::string& jid, int batch_number, bool numbered) {
  std::string name = kBatchPrefix + Fnv1a64Decimal(jid);
  if (numbered) name += "_" + std::to_string(batch_number);
  return name + kBatchSuffix;
}

PackageFileWriter::PackageFileWriter(std::string folder)
    : folder_(std::move(folder)), side_files_(folder_) {}

std::string PackageFileWriter::AddSideFile(const std::string& name_text, const std::string& bytes) {
  return side_files_.Write(name_text, bytes);
}

void PackageFileWriter::AddBatch(const std::string& path, std::string* text,
                                 Json::Value* file_list) {
  if (WriteTextFile(path, *text)) file_list->append(path);
  text->clear();
}

ChatBatchWriter::ChatBatchWriter(PackageFileWriter* files, std::string* text_buffer,
                                 std::string jid, Json::Value* file_list)
    : files_(files),
      text_(text_buffer),
      jid_(std::move(jid)),
      file_list_(file_list),
      writer_(text_buffer) {
  StartBatch();
}

void ChatBatchWriter::StartBatch() {
  text_->clear();
  writer_ = JsonTextWriter(text_);
  writer_.BeginArray();
  batch_size_ = 0;
}

void ChatBatchWriter::EndSpecial() {
  ++batch_size_;
  ++message_count_;
  if (batch_size_ >= kBatchHardLimit) WriteBatch(true);
}

void ChatBatchWriter::EndOrdinary() {
  ++batch_size_;
  ++message_count_;
  if (message_count_ % kMessagesPerBatch == 0 || batch_size_ >= kBatchHardLimit) {
    WriteBatch(true);
  }
}

void ChatBatchWriter::AddSpecial(const Json::Value& message) {
  WriteJsonValue(message, &writer_);
  EndSpecial();
}

void ChatBatchWriter::AddOrdinary(const Json::Value& message) {
  WriteJsonValue(message, &writer_);
  EndOrdinary();
}

void ChatBatchWriter::Finish() {
  // Non-empty also when the count is a multiple of the batch size but the
  // special rows kept the last batch open: those messages are written too.
  if (batch_size_ == 0) return;
  WriteBatch(message_count_ >= kMessagesPerBatch);
}

void ChatBatchWriter::WriteBatch(bool numbered) {
  ++written_batches_;
  const std::string path =
      JoinPath(files_->folder(), BatchFileName(jid_, written_batches_, numbered));
  writer_.EndArray();
  // A batch that cannot be written is logged and left out of the list; the
  // package goes on with the next one.
  if (writer_.complete()) {
    files_->AddBatch(path, text_, file_list_);
  } else {
    KX_LOG(kLogError, "%s, messages not laid out", path.c_str());
  }
  StartBatch();
}

}  // namespace kx
