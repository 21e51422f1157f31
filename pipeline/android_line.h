// The staged packager of LINE on Android (data type 30): reads the chat
// database "naver_line", finds the account owner, lists the chats with their
// names and members, classifies every message and writes each chat's
// messages into a detail file; the result document (result kind 22) lists
// the chats.
//
// The messages are read in one pass over their table, in the order its rows
// lie in (message id order), each laid out into its chat's detail text as it
// comes (pipeline/android_line_details.h), so that memory stays bounded and
// no page is read twice; the detail files are then numbered in chat order.
#ifndef KX_PIPELINE_ANDROID_LINE_H_
#define KX_PIPELINE_ANDROID_LINE_H_

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/local_date.h"
#include "common/side_files.h"
#include "common/sqlite_wrapper.h"
#include "kit/contact_names.h"
#include "packager/staged_package.h"
#include "pipeline/android_line_records.h"
#include "pipeline/android_line_storage.h"

namespace kx {

class AndroidLineDataPackage : public AbstractKxDataPackage {
 public:
  // A chat's place in chats_ by its id.
  using ChatIndex = std::unordered_map<std::string_view, size_t>;
  // The member mids of a room, in the order first seen.
  struct RoomMembers {
    std::vector<std::string> mids;
    std::unordered_set<std::string> seen;
  };

  // Copies what it needs from the block; the temp folder is the storage
  // writer's output folder.
  explicit AndroidLineDataPackage(const StagedParameters& parameters);
  ~AndroidLineDataPackage() override;

  int CheckParam() override;
  int Init() override;
  int AnalyseDatabase() override;
  int OutPut() override;

  const std::string& account_id() const { return account_id_; }

 private:
  void SearchAccountID();
  int GetChat();
  int GetMessage();
  int GetContactName();
  int GetGroupName();
  int GetGroupMember();
  // Claims the names of the contact cards in the order of the chats and,
  // within a chat, of the message ids, before the messages are read in the
  // table's own order.
  int ClaimCardNames(const ChatIndex& chat_index);
  void DealReplyMsg(const std::string& server_id, const std::string& chat_id, LineMessage* message);

  int ReadChatRow(const SqliteStatement& statement, LineChat* chat);
  void NameChat(LineChat* chat);
  int ReadMessageRow(const SqliteStatement& statement, size_t chat, LocalDateFormatter* send_times,
                     LineMessage* message);
  // Adds the member mids of a room's message of LINE type 3 or 9 (one per
  // line of its content), each once, in the order first seen.
  void AddRoomMembers(std::string_view content, RoomMembers* members);
  void NameRoom(const RoomMembers& members, LineChat* chat) const;
  void ResolveSender(const std::string& from_mid, bool* is_from_me, std::string* sender) const;
  void WriteContactCard(size_t chat, const std::string& card_text, LineMessage* message);
  std::vector<std::string> MemberNames(const std::vector<std::string>& mids) const;
  // Gives chat_history an index led by `column` in the staged copy when it
  // has none, so that per-chat and per-reply look-ups do not scan the table.
  void EnsureChatHistoryIndex(const char* column);
  int Prepare(const char* operation, const std::string& sql, SqliteStatement* statement);

  std::string temp_folder_;
  ResultCallback callback_;
  int result_kind_;
  const std::atomic<int>* staged_stop_;
  std::string line_file_path_;
  AndroidLineDataPackageStorage storage_;
  std::unique_ptr<SQLite3Wrapper> db_;
  std::string account_id_;
  std::string my_name_;

  ContactNames group_names_;  // group id -> its name
  std::unordered_map<std::string, std::vector<std::string>> group_members_;
  ContactNames contact_names_;

  // Chats read by GetChat, waiting for their messages.
  std::vector<LineChat> chats_;
  // Texts of the message row being read, whose buffers serve row after row.
  std::string server_id_;
  std::string from_mid_;
  std::string parameter_text_;
  SqliteStatement reply_statement_;
  bool reply_statement_failed_ = false;
  // Names of the contact cards written in this run, and by chat the names
  // claimed for its cards, in message id order, with the next to take.
  UniqueFileNames card_file_names_;
  std::vector<std::vector<std::string>> card_names_;
  std::vector<size_t> next_card_;
};

}  // namespace kx

#endif  // KX_PIPELINE_ANDROID_LINE_H_
