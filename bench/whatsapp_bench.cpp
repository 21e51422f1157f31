// Packages two generated WhatsApp message stores of the newer layout through
// the library's entry points: 2,000 chats of 500 messages each, and one
// chat of 1,000,000 messages. Prints, for each, the wall time of the package
// step, its peak memory, and the ratio to the sqlite3 shell printing the
// message query over all chats as JSON from the same file.
//
// Usage: whatsapp_bench [chats|one|all] [messages] [typical|every-kind|text]
// `messages` is the size of each store (1,000,000 by default, a tenth with
// KX_BENCH_SCALE=small as `make bench` runs it): spread over 2,000 chats,
// or all in one.
// The typical mix (the default) has the proportions of a real phone: one
// message in seven has a thumbnail, each a picture of its own, and each
// becomes a file of its own in the temp folder. The every-kind mix is the
// test data's cycle, denser in media, cards and replies; text has no media.
//
// Every thumbnail costs the package step one file creation, whose price
// only the file system decides, and so does every chat, whose batch file
// the layout mandates. So the bench also times writing the same number of
// thumbnail files of the same sizes and creating as many empty files as
// there are batch files, and reports the package step without it. Dirty
// pages are flushed (untimed) before each timed step, so that none pays for
// the write-back of another.
//
// KX_BENCH_STORE names a folder where each store is generated once and kept,
// for runs that compare builds on the same bytes.
//
// Each store is packaged in its own child process, so each peak memory is
// its own; the two peaks side by side show whether memory grows with the
// length of a chat.
#include <json/json.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "samples/android_whatsapp.h"
#include "sdk/library.h"

namespace {

constexpr double kTargetRatio = 3.0;
constexpr int kWhatsAppDataType = 0;
constexpr long long kDefaultMessages = 1000000;
constexpr int kChatsOfManyChats = 2000;
// Bytes a store takes per message on the disk: the store, its staged copy,
// the batch files and the thumbnails.
constexpr double kBytesPerMessage = 1500;

struct StoreShape {
  const char* label;
  int chats;
  long long messages_per_chat;
  kx::samples::WhatsAppMessageMix mix;
};

bool Generate(const StoreShape& shape, const std::string& path) {
  kx::samples::AndroidSampleOptions options;
  options.schema_version = kx::samples::kWhatsAppNewerLayout;
  kx::samples::WhatsAppStoreShape store_shape;
  store_shape.chats = shape.chats;
  store_shape.messages_per_chat = shape.messages_per_chat;
  store_shape.mix = shape.mix;
  return kx::samples::WriteWhatsAppMessageStore(path, options, store_shape);
}

// Puts the store of `shape` at `source`: a copy of the one kept in
// KX_BENCH_STORE when set (generated there once), else generated in place.
bool PlaceStore(const StoreShape& shape, const std::string& source, double* generate_seconds) {
  const char* kept = std::getenv("KX_BENCH_STORE");
  std::string path = source;
  if (kept != nullptr) {
    std::filesystem::create_directories(kept);
    path = kx::JoinPath(kept, "msgstore_" + std::to_string(shape.chats) + "x" +
                                  std::to_string(shape.messages_per_chat) + "_" +
                                  std::to_string(static_cast<int>(shape.mix)) + ".db");
  }
  *generate_seconds = 0;
  std::error_code error;
  if (kept == nullptr || !std::filesystem::exists(path, error)) {
    const double start = kx::bench::NowSeconds();
    if (!Generate(shape, path)) return false;
    *generate_seconds = kx::bench::NowSeconds() - start;
  }
  return path == source || std::filesystem::copy_file(path, source, error);
}

// `work` is a fresh folder; the caller removes it.
int RunBench(const StoreShape& shape, const std::string& work) {
  const std::string phone = kx::JoinPath(work, "phone");
  const std::string temp = kx::JoinPath(work, "temp");
  std::filesystem::create_directories(phone);
  std::filesystem::create_directories(temp);
  const std::string source = kx::JoinPath(phone, "msgstore.db");

  double generate_seconds = 0;
  if (!PlaceStore(shape, source, &generate_seconds)) {
    std::fprintf(stderr, "%s: cannot generate %s\n", shape.label, source.c_str());
    return 3;
  }

  Json::Value request;
  request["package_type"] = kWhatsAppDataType;
  request["temp_folder"] = temp;
  request["primary_file_object"]["msg_file_path"] = source;
  kx::bench::PackageBench bench;
  bench.data_type = "Android WhatsApp";
  bench.scale = shape.label;
  bench.records = shape.chats * shape.messages_per_chat;
  bench.work = work;
  bench.request = kx::WriteJson(request);
  bench.package_type = kWhatsAppDataType;
  bench.sqlite_stores = {kx::JoinPath(temp, "msgstore.db")};
  bench.sqlite_query = kx::samples::WhatsAppNewerLayoutMessageQuery();
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
  const std::string mix_name = argc > 3 ? argv[3] : "typical";
  const std::map<std::string, kx::samples::WhatsAppMessageMix> mixes = {
      {"typical", kx::samples::WhatsAppMessageMix::kTypical},
      {"every-kind", kx::samples::WhatsAppMessageMix::kEveryKind},
      {"text", kx::samples::WhatsAppMessageMix::kText}};
  if (messages < kChatsOfManyChats || mixes.count(mix_name) == 0 ||
      (which != "all" && which != "chats" && which != "one")) {
    std::fprintf(stderr,
                 "usage: %s [chats|one|all] [messages in each store, >= %d] "
                 "[typical|every-kind|text]\n",
                 argv[0], kChatsOfManyChats);
    return 2;
  }
  const kx::samples::WhatsAppMessageMix mix = mixes.at(mix_name);
  std::vector<StoreShape> shapes;
  if (which != "one") {
    shapes.push_back({"chats", kChatsOfManyChats, messages / kChatsOfManyChats, mix});
  }
  if (which != "chats") shapes.push_back({"one", 1, messages, mix});
  if (!kx::bench::CheckCanRun(argv[0], shapes.size() * messages * kBytesPerMessage)) return 1;
  std::printf("message mix: %s\n", mix_name.c_str());
  return kx::bench::RunEachInFreshFolder(shapes, "kxbench_whatsapp_", RunBench);
}
