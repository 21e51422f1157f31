// The detail texts of every chat at once, for a messages table read once in
// the order its rows lie in rather than chat by chat: each message is laid
// out into its chat's text as it comes. The texts wait in memory while they
// stay under a limit together; past it, the largest are appended to files
// of their chats' own in the output folder, and such a file becomes its
// chat's detail file by a rename when the chat's turn comes. Memory stays
// bounded however the chats' messages interleave, and no page of the table
// is read twice.
#ifndef KX_PIPELINE_ANDROID_LINE_DETAILS_H_
#define KX_PIPELINE_ANDROID_LINE_DETAILS_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "common/json_text_writer.h"
#include "kit/batch_writer.h"
#include "pipeline/android_line_records.h"

namespace kx {

class LineDetailTexts {
 public:
  // `chats` chats, numbered from 0; texts over `memory_limit` bytes in all
  // go to files in `folder`.
  LineDetailTexts(std::string folder, size_t chats, size_t memory_limit);
  // Removes the files of chats never saved.
  ~LineDetailTexts();
  LineDetailTexts(const LineDetailTexts&) = delete;
  LineDetailTexts& operator=(const LineDetailTexts&) = delete;

  // Lays out `message` as the next element of chat `chat`'s array.
  void Add(size_t chat, const LineMessage& message);

  // Saves chat `chat`'s messages as the numbered detail file, as
  // SaveDetailFile does for `item` (whose has_details is set here): "" for
  // a chat without messages or whose file could not be created. The chat's
  // text is released.
  std::string Save(size_t chat, const char* prefix, int* counter, DetailFileItem item);

 private:
  // A chat with messages; the others have none.
  struct Chat {
    std::string text;
    JsonTextWriter writer{&text};
    bool in_file = false;  // its file exists and holds the text before `text`
    int file_error = 0;    // why its file could not be created
  };

  // Moves the largest texts to their files until half the limit is left.
  void Spill();
  // Appends chat `chat`'s text to its file and releases the text.
  void MoveToFile(Chat* chat, size_t index);
  std::string FileOf(size_t chat) const;

  std::string folder_;
  size_t memory_limit_;
  size_t pending_bytes_ = 0;
  std::string element_;                       // the message being laid out
  std::vector<std::unique_ptr<Chat>> chats_;  // null until a chat's first message
};

}  // namespace kx

#endif  // KX_PIPELINE_ANDROID_LINE_DETAILS_H_
