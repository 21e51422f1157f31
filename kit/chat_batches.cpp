#include "kit/chat_batches.h"

#include <string>
#include <utility>

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
    : batches_(folder), side_files_(std::move(folder)) {}

std::string PackageFileWriter::AddSideFile(const std::string& name_text, const std::string& bytes) {
  return side_files_.Write(name_text, bytes);
}

ChatBatchWriter::ChatBatchWriter(PackageFileWriter* files, std::string jid, Json::Value* file_list)
    : batches_(files->batches()), jid_(std::move(jid)), file_list_(file_list) {}

void ChatBatchWriter::EndSpecial() {
  ++message_count_;
  if (batches_->size() >= kBatchHardLimit) WriteBatch(true);
}

void ChatBatchWriter::EndOrdinary() {
  ++message_count_;
  if (message_count_ % kMessagesPerBatch == 0 || batches_->size() >= kBatchHardLimit) {
    WriteBatch(true);
  }
}

void ChatBatchWriter::Finish() {
  // Non-empty also when the count is a multiple of the batch size but the
  // special rows kept the last batch open: those messages are written too.
  if (batches_->size() == 0) return;
  WriteBatch(message_count_ >= kMessagesPerBatch);
}

void ChatBatchWriter::WriteBatch(bool numbered) {
  // A batch that cannot be written is logged and left out of the list; the
  // package goes on with the next one.
  batches_->WriteListed(BatchFileName(jid_, ++written_batches_, numbered), file_list_);
}

}  // namespace kx
