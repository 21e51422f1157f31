#include "ios/message_spill.h"

#include <algorithm>
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

// The room of a group's blocks: each twice the one before, from the first
// to the largest, so that a group of a few messages holds little more than
// them, whatever the number of groups; a larger record has a block of its
// own.
constexpr size_t kFirstBlockBytes = 1024;
constexpr size_t kLargestBlockBytes = 64 * 1024;

// Appends the record to the group's last block, or to a new block when it
// does not fit: a block is never grown past the room it was made with.
// Returns the record's size.
size_t AppendRecord(const SpilledMessage& message, std::vector<std::string>* blocks) {
  const RecordHead head = {message.session, message.chat_order, message.date, message.row_id,
                           message.text.size()};
  const size_t size = sizeof head + message.text.size();
  if (blocks->empty() || blocks->back().capacity() - blocks->back().size() < size) {
    const size_t room = blocks->empty()
                            ? kFirstBlockBytes
                            : std::min(kLargestBlockBytes, 2 * blocks->back().capacity());
    blocks->emplace_back().reserve(std::max(size, room));
  }
  std::string& block = blocks->back();
  block.append(reinterpret_cast<const char*>(&head), sizeof head);
  block.append(message.text);
  return size;
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
  pending_bytes_ += AppendRecord(message, &pending_[group]);
  return pending_bytes_ < memory_limit_ || FlushAll();
}

// Every group at once: a group's records reach its file in the order they
// were added.
bool MessageSpill::FlushAll() {
  for (size_t group = 0; group < pending_.size() && !failed_; ++group) {
    std::vector<std::string>& blocks = pending_[group];
    if (blocks.empty()) continue;
    const std::string path = FileOf(group);
    // A new file, whatever the name held before.
    if (!in_file_[group]) failed_ = !WriteNewFile(path, std::string_view()).ok();
    in_file_[group] = true;
    AppendFile file;
    failed_ = failed_ || file.Open(path) != 0;
    for (const std::string& block : blocks) {
      if (!failed_) failed_ = file.Write(block) != 0;
    }
    blocks.clear();
  }
  pending_bytes_ = 0;
  return !failed_;
}

bool MessageSpill::Take(size_t group, std::vector<std::string>* blocks,
                        std::vector<SpilledMessage>* messages) {
  messages->clear();
  blocks->clear();
  if (failed_ || group >= pending_.size()) return false;
  bool read = true;
  if (in_file_[group]) {
    blocks->emplace_back();
    read = ReadWholeFile(FileOf(group), &blocks->back());
    std::error_code ignored;
    std::filesystem::remove(PathFromUtf8(FileOf(group)), ignored);
    in_file_[group] = false;
  }
  // Handed over, not copied; taken once, the group holds nothing after.
  std::vector<std::string>& pending = pending_[group];
  for (std::string& block : pending) {
    pending_bytes_ -= block.size();
    blocks->push_back(std::move(block));
  }
  std::vector<std::string>().swap(pending);
  if (!read) return false;
  // The texts are views into the blocks, which stay where they are now.
  for (const std::string& block : *blocks) {
    if (!ParseRecords(block, messages)) return false;
  }
  return true;
}

}  // namespace kx
