// Packages a generated call log (1,000,000 calls) and a generated telephony
// database (1,000,000 SMS, 50,000 MMS) through the library's entry points
// and compares each wall time with the sqlite3 shell printing the package's
// main query as JSON from the same file.
//
// Usage: android_messages_bench [calls|sms|all] [scale]
// Each data type runs in its own child process, so each peak memory is its
// own. The scale multiplies the generators' units (100 calls; 100 SMS and 5
// MMS); 10000 gives the sizes above.
#include <json/json.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_util.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "samples/android_call_log.h"
#include "samples/android_telephony.h"
#include "sdk/library.h"

namespace {

constexpr int kDefaultScale = 10000;

// The package texts are only counted: the host's side is not measured.
std::atomic<long long> g_package_bytes{0};
std::string g_package_text;
bool g_keep_text = false;

int CountBytes(int /*kind*/, const char* text, int length) {
  g_package_bytes += length;
  if (g_keep_text) g_package_text.assign(text, static_cast<size_t>(length));
  return 0;
}

struct DataTypeBench {
  const char* label;
  int data_type;
  const char* primary_key;
  const char* file_name;
  bool (*generate)(const std::string&, const kx::samples::AndroidSampleOptions&);
  const char* main_query;  // the query the packager spends most rows on
  double target_ratio;
};

const DataTypeBench kCalls = {
    "calls",
    3,
    "callhistory_file_path",
    "calllog.db",
    kx::samples::WriteAndroidCallLog,
    "select number, strftime(\"%m - %d - %Y %H:%M : %S\",substr(date, 1, 10),'unixepoch',"
    "'localtime') as calling_date, duration,type,name, countryiso from calls",
    2.0};

const DataTypeBench kSms = {
    "sms",
    4,
    "sms_file_path",
    "mmssms.db",
    kx::samples::WriteAndroidTelephony,
    "select address,strftime(\"%m - %d - %Y %H:%M : %S\",substr(date, 1, 10),'unixepoch',"
    "'localtime'),type,body from sms",
    3.0};

std::string FilterRequest(const DataTypeBench& bench, const std::string& temp_folder,
                          const std::string& source) {
  Json::Value request;
  request["package_type"] = bench.data_type;
  request["temp_folder"] = temp_folder;
  request["primary_file_object"][bench.primary_key] = source;
  return kx::WriteJson(request);
}

// How long the library's tree writer (WriteJson) takes for the same
// document, parsed back from the package text, and whether it gives the
// same bytes.
struct TreeWriterCheck {
  double seconds = -1.0;
  bool identical = false;
};

TreeWriterCheck CheckAgainstTreeWriter(const std::string& package_text) {
  TreeWriterCheck check;
  Json::Value document;
  std::string error;
  if (!kx::ParseJson(package_text.c_str(), &document, &error)) return check;
  const double start = kx::bench::NowSeconds();
  const std::string again = kx::WriteJson(document);
  check.seconds = kx::bench::NowSeconds() - start;
  check.identical = again == package_text;
  return check;
}

int RunBench(const DataTypeBench& bench, int scale) {
  const std::string work = kx::bench::MakeTempFolder("kxbench_");
  if (work.empty()) return 2;
  const std::string phone = kx::JoinPath(work, "phone");
  const std::string temp = kx::JoinPath(work, "temp");
  std::filesystem::create_directories(phone);
  std::filesystem::create_directories(temp);
  const std::string source = kx::JoinPath(phone, bench.file_name);

  kx::samples::AndroidSampleOptions options;
  options.scale = scale;
  double start = kx::bench::NowSeconds();
  if (!bench.generate(source, options)) {
    std::fprintf(stderr, "%s: cannot generate %s\n", bench.label, source.c_str());
    return 3;
  }
  const double generate_seconds = kx::bench::NowSeconds() - start;

  kx::InitializeLibrary(work.c_str(), KX_BENCH_CONFIG_DIR);
  const std::string request = FilterRequest(bench, temp, source);
  start = kx::bench::NowSeconds();
  const int filtered = kx::FilterDataType(request.c_str(), static_cast<int>(request.size()));
  const double stage_seconds = kx::bench::NowSeconds() - start;

  start = kx::bench::NowSeconds();
  const int packaged = kx::PackageDataType(CountBytes, bench.data_type);
  const double package_seconds = kx::bench::NowSeconds() - start;
  const double peak_mb = kx::bench::PeakResidentMb();
  const long long package_bytes = g_package_bytes;
  if (filtered != 0 || packaged != 0) {
    std::fprintf(stderr, "%s: filter %d, package %d\n", bench.label, filtered, packaged);
    return 4;
  }

  const std::string staged = kx::JoinPath(temp, bench.file_name);
  const double sqlite_seconds =
      kx::bench::TimeShellCommand("sqlite3 -json " + kx::bench::ShellQuote(staged) + " " +
                                  kx::bench::ShellQuote(bench.main_query) + " > /dev/null");
  // A second run keeps the text for the comparison with the tree writer;
  // kept out of the first so that the copy does not count in the peak.
  g_keep_text = true;
  kx::FilterDataType(request.c_str(), static_cast<int>(request.size()));
  kx::PackageDataType(CountBytes, bench.data_type);
  const TreeWriterCheck tree_writer = CheckAgainstTreeWriter(g_package_text);

  std::printf(
      "%-5s generate %.2f s | stage %.2f s | package %.2f s, %lld bytes, peak RSS %.0f MB | "
      "sqlite3 -json %.2f s | ratio %.2f (target <= %.1f) | WriteJson of the same document "
      "%.2f s, same bytes: %s\n",
      bench.label, generate_seconds, stage_seconds, package_seconds, package_bytes, peak_mb,
      sqlite_seconds, sqlite_seconds > 0 ? package_seconds / sqlite_seconds : -1.0,
      bench.target_ratio, tree_writer.seconds, tree_writer.identical ? "yes" : "NO");
  std::error_code ignored;
  std::filesystem::remove_all(work, ignored);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string which = argc > 1 ? argv[1] : "all";
  const int scale = argc > 2 ? std::atoi(argv[2]) : kDefaultScale;
  if (scale < 1 || (which != "all" && which != "calls" && which != "sms")) {
    std::fprintf(stderr, "usage: %s [calls|sms|all] [scale]\n", argv[0]);
    return 2;
  }
  std::printf("scale %d: %d calls; %d SMS and %d MMS\n", scale, scale * kx::samples::kCallsPerScale,
              scale * kx::samples::kSmsPerScale, scale * kx::samples::kMmsPerScale);
  int result = 0;
  if (which != "sms") result |= kx::bench::RunInChild([scale] { return RunBench(kCalls, scale); });
  if (which != "calls") result |= kx::bench::RunInChild([scale] { return RunBench(kSms, scale); });
  return result == 0 ? 0 : 1;
}
