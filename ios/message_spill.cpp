#include "ios/message_spill.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "common/platform.h"

namespace kx {

namespace {

// A record: the fixed head, then the text. The files are read back by the
// process that wrote them, so the numbers keep the host's byte order.
struct RecordHead {
  uint32_t session;
  uint32_t chat_order;
  int64_t date;
  int64_t row_id;
  uint64_t text_size;
};

void AppendRecord(const SpilledMessage& message, std::string* bytes) {
  const RecordHead head = {message.session, message.chat_order, message.date, message.row_id,
                           message.text.size()};
  bytes->append(reinterpret_cast<const char*>(&head), sizeof head);
  bytes->append(message.text);
}

// False when `bytes` does not hold whole records.
bool ParseRecords(std::string_view bytes, std::vector<SpilledMessage>* messages) {
  while (!bytes.empty()) {
    RecordHead head;
    if (bytes.size() < sizeof head) return false;
    std::memcpy(&head, bytes.data(), sizeof head);
    bytes.remove_prefix(sizeof head);
    if (bytes.size() < head.text_size) return false;
    const size_t text_size = static_cast<size_t>(head.text_size);
    messages->push_back(
        {head.session, head.chat_order, head.date, head.row_id, bytes.substr(0, text_size)});
    bytes.remove_prefix(text_size);
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(PathFromUtf8(path), error);
  if (error) return false;
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  if (!in) return false;
  bytes->resize(static_cast<size_t>(size));
  in.read(bytes->data(), static_cast<std::streamsize>(size));
  return static_cast<uintmax_t>(in.gcount()) == size;
}

}  // namespace

MessageSpill::MessageSpill(std::string folder, std::string file_prefix, size_t groups,
                           size_t memory_limit)
    : folder_(std::move(folder)),
      file_prefix_(std::move(file_prefix)),
      pending_(groups),
      in_file_(groups, false),
      memory_limit_(memory_limit) {}

MessageSpill::~MessageSpill() {
  for (size_t group = 0; group < in_file_.size(); ++group) {
    if (!in_file_[group]) continue;
    std::error_code ignored;
    std::filesystem::remove(PathFromUtf8(FileOf(group)), ignored);
  }
}

std::string MessageSpill::FileOf(size_t group) const {
  return JoinPath(folder_, file_prefix_ + std::to_string(group + 1) + ".part");
}

bool MessageSpill::Add(size_t group, const SpilledMessage& message) {
  if (failed_ || group >= pending_.size()) return false;
  const size_t before = pending_[group].size();
  AppendRecord(message, &pending_[group]);
  pending_bytes_ += pending_[group].size() - before;
  return pending_bytes_ < memory_limit_ || FlushAll();
}

// Every group at once: a group's records reach its file in the order they
// were added.
bool MessageSpill::FlushAll() {
  for (size_t group = 0; group < pending_.size() && !failed_; ++group) {
    std::string& bytes = pending_[group];
    if (bytes.empty()) continue;
    const std::string path = FileOf(group);
    if (!in_file_[group]) {
      // A new file, whatever the name held before.
      failed_ = !WriteNewFile(path, bytes).ok();
      in_file_[group] = true;
    } else {
      AppendFile file;
      failed_ = file.Open(path) != 0 || file.Write(bytes) != 0;
    }
    // The buffer is kept for the group's next records.
    bytes.clear();
  }
  pending_bytes_ = 0;
  return !failed_;
}

bool MessageSpill::Take(size_t group, std::string* bytes, std::vector<SpilledMessage>* messages) {
  messages->clear();
  bytes->clear();
  if (failed_ || group >= pending_.size()) return false;
  pending_bytes_ -= pending_[group].size();
  if (in_file_[group]) {
    if (!ReadWholeFile(FileOf(group), bytes)) return false;
    bytes->append(pending_[group]);
    std::error_code ignored;
    std::filesystem::remove(PathFromUtf8(FileOf(group)), ignored);
    in_file_[group] = false;
  } else {
    bytes->append(pending_[group]);
  }
  // Taken once: its buffer is not needed again.
  std::string().swap(pending_[group]);
  return ParseRecords(*bytes, messages);
}

}  // namespace kx
