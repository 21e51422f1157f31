// The storage writer of the Android LINE packager: one detail file per chat
// ("DataAnalysis_Line_<n>.json", the chat's messages) and the result document
// that lists the chats.
#ifndef KX_PIPELINE_ANDROID_LINE_STORAGE_H_
#define KX_PIPELINE_ANDROID_LINE_STORAGE_H_

#include <json/json.h>

#include <functional>
#include <ostream>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/json_text_writer.h"
#include "packager/staged_package.h"
#include "pipeline/android_line_records.h"

namespace kx {

class LineDetailTexts;

// Fills *message with the next message of a chat; false when there is none.
using LineMessageSource = std::function<bool(LineMessage*)>;

class AndroidLineDataPackageStorage : public AbstractDataPackageStorage {
 public:
  explicit AndroidLineDataPackageStorage(std::string output_folder);

  void SetAccount(std::string account_id, std::string my_name);

  // Writes the chat's messages into its detail file (none for a chat without
  // messages), releases them and keeps the chat's summary for the result
  // document. Chats are listed in the order they are added; a chat id added
  // twice keeps its first entry.
  void AddChat(LineChat chat);
  // The same for a chat whose messages are read while its file is written,
  // one at a time from `messages`; `has_messages` tells whether there is a
  // first one. The source is not called for a chat id added before, nor
  // when the file cannot be opened.
  void AddChat(LineChat chat, const LineMessageSource& messages, bool has_messages);
  // The same for a chat whose messages were laid out as chat `index` of
  // `texts`.
  void AddChat(LineChat chat, LineDetailTexts* texts, size_t index);

  // Writes one chat's messages as the next detail file; the path joins the
  // chat's msg_file_list. "" when the chat has no messages or the file
  // cannot be opened.
  std::string SaveLineInfosToLocal(LineChat* chat);

  // {"chat_count", "account_id", "my_name", "line_chat_sessions": [...]}
  Json::Value& BuildResultDocument(Json::Value& document) override;

  int detail_file_counter() const { return detail_file_counter_; }
  int chat_count() const { return chat_count_; }

 private:
  int detail_file_counter_ = 0;
  int chat_count_ = 0;
  std::string account_id_;
  std::string my_name_;
  std::vector<LineChat> chats_;  // summaries; their messages are already written
  std::unordered_set<std::string> chat_ids_;

  // The next detail file, written from `messages`; "" as SaveLineInfosToLocal.
  std::string SaveDetails(const LineMessageSource& messages, bool has_messages);
};

// A source that hands out `messages` from the front, releasing each.
LineMessageSource TakeFrom(LineMessages* messages);

// Writes the messages `messages` gives, until it returns false, as a detail
// file's JSON array, one object per message (with its misspelled members
// "longtitude" and "rely_server_id"), in the layout of the library's JSON
// writer, holding one message at a time.
void WriteLineMessagesJson(const LineMessageSource& messages, std::ostream* out);

// One message of a detail file, as the next element of the writer's open
// array (the array of a whole detail file); `scratch` is a buffer that
// serves message after message.
void WriteLineMessage(const LineMessage& message, std::string* scratch, JsonTextWriter* writer);

}  // namespace kx

#endif  // KX_PIPELINE_ANDROID_LINE_STORAGE_H_
