// Packages two generated iOS address books (AddressBook.sqlitedb of the
// newest release with AddressBookImages.sqlitedb: phones, e-mail and postal
// addresses with their entries, dates, accounts, pictures, and the traces of
// deleted people) through the library: 100,000 people, and 10,000.
//
// The reference is the sqlite3 shell printing every person with each of its
// multi-values (one row per value), the rows the contact files are made of.
// The pictures and thumbnails are side files: writing the same files alone
// is timed apart and left out of the ratio. The processor time of both
// sides is printed too, steadier than wall time on a loaded machine.
//
// Usage: ios_contacts_bench [large|small|all]
// KX_BENCH_SCALE=small (as `make bench` runs it) makes both a tenth.
// Each book is generated in one child process and packaged in another, so
// each peak memory is the package step's own.
#include <json/json.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_util.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "samples/ios_address_book.h"

namespace {

constexpr int kContactsDataType = 11;
constexpr double kMb = 1024.0 * 1024.0;

struct BookSize {
  const char* label;
  long long people;
  int runs;  // package runs; the best counts
};

// Bytes a book takes per person on the disk: the two stores, their staged
// copies, the contact files and the pictures.
constexpr double kBytesPerPerson = 6000;

constexpr char kPersonQuery[] =
    "SELECT ABPerson.ROWID, First, Last, Middle, Organization, Note, strftime(\"%m-%d-%Y "
    "%H:%M:%S\",Birthday + 0978307200,'unixepoch','localtime') as Birthday, ABPerson.guid, "
    "FirstPhonetic, MiddlePhonetic, LastPhonetic, Department, JobTitle, Nickname, Prefix, Suffix, "
    "AlternateBirthday, PreviousFamilyName, ABMultiValue.property, ABMultiValue.label, "
    "ABMultiValue.value FROM ABPerson LEFT JOIN ABMultiValue ON ABMultiValue.record_id = "
    "ABPerson.ROWID";

std::string Request(const std::string& work) {
  Json::Value request;
  request["package_type"] = kContactsDataType;
  request["temp_folder"] = kx::JoinPath(work, "temp");
  request["primary_file_object"]["contact_file_path"] = kx::JoinPath(work, "AddressBook.sqlitedb");
  request["primary_file_object"]["contact_image_file_path"] =
      kx::JoinPath(work, "AddressBookImages.sqlitedb");
  return kx::WriteJson(request);
}

// Filters and packages the generated book in a child process.
int Measure(const BookSize& size, const std::string& work, double generate_seconds) {
  const std::string temp = kx::JoinPath(work, "temp");
  kx::bench::PackageBench bench;
  bench.data_type = "iOS contacts";
  bench.scale = size.label;
  bench.records = size.people;
  bench.work = work;
  bench.request = Request(work);
  bench.package_type = kContactsDataType;
  bench.runs = size.runs;
  bench.sqlite_stores = {kx::JoinPath(temp, "AddressBook.sqlitedb"),
                         kx::JoinPath(work, "AddressBook.sqlitedb")};
  bench.sqlite_query = kPersonQuery;
  bench.output_folder = temp;
  bench.document_prefixes = {"KxDataPackage_Contact_"};
  bench.time_side_files = true;
  return kx::bench::MeasurePackage(bench, [&](const kx::bench::PackageFigures& f) {
    const double own = f.package_seconds - f.side_seconds;
    std::printf(
        "iOS contacts %-5s %7lld people | generate %.2f s | package %.2f s, of which %d "
        "pictures (%.1f MB) written alone %.2f s | sqlite3 -json %.2f s | ratio without the "
        "pictures %.2f | %d contact files, %.1f MB | peak RSS %.0f MB (%.0f MB before the "
        "package step)\n"
        "       processor time: package user %.2f s + kernel %.2f s (the pictures alone: user "
        "%.2f s + kernel %.2f s), sqlite3 -json user %.2f s + kernel %.2f s, user-time ratio "
        "without the pictures %.2f\n",
        size.label, size.people, generate_seconds, f.package_seconds, f.side_files,
        static_cast<double>(f.side_bytes) / kMb, f.side_seconds, f.sqlite_seconds,
        own / f.sqlite_seconds, f.document_files, static_cast<double>(f.document_bytes) / kMb,
        f.peak_mb, f.before_mb, f.package_cpu.user, f.package_cpu.system, f.side_cpu.user,
        f.side_cpu.system, f.sqlite_cpu.user, f.sqlite_cpu.system, kx::bench::UserTimeRatio(f));
  });
}

int RunBench(const BookSize& size) {
  if (!kx::bench::CheckCanRun("ios_contacts_bench", size.people * kBytesPerPerson)) return 1;
  const std::string work = kx::bench::MakeTempFolder("kxbench_contacts_");
  if (work.empty()) return 2;
  std::filesystem::create_directories(kx::JoinPath(work, "temp"));
  const double start = kx::bench::NowSeconds();
  const int generated = kx::bench::RunInChild([&size, &work] {
    kx::samples::IosSampleOptions options;
    options.scale = static_cast<int>(size.people / kx::samples::kIosPeoplePerScale);
    return kx::samples::WriteIosAddressBook(kx::JoinPath(work, "AddressBook.sqlitedb"),
                                            kx::JoinPath(work, "AddressBookImages.sqlitedb"),
                                            options)
               ? 0
               : 3;
  });
  const double generate_seconds = kx::bench::NowSeconds() - start;
  int result = generated;
  if (generated != 0) {
    std::fprintf(stderr, "%s: cannot generate the address book in %s\n", size.label, work.c_str());
  } else {
    result = Measure(size, work, generate_seconds);
  }
  kx::bench::RemoveFolder(work);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const BookSize large = {"large", kx::bench::Scaled(100000, 24), 2};
  const BookSize small = {"small", kx::bench::Scaled(10000, 24), 3};
  if (!kx::bench::CheckCanRun(argv[0], 0)) return 1;
  return kx::bench::RunChosenSizes<BookSize>(argc, argv, {&small, &large}, RunBench);
}
