// Packages two generated LINE stores (Line.sqlite of the newest version:
// friends, a chat with each, text messages) through the library: 1,000,000
// messages in 1,000 chats, and 100,000 in 100. The backup's Manifest.db
// holds no media.
//
// The reference is the sqlite3 shell printing every message of a chat with
// its sender, chat by chat in time order: the rows of the packager's
// message query over all chats at once.
//
// Usage: ios_line_bench [large|small|all]
#include <string>

#include "bench/store_bench.h"
#include "samples/ios_line.h"

namespace {

constexpr kx::bench::StoreSize kLarge = {"large", 1000000, 2};
constexpr kx::bench::StoreSize kSmall = {"small", 100000, 3};
constexpr int kMessagesPerChat = 1000;

constexpr char kMessageQuery[] =
    "SELECT M.Z_PK, M.ZID, M.ZSENDER, S.ZMID, S.ZNAME, S.ZCUSTOMNAME, M.ZTIMESTAMP, M.ZTEXT, "
    "M.ZCONTENTTYPE, M.ZCONTENTMETADATA, M.ZLATITUDE, M.ZLONGITUDE, NULL, M.ZCHAT FROM ZMESSAGE "
    "AS M LEFT JOIN ZUSER AS S ON S.Z_PK = M.ZSENDER WHERE M.ZCHAT IS NOT NULL ORDER BY "
    "M.ZCHAT, M.ZTIMESTAMP, M.Z_PK";

bool Generate(const std::string& work, long long messages) {
  const long long chats = messages / kMessagesPerChat;
  const std::string chat_of = "(1 + (i - 1) / " + std::to_string(kMessagesPerChat) + ")";
  const std::string store =
      kx::JoinPath(work, kx::samples::IosLineStorePath(kx::samples::kIosLineAccount));
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(store).parent_path(), ignored);
  return kx::bench::WriteEmptyManifest(kx::JoinPath(work, "Manifest.db")) &&
         kx::bench::ExecSql(
             store,
             kx::samples::IosLineSql(kx::samples::kIosLineNewestSchema) + "BEGIN;" +
                 kx::bench::Numbers(chats) +
                 "INSERT INTO ZUSER (Z_PK, Z_ENT, ZUSERTYPE, ZISFRIEND, ZMID, ZNAME, ZCUSTOMNAME) "
                 "SELECT i, 12, 0, 1, 'u' || printf('%032d', i), 'Friend ' || i, CASE WHEN i % 3 "
                 "= 0 THEN 'Nick ' || i END FROM k;" +
                 kx::bench::Numbers(chats) +
                 "INSERT INTO ZCHAT (Z_PK, Z_ENT, ZTYPE, ZMID) SELECT i, 1, 0, 'u' || "
                 "printf('%032d', i) FROM k;" +
                 kx::bench::Numbers(messages) +
                 "INSERT INTO ZMESSAGE (Z_PK, Z_ENT, ZCHAT, ZSENDER, ZTIMESTAMP, ZID, "
                 "ZCONTENTTYPE, ZTEXT, ZLATITUDE, ZLONGITUDE, ZSTATUS, ZREADCOUNT) SELECT i, 4, " +
                 chat_of + ", CASE WHEN i % 2 = 0 THEN " + chat_of +
                 " END, 1700000000000 + i * 30500, '' || (100000 + i), 0, 'Message ' || i || ' "
                 "of the chat, a line of text of a usual length', 0.0, 0.0, CASE WHEN i % 2 = 1 "
                 "THEN 3 END, 0 FROM k;COMMIT;");
}

Json::Value Request(const std::string& work) {
  Json::Value request;
  request["primary_file_object"]["line_file_path"] =
      kx::JoinPath(work, kx::samples::IosLineStorePath(kx::samples::kIosLineAccount));
  request["primary_file_object"]["manifest_file_path"] = kx::JoinPath(work, "Manifest.db");
  request["other_info"]["line_account_id"] = kx::samples::kIosLineAccount;
  request["addtional_param"] = work;
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  const kx::bench::StoreBench bench = {
      "iOS LINE",   15,      "messages",
      Generate,     Request, kx::samples::IosLineStorePath(kx::samples::kIosLineAccount),
      kMessageQuery};
  return kx::bench::RunStoreBenchMain(argc, argv, bench, {&kSmall, &kLarge});
}
