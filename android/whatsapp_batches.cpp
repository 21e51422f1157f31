#include "android/whatsapp_batches.h"

#include <cerrno>
#include <fstream>
#include <utility>

#include "common/json_util.h"
#include "common/log.h"
#include "common/platform.h"
#include "common/text.h"

namespace kx {

namespace {

constexpr char kBatchPrefix[] = "messages_";
constexpr char kBatchSuffix[] = ".json";
constexpr char kSideFileFallback[] = "side_file";

}  // namespace

std::string BatchFileName(const std::string& jid, int batch_number, bool numbered) {
  std::string name = kBatchPrefix + Fnv1a64Decimal(jid);
  if (numbered) name += "_" + std::to_string(batch_number);
  return name + kBatchSuffix;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  errno = 0;
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  if (!out.is_open()) {
    KX_LOG(kLogError, "%s, file open fail, %d", path.c_str(), errno);
    return false;
  }
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) {
    KX_LOG(kLogError, "%s write error, %d\n", path.c_str(), errno);
    return false;
  }
  out.flush();
  if (!out) {
    KX_LOG(kLogError, "%s flush error, %d\n", path.c_str(), errno);
    return false;
  }
  out.close();
  if (out.fail()) {
    KX_LOG(kLogError, "%s close error, %d\n", path.c_str(), errno);
    return false;
  }
  return true;
}

std::string WriteSideFile(const std::string& folder, const std::string& name_text,
                          const std::string& bytes) {
  if (bytes.empty()) return std::string();
  const std::string path = JoinPath(folder, SafeFileName(name_text, kSideFileFallback));
  return WriteTextFile(path, bytes) ? path : std::string();
}

ChatBatchWriter::ChatBatchWriter(std::string temp_folder, std::string jid, Json::Value* file_list)
    : temp_folder_(std::move(temp_folder)), jid_(std::move(jid)), file_list_(file_list) {}

void ChatBatchWriter::Append(Json::Value message) {
  batch_.append(std::move(message));
  ++message_count_;
}

void ChatBatchWriter::AddSpecial(Json::Value message) {
  Append(std::move(message));
  if (batch_.size() >= static_cast<Json::ArrayIndex>(kBatchHardLimit)) WriteBatch(true);
}

void ChatBatchWriter::AddOrdinary(Json::Value message) {
  Append(std::move(message));
  if (message_count_ % kMessagesPerBatch == 0 ||
      batch_.size() >= static_cast<Json::ArrayIndex>(kBatchHardLimit)) {
    WriteBatch(true);
  }
}

void ChatBatchWriter::Finish() {
  // Non-empty also when the count is a multiple of the batch size but the
  // special rows kept the last batch open: those messages are written too.
  if (batch_.empty()) return;
  WriteBatch(message_count_ >= kMessagesPerBatch);
}

void ChatBatchWriter::WriteBatch(bool numbered) {
  ++written_batches_;
  const std::string path = JoinPath(temp_folder_, BatchFileName(jid_, written_batches_, numbered));
  // A batch that cannot be written is logged and left out of the list; the
  // package goes on with the next one.
  if (WriteTextFile(path, WriteJson(batch_))) file_list_->append(path);
  batch_ = Json::Value(Json::arrayValue);
}

}  // namespace kx
