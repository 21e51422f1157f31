// Packages two generated WeChat accounts (the stores of the newest version:
// MM.sqlite with one Chat_ table per conversation, WCDB_Contact.sqlite,
// session.db and the settings archive, as the sample writes them, and a
// thousand-message conversation table per friend added) through the
// library: 1,000,000 messages in 1,000 conversations, and 100,000 in 100.
// The backup's Manifest.db holds no media.
//
// The reference is the sqlite3 shell printing the packager's message query
// of every conversation table, one after the other.
//
// Usage: ios_wechat_bench [large|small|all]
#include <cstdio>
#include <string>
#include <vector>

#include "bench/store_bench.h"
#include "samples/ios_wechat.h"

namespace {

constexpr kx::bench::StoreSize kLarge = {"large", 1000000, 2};
constexpr kx::bench::StoreSize kSmall = {"small", 100000, 3};
constexpr int kMessagesPerChat = 1000;

// The conversation table of friend `number`, named as WeChat names it (the
// 32 hexadecimal digits of a digest).
std::string ChatTable(long long number) {
  char name[40];
  std::snprintf(name, sizeof(name), "Chat_%032lld", number);
  return name;
}

// One statement per table, as short as it can be written: the shell takes
// the query as one argument, which Linux caps at 128 KiB.
std::string MessageQuery(long long messages) {
  std::string sql;
  for (long long chat = 1; chat <= messages / kMessagesPerChat; ++chat) {
    sql += "SELECT MesLocalID,MesSvrID,CreateTime,Message,Status,Type,Des FROM " + ChatTable(chat) +
           " ORDER BY 3,1;";
  }
  return sql;
}

bool Generate(const std::string& work, long long messages) {
  kx::samples::IosSampleOptions options;
  kx::samples::IosWechatStores stores;
  std::vector<kx::samples::IosWechatFile> files;
  if (!kx::samples::WriteIosWechat(work, options, &stores, &files)) return false;
  std::string sql = "BEGIN;";
  for (long long chat = 1; chat <= messages / kMessagesPerChat; ++chat) {
    const std::string table = ChatTable(chat);
    sql += kx::samples::IosWechatChatTableSql(kx::samples::kIosWechatNewestSchema, table) +
           kx::bench::Numbers(kMessagesPerChat) + "INSERT INTO " + table +
           " (MesSvrID, CreateTime, Message, Status, Type, Des) SELECT 7000000000 + i, "
           "1700000000 + i * 31, 'Message ' || i || ' of the conversation, a line of text of a "
           "usual length', 2, 1, i % 2 FROM k;";
  }
  return kx::bench::WriteEmptyManifest(kx::JoinPath(work, "Manifest.db")) &&
         kx::bench::ExecSql(stores.messages, sql + "COMMIT;");
}

Json::Value Request(const std::string& work) {
  Json::Value request;
  Json::Value& files = request["primary_file_object"];
  files["msg_file_path"] = kx::JoinPath(work, "MM.sqlite");
  files["contact_file_path"] = kx::JoinPath(work, "WCDB_Contact.sqlite");
  files["session_file_path"] = kx::JoinPath(work, "session.db");
  files["user_file_path"] = kx::JoinPath(work, "mmsetting.archive");
  files["manifest_file_path"] = kx::JoinPath(work, "Manifest.db");
  request["other_info"]["has_sub_dir"] = "1";
  request["addtional_param"] = work;
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  // The query names every table: it is made for the size chosen, at the
  // scale the store is generated at.
  kx::bench::StoreBench bench = {"iOS WeChat", 19, "messages", Generate, Request, "MM.sqlite", ""};
  int result = 0;
  if (!kx::bench::ValidSizeWord(argc, argv)) return 2;
  kx::bench::KeptSizeLabel() = kSmall.label;  // whose documents KX_BENCH_DOCUMENTS keeps
  for (const kx::bench::StoreSize* size : {&kSmall, &kLarge}) {
    if (!kx::bench::SizeChosen(argc, argv, size->label)) continue;
    bench.query = MessageQuery(kx::bench::ScaledStoreRecords(*size));
    result |= kx::bench::RunStoreBench(bench, *size);
  }
  return result == 0 ? 0 : 1;
}
