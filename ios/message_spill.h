// The written messages of a large store, put aside by the file they go into.
// The store is read once in the order its pages lie in, and a message's
// text goes to the group of the session file it belongs in; a group is
// taken back, whole, when that file is written. Groups live in memory up to
// a limit, then in files of the temp folder that are gone again when the
// spill is. In memory a group is a list of blocks that never grow once
// made (each up to twice the one before, to 64 KB), so no text is copied
// into a larger buffer, and a group is taken back by handing its blocks
// over.
#ifndef KX_IOS_MESSAGE_SPILL_H_
#define KX_IOS_MESSAGE_SPILL_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// A message as it was put aside: its session (by position in the order of
// writing), where it stands among the session's messages of equal date, and
// its text.
struct SpilledMessage {
  uint32_t session = 0;
  uint32_t chat_order = 0;  // the chat's place in its session
  int64_t date = 0;
  int64_t row_id = 0;
  std::string_view text;
};

class MessageSpill {
 public:
  // `groups` groups; `memory_limit` bytes held before the groups go to
  // files named after `file_prefix` in `folder`.
  MessageSpill(std::string folder, std::string file_prefix, size_t groups, size_t memory_limit);
  ~MessageSpill();
  MessageSpill(const MessageSpill&) = delete;
  MessageSpill& operator=(const MessageSpill&) = delete;

  // False when a file could not be written; the message is then lost and
  // every later call fails too.
  bool Add(size_t group, const SpilledMessage& message);
  // The group's messages, in the order added; their texts live in the
  // blocks of `blocks`, which must outlive them. False when the group's
  // file cannot be read back (or was never written whole). The group is
  // empty afterwards.
  bool Take(size_t group, std::vector<std::string>* blocks, std::vector<SpilledMessage>* messages);

 private:
  bool FlushAll();
  std::string FileOf(size_t group) const;

  std::string folder_;
  std::string file_prefix_;
  // By group, not yet in its file: whole records, in blocks.
  std::vector<std::vector<std::string>> pending_;
  std::vector<bool> in_file_;  // by group: has a file
  size_t pending_bytes_ = 0;
  size_t memory_limit_;
  bool failed_ = false;
};

}  // namespace kx

#endif  // KX_IOS_MESSAGE_SPILL_H_
