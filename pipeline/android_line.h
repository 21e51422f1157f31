// The staged packager of LINE on Android (data type 30): reads the chat
// database "naver_line", finds the account owner, lists the chats with their
// names and members, classifies every message and writes each chat's
// messages into a detail file; the result document (result kind 22) lists
// the chats.
//
// The analysis goes chat by chat: a chat's messages are read, written to its
// detail file and released before the next chat is read, so memory follows
// the largest chat, not the database.
#ifndef KX_PIPELINE_ANDROID_LINE_H_
#define KX_PIPELINE_ANDROID_LINE_H_

#include <atomic>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/side_files.h"
#include "common/sqlite_wrapper.h"
#include "kit/contact_names.h"
#include "packager/staged_package.h"
#include "pipeline/android_line_records.h"
#include "pipeline/android_line_storage.h"

namespace kx {

class AndroidLineDataPackage : public AbstractKxDataPackage {
 public:
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
  // Names of the members of room `chat_id`, from its messages of LINE types
  // 3 and 9 (one member mid per line of their content).
  int GetRoomMember(const std::string& chat_id, std::vector<std::string>* names);
  void DealReplyMsg(const std::string& server_id, const std::string& chat_id, LineMessage* message);

  int ReadChatRow(const SqliteStatement& statement, LineChat* chat);
  void NameChat(LineChat* chat);
  int ReadMessageRow(const SqliteStatement& statement, const std::string& chat_id,
                     LineMessage* message);
  void ResolveSender(const std::string& from_mid, bool* is_from_me, std::string* sender) const;
  void WriteContactCard(const std::string& card_text, LineMessage* message);
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
  std::unordered_map<std::string, std::vector<std::string>> room_members_;

  // Chats read by GetChat, waiting for their messages.
  std::vector<LineChat> chats_;
  SqliteStatement room_statement_;
  // Texts of the message row being read, whose buffers serve row after row.
  std::string server_id_;
  std::string from_mid_;
  std::string parameter_text_;
  bool room_statement_failed_ = false;
  SqliteStatement reply_statement_;
  bool reply_statement_failed_ = false;
  // Names of the contact cards written in this run.
  UniqueFileNames card_file_names_;
};

}  // namespace kx

#endif  // KX_PIPELINE_ANDROID_LINE_H_
