// Packages a generated call log (1,000,000 calls), a generated telephony
// database (1,000,000 SMS, 50,000 MMS) and a generated contacts database
// (50,000 people) through the library's entry points and compares each wall
// time with the sqlite3 shell printing the package's main query as JSON from
// the same file (the best of five runs each). It prints the document's
// size, the peak memory of the package step and the peak per document byte.
//
// Usage: android_messages_bench [calls|sms|contacts|large|all] [scale]
// Each data type is generated in one child process and packaged in another,
// so each peak memory is the package step's own. The scale multiplies the
// generators. units (100 calls; 100 SMS and 5 MMS; contacts take half of
// it, ten people each); 10000 gives the sizes above, and is the default
// (a tenth with KX_BENCH_SCALE=small, as `make bench` runs it). "large" packages a call
// log and a telephony database whose one row holds a 50 MB text and prints
// the peak per byte of that value.
#include <json/json.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_util.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "common/sqlite_wrapper.h"
#include "samples/android_call_log.h"
#include "samples/android_contacts.h"
#include "samples/android_telephony.h"
#include "sdk/library.h"

namespace {

constexpr int kDefaultScale = 10000;
// Bytes a store takes per record on the disk: the database, its staged copy
// and the document.
constexpr double kBytesPerRecord = 1000;
constexpr int kRuns = 5;
constexpr double kMb = 1024.0 * 1024.0;
// The long text of the "large" case: 50 MB.
constexpr long long kLargeValueBytes = 50LL * 1024 * 1024;

bool WriteContacts(const std::string& path, const kx::samples::AndroidSampleOptions& options) {
  kx::samples::AndroidSampleOptions fewer = options;
  fewer.scale = options.scale / 2 > 0 ? options.scale / 2 : 1;
  return kx::samples::WriteAndroidContacts(path, fewer);
}

// One call whose cached name is a 50 MB text, between two ordinary ones.
bool WriteLargeCallLog(const std::string& path, const kx::samples::AndroidSampleOptions&) {
  kx::SQLite3Wrapper db(path);
  if (db.Open(kx::OpenMode::kReadWriteCreate) != SQLITE_OK) return false;
  const std::string size = std::to_string(kLargeValueBytes / 2);
  return db.Exec(std::string(kx::samples::AndroidCallsTableSql(2)) +
                 ";INSERT INTO calls (number,date,duration,type,name) VALUES "
                 "('+1 555 0100',1615713993123,65,1,'Mom'),"
                 "('+1 555 0101',1615714000000,5,2,replace(hex(zeroblob(" +
                 size + ")),'0','x')),('+1 555 0102',1615714100000,7,3,'Ann');") == SQLITE_OK;
}

// One SMS whose body is a 50 MB text, between two ordinary ones.
bool WriteLargeTelephony(const std::string& path, const kx::samples::AndroidSampleOptions&) {
  kx::SQLite3Wrapper db(path);
  if (db.Open(kx::OpenMode::kReadWriteCreate) != SQLITE_OK) return false;
  const std::string size = std::to_string(kLargeValueBytes / 2);
  return db.Exec(
             "CREATE TABLE sms (_id INTEGER PRIMARY KEY,thread_id INTEGER,address TEXT,"
             "date INTEGER,type INTEGER,body TEXT);"
             "INSERT INTO sms (thread_id,address,date,type,body) VALUES "
             "(1,'+1 555 0100',1615713993123,1,'Hi'),"
             "(1,'+1 555 0100',1615714000000,2,replace(hex(zeroblob(" +
             size + ")),'0','x')),(1,'+1 555 0100',1615714100000,1,'Bye');") == SQLITE_OK;
}

struct DataTypeBench {
  const char* label;
  const char* row_name;  // the data type in the table
  int data_type;
  const char* primary_key;
  const char* file_name;
  bool (*generate)(const std::string&, const kx::samples::AndroidSampleOptions&);
  const char* main_query;  // the query the packager spends most rows on
  double target_ratio;     // 0: none
  double target_peak;      // peak per document byte (or per large value byte)
  long long large_value;   // bytes of the one large value, 0 for none
};

constexpr char kCallQuery[] =
    "select number, strftime(\"%m - %d - %Y %H:%M : %S\",substr(date, 1, 10),'unixepoch',"
    "'localtime') as calling_date, duration,type,name, countryiso from calls";
constexpr char kSmsQuery[] =
    "select address,strftime(\"%m - %d - %Y %H:%M : %S\",substr(date, 1, 10),'unixepoch',"
    "'localtime'),type,body from sms";

const DataTypeBench kCalls = {"calls",
                              "Android call history",
                              3,
                              "callhistory_file_path",
                              "calllog.db",
                              kx::samples::WriteAndroidCallLog,
                              kCallQuery,
                              1.2,
                              1.3,
                              0};
const DataTypeBench kSms = {"sms",       "Android SMS",
                            4,           "sms_file_path",
                            "mmssms.db", kx::samples::WriteAndroidTelephony,
                            kSmsQuery,   1.5,
                            1.6,         0};
const DataTypeBench kContacts = {
    "contacts",
    "Android contacts",
    2,
    "contact_file_path",
    "contacts2.db",
    WriteContacts,
    "select rowid,raw_contact_id,mimetype_id,data1,data2,data3,data4,data5,data6,data7,data8,"
    "data9,data10,data14 from data",
    0.0,
    1.3,
    0};
const DataTypeBench kLargeCall = {"large calls",
                                  "Android call history, a 50 MB value",
                                  3,
                                  "callhistory_file_path",
                                  "calllog.db",
                                  WriteLargeCallLog,
                                  kCallQuery,
                                  0.0,
                                  3.0,
                                  kLargeValueBytes};
const DataTypeBench kLargeSms = {"large sms", "Android SMS, a 50 MB value",
                                 4,           "sms_file_path",
                                 "mmssms.db", WriteLargeTelephony,
                                 kSmsQuery,   0.0,
                                 3.0,         kLargeValueBytes};

std::string FilterRequest(const DataTypeBench& bench, const std::string& temp_folder,
                          const std::string& source) {
  Json::Value request;
  request["package_type"] = bench.data_type;
  request["temp_folder"] = temp_folder;
  request["primary_file_object"][bench.primary_key] = source;
  return kx::WriteJson(request);
}

// The records a store of `scale` holds for `bench`.
long long Records(const DataTypeBench& bench, int scale) {
  if (bench.large_value > 0) return 3;
  if (bench.data_type == 3) return 1LL * scale * kx::samples::kCallsPerScale;
  if (bench.data_type == 4) {
    return 1LL * scale * (kx::samples::kSmsPerScale + kx::samples::kMmsPerScale);
  }
  return (scale / 2 > 0 ? scale / 2 : 1) * 10LL;
}

// Filters and packages the generated file in a child process.
int MeasurePackage(const DataTypeBench& bench, const std::string& work, int scale,
                   double generate_seconds) {
  const std::string temp = kx::JoinPath(work, "temp");
  const std::string source = kx::JoinPath(kx::JoinPath(work, "phone"), bench.file_name);
  kx::bench::PackageBench measure;
  measure.data_type = bench.row_name;
  measure.scale = "scale " + std::to_string(scale);
  measure.records = Records(bench, scale);
  measure.work = work;
  measure.request = FilterRequest(bench, temp, source);
  measure.package_type = bench.data_type;
  measure.runs = kRuns;
  measure.sqlite_stores = {kx::JoinPath(temp, bench.file_name)};
  measure.sqlite_query = bench.main_query;
  measure.output_folder = temp;
  return kx::bench::MeasurePackage(measure, [&](const kx::bench::PackageFigures& figures) {
    const double document_mb = static_cast<double>(figures.document_bytes) / kMb;
    const double per =
        bench.large_value > 0 ? static_cast<double>(bench.large_value) / kMb : document_mb;
    char ratio_target[32] = "no target";
    if (bench.target_ratio > 0) {
      std::snprintf(ratio_target, sizeof(ratio_target), "target <= %.1f", bench.target_ratio);
    }
    std::printf(
        "%-11s generate %.2f s | package %.2f s | sqlite3 -json %.2f s | ratio %.2f (%s) | "
        "document %.1f MB | peak RSS %.0f MB (%.0f MB before the package step) | peak/%s %.2f "
        "(target <= %.1f)\n",
        bench.label, generate_seconds, figures.package_seconds, figures.sqlite_seconds,
        figures.package_seconds / figures.sqlite_seconds, ratio_target, document_mb,
        figures.peak_mb, figures.before_mb, bench.large_value > 0 ? "value" : "document",
        per > 0 ? figures.peak_mb / per : -1.0, bench.target_peak);
  });
}

int RunBench(const DataTypeBench& bench, int scale) {
  const double bytes = bench.large_value > 0 ? 4.0 * static_cast<double>(bench.large_value)
                                             : Records(bench, scale) * kBytesPerRecord;
  if (!kx::bench::CheckCanRun("android_messages_bench", bytes)) return 1;
  const std::string work = kx::bench::MakeTempFolder("kxbench_");
  if (work.empty()) return 2;
  std::filesystem::create_directories(kx::JoinPath(work, "phone"));
  std::filesystem::create_directories(kx::JoinPath(work, "temp"));
  const std::string source = kx::JoinPath(kx::JoinPath(work, "phone"), bench.file_name);

  double start = kx::bench::NowSeconds();
  const int generated = kx::bench::RunInChild([&bench, &source, scale] {
    kx::samples::AndroidSampleOptions options;
    options.scale = scale;
    return bench.generate(source, options) ? 0 : 3;
  });
  const double generate_seconds = kx::bench::NowSeconds() - start;
  int result = generated;
  if (generated != 0) {
    std::fprintf(stderr, "%s: cannot generate %s\n", bench.label, source.c_str());
  } else {
    result = MeasurePackage(bench, work, scale, generate_seconds);
  }
  std::error_code ignored;
  std::filesystem::remove_all(work, ignored);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string which = argc > 1 ? argv[1] : "all";
  const int scale =
      argc > 2 ? std::atoi(argv[2]) : static_cast<int>(kx::bench::Scaled(kDefaultScale));
  if (scale < 1 || (which != "all" && which != "calls" && which != "sms" && which != "contacts" &&
                    which != "large")) {
    std::fprintf(stderr,
                 "usage: %s [calls|sms|contacts|large|all] [scale: units of 100 calls, of 100 "
                 "SMS and 5 MMS, of 5 people]\n",
                 argv[0]);
    return 2;
  }
  if (!kx::bench::CheckCanRun(argv[0], 0)) return 1;
  std::printf("scale %d: %d calls; %d SMS and %d MMS; %d people\n", scale,
              scale * kx::samples::kCallsPerScale, scale * kx::samples::kSmsPerScale,
              scale * kx::samples::kMmsPerScale, (scale / 2 > 0 ? scale / 2 : 1) * 10);
  int result = 0;
  for (const DataTypeBench* bench : {&kCalls, &kSms, &kContacts, &kLargeCall, &kLargeSms}) {
    const bool large = bench->large_value > 0;
    const bool chosen = which == "all" || (which == "large" ? large : which == bench->label);
    if (chosen) result |= RunBench(*bench, scale);
  }
  return result == 0 ? 0 : 1;
}
