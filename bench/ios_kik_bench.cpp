// Packages two generated Kik stores (kik.sqlite of the newest version:
// friends, their chats, an attachment for one message in fifty) through the
// library: 1,000,000 messages in 1,000 chats, and 100,000 in 100. The store
// carries the indexes Core Data makes on every relationship column; the
// backup's Manifest.db holds no media.
//
// The reference is the sqlite3 shell printing every placed message with its
// attachment, sender and chat: the rows of the packager's message query,
// over all chats at once.
//
// Usage: ios_kik_bench [large|small|all]
#include <string>

#include "bench/store_bench.h"
#include "samples/ios_kik.h"

namespace {

constexpr kx::bench::StoreSize kLarge = {"large", 1000000, 2};
constexpr kx::bench::StoreSize kSmall = {"small", 100000, 3};
constexpr int kMessagesPerChat = 1000;

constexpr char kMessageQuery[] =
    "SELECT MSG.Z_PK, MSG.ZTYPE AS is_from_me, MSG.ZTIMESTAMP AS send_date, MSG.ZBODY AS text, "
    "MSG.ZBODY AS display, ATCH.ZCONTENT AS ZCONTENT, USER.ZDISPLAYNAME AS from_id, MSG.ZSTATE "
    "AS send_state, ATCH.ZTYPE AS type, Z_4MESSAGES.Z_4CHAT FROM Z_4MESSAGES JOIN ZKIKMESSAGE AS "
    "MSG ON Z_4MESSAGES.Z_6MESSAGES = MSG.Z_PK LEFT JOIN ZKIKATTACHMENT AS ATCH ON MSG.Z_PK = "
    "ATCH.ZMESSAGE LEFT JOIN ZKIKUSER AS USER ON MSG.ZUSER = USER.Z_PK";

bool Generate(const std::string& work, long long messages) {
  const long long chats = messages / kMessagesPerChat;
  const std::string per_chat = std::to_string(kMessagesPerChat);
  const std::string chat_of = "(1 + (i - 1) / " + per_chat + ")";
  const std::string store =
      kx::JoinPath(work, kx::samples::IosKikStorePath(kx::samples::kIosKikAccount));
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(store).parent_path(), ignored);
  return kx::bench::WriteEmptyManifest(kx::JoinPath(work, "Manifest.db")) &&
         kx::bench::ExecSql(
             store,
             kx::samples::IosKikSql(kx::samples::kIosKikNewestSchema) +
                 "CREATE INDEX ZKIKATTACHMENT_ZMESSAGE_INDEX ON ZKIKATTACHMENT (ZMESSAGE);"
                 "CREATE INDEX ZKIKMESSAGE_ZUSER_INDEX ON ZKIKMESSAGE (ZUSER);"
                 "CREATE INDEX ZKIKCHAT_ZUSER_INDEX ON ZKIKCHAT (ZUSER);"
                 "CREATE INDEX Z_4MESSAGES_Z_6MESSAGES_INDEX ON Z_4MESSAGES (Z_6MESSAGES, "
                 "Z_4CHAT);BEGIN;" +
                 kx::bench::Numbers(chats) +
                 "INSERT INTO ZKIKUSER (Z_PK, Z_ENT, ZDISPLAYNAME, ZJID, ZUSERNAME) SELECT i, 10, "
                 "'Friend ' || i, 'friend' || i || '_x1@talk.kik.com', 'friend' || i FROM k;" +
                 kx::bench::Numbers(chats) +
                 "INSERT INTO ZKIKCHAT (Z_PK, Z_ENT, ZUSER, ZDATEUPDATED) SELECT i, 4, i, "
                 "726000000.0 + i * 60 FROM k;" +
                 kx::bench::Numbers(messages) +
                 "INSERT INTO ZKIKMESSAGE (Z_PK, Z_ENT, ZSTATE, ZTYPE, ZUSER, ZTIMESTAMP, ZBODY) "
                 "SELECT i, 6, i % 3, 1 + i % 2, " +
                 chat_of +
                 ", 700000000.0 + i * 30.5, 'Message ' || i || ' of the chat, a line of text "
                 "of a usual length' FROM k;" +
                 kx::bench::Numbers(messages) + "INSERT INTO Z_4MESSAGES SELECT " + chat_of +
                 ", i FROM k;" + kx::bench::Numbers(messages / 50) +
                 "INSERT INTO ZKIKATTACHMENT (Z_PK, Z_ENT, ZTYPE, ZMESSAGE, ZCONTENT) SELECT i, 1, "
                 "6, i * 50, 'f3a1c2b4-5d6e-4f70-8a9b-' || printf('%012d', i) FROM k;COMMIT;");
}

Json::Value Request(const std::string& work) {
  Json::Value request;
  request["primary_file_object"]["kik_file_path"] =
      kx::JoinPath(work, kx::samples::IosKikStorePath(kx::samples::kIosKikAccount));
  request["primary_file_object"]["manifest_file_path"] = kx::JoinPath(work, "Manifest.db");
  request["other_info"]["kik_account_id"] = kx::samples::kIosKikAccount;
  request["other_info"]["has_sub_dir"] = "1";
  request["addtional_param"] = work;
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  const kx::bench::StoreBench bench = {
      "iOS Kik",    17,      "messages",
      Generate,     Request, kx::samples::IosKikStorePath(kx::samples::kIosKikAccount),
      kMessageQuery};
  return kx::bench::RunStoreBenchMain(argc, argv, bench, {&kSmall, &kLarge});
}
