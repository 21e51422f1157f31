// Packages two generated ChatStorage.sqlite stores of WhatsApp on iOS
// through the library's entry points: 2,000 chats of 500 messages each,
// and one chat of 1,000,000 messages. Prints, for each, the wall time of the
// package step, its peak memory, and the ratio to the sqlite3 shell printing
// the message query over all chats as JSON from the same file. Each store is packaged in its own
// child process, so each peak is its own: side by side they show whether memory grows with a chat's
// length.
//
// Each chat's batch file costs the package step one file creation, whose
// price only the file system decides: creating as many empty files alone
// is timed and left out of the package time, as whatsapp_bench does.
//
// Usage: ios_whatsapp_bench [chats|one|all] [messages]
// `messages` is the size of each store (1,000,000 by default, a tenth with
// KX_BENCH_SCALE=small as `make bench` runs it): spread over 2,000 chats,
// or all in one.
// With KX_BENCH_STORE set to a folder the generated stores are kept there
// and reused by the next run.
#include <json/json.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "samples/ios_whatsapp.h"
#include "sdk/library.h"

namespace {

constexpr double kTargetRatio = 3.0;
constexpr int kIosWhatsAppDataType = 14;

constexpr long long kDefaultMessages = 1000000;
constexpr int kChatsOfManyChats = 2000;
// Bytes a store takes per message on the disk: the store, its staged copy
// and the batch files.
constexpr double kBytesPerMessage = 1000;

struct StoreShape {
  const char* label;
  int chats;
  long long messages_per_chat;
};

// The store of `shape`: kept in KX_BENCH_STORE when set, else generated
// into `work`.
std::string Store(const StoreShape& shape, const std::string& work, double* generate_seconds) {
  const char* kept = std::getenv("KX_BENCH_STORE");
  const std::string folder = kept != nullptr ? kept : work;
  std::filesystem::create_directories(folder);
  const std::string path =
      kx::JoinPath(folder, "ChatStorage_" + std::to_string(shape.chats) + "x" +
                               std::to_string(shape.messages_per_chat) + ".sqlite");
  *generate_seconds = 0;
  if (kept != nullptr && std::filesystem::exists(path)) return path;
  const double start = kx::bench::NowSeconds();
  if (!kx::samples::WriteIosWhatsAppBulk(path, shape.chats, shape.messages_per_chat)) return "";
  *generate_seconds = kx::bench::NowSeconds() - start;
  return path;
}

int RunBench(const StoreShape& shape, const std::string& work) {
  const std::string temp = kx::JoinPath(work, "temp");
  const std::string backup = kx::JoinPath(work, "backup");
  std::filesystem::create_directories(temp);
  std::filesystem::create_directories(backup);
  double generate_seconds = 0;
  const std::string source = Store(shape, work, &generate_seconds);
  if (source.empty()) {
    std::fprintf(stderr, "%s: cannot generate the store\n", shape.label);
    return 3;
  }
  const std::string contacts = kx::JoinPath(work, "ContactsV2.sqlite");
  const std::string owner = kx::JoinPath(work, "owner.plist");
  if (!kx::samples::WriteIosWhatsAppContacts(contacts) ||
      !kx::WriteNewFile(owner,
                        kx::samples::IosWhatsAppOwnerPlist(kx::samples::kIosWhatsAppOwnerJid))
           .ok()) {
    return 3;
  }
  Json::Value request;
  request["package_type"] = kIosWhatsAppDataType;
  request["temp_folder"] = temp;
  request["primary_file_object"]["msg_file_path"] = source;
  request["primary_file_object"]["name_file_path"] = contacts;
  request["primary_file_object"]["owner_plist_file_path"] = owner;
  request["other_info"]["has_sub_dir"] = "1";
  request["addtional_param"] = backup;
  kx::bench::PackageBench bench;
  bench.data_type = "iOS WhatsApp";
  bench.scale = shape.label;
  bench.records = shape.chats * shape.messages_per_chat;
  bench.work = work;
  bench.request = kx::WriteJson(request);
  bench.package_type = kIosWhatsAppDataType;
  bench.sqlite_stores = {kx::JoinPath(temp, std::filesystem::path(source).filename().string())};
  bench.sqlite_query = kx::samples::IosWhatsAppMessageQuery();
  bench.output_folder = temp;
  bench.document_prefixes = {"messages_"};
  bench.time_side_files = true;
  bench.time_document_files = true;
  return kx::bench::MeasurePackage(bench, [&](const kx::bench::PackageFigures& f) {
    kx::bench::PrintChatShapeFigures(shape.label, shape.chats, shape.messages_per_chat,
                                     generate_seconds, f, kTargetRatio);
  });
}

}  // namespace

int main(int argc, char** argv) {
  const std::string which = argc > 1 ? argv[1] : "all";
  const long long messages =
      argc > 2 ? std::atoll(argv[2]) : kx::bench::Scaled(kDefaultMessages, kChatsOfManyChats);
  if (messages < kChatsOfManyChats || (which != "all" && which != "chats" && which != "one")) {
    std::fprintf(stderr, "usage: %s [chats|one|all] [messages in each store, >= %d]\n", argv[0],
                 kChatsOfManyChats);
    return 2;
  }
  std::vector<StoreShape> shapes;
  if (which != "one") shapes.push_back({"chats", kChatsOfManyChats, messages / kChatsOfManyChats});
  if (which != "chats") shapes.push_back({"one", 1, messages});
  if (!kx::bench::CheckCanRun(argv[0], shapes.size() * messages * kBytesPerMessage)) return 1;
  return kx::bench::RunEachInFreshFolder(shapes, "kxbench_ios_whatsapp_", RunBench);
}
