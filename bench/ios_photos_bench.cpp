// Packages two generated photo libraries (Photos.sqlite of the newest
// generation) through the library's entry points: 200,000 assets in 500
// user albums, and 20,000 assets in 50. Prints, for each, the wall time of
// the package step, its peak memory, and the ratio to the sqlite3 shell
// printing the asset query as JSON from the same file (the best of three
// runs each).
//
// Photos go out in batch files of 10000: when the package step holds one
// batch at a time, both libraries peak alike apart from the album map.
//
// Usage: ios_photos_bench [large|small|all]
// Each library is generated in one child process and packaged in another,
// so each peak memory is the package step's own.
#include <json/json.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_util.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "samples/ios_photos.h"
#include "sdk/library.h"

namespace {

constexpr double kTargetRatio = 3.0;
constexpr int kPhotosDataType = 16;
constexpr int kRuns = 3;
constexpr double kMb = 1024.0 * 1024.0;

std::atomic<long long> g_package_bytes{0};

int CountBytes(int /*kind*/, const char* text, int length) {
  g_package_bytes += length;
  (void)text;
  return 0;
}

struct LibrarySize {
  const char* label;
  int albums;
  int assets;
};

constexpr LibrarySize kLarge = {"large", 500, 200000};
constexpr LibrarySize kSmall = {"small", 50, 20000};

// The packager's asset query on the newest generation.
constexpr char kAssetQuery[] =
    "SELECT ZASSET.Z_PK as id,ZDIRECTORY as path,ZFILENAME as name,ZORIGINALFILENAME as "
    "original_file_name,ZORIGINALFILESIZE AS filesize,ZDURATION AS duration,ZASSET.ZUUID,"
    "ZHASADJUSTMENTS AS has_adjustments,ZUNIFORMTYPEIDENTIFIER as adjusted_pic_type,"
    "strftime(\"%m-%d-%Y %H:%M:%S\", ZDATECREATED + 0978307200, 'unixepoch', 'localtime') as "
    "date,ZKIND as kind,ZKINDSUBTYPE as kindsubtype,ZHIDDEN as is_hide,ZPLAYBACKSTYLE as "
    "playbacktype,ZTRASHEDSTATE AS is_deleted,ZFAVORITE as favorite,ZDERIVEDCAMERACAPTUREDEVICE "
    "as derivedcamera,ZAVALANCHEPICKTYPE as burststype,ZSAVEDASSETTYPE as type,ZLATITUDE as "
    "latitude,ZLONGITUDE as longitude,ZDEPTHTYPE as depthtype FROM ZASSET LEFT JOIN "
    "ZADDITIONALASSETATTRIBUTES ON ZASSET.Z_PK = ZADDITIONALASSETATTRIBUTES.ZASSET";

std::string Request(const std::string& work) {
  Json::Value request;
  request["package_type"] = kPhotosDataType;
  request["temp_folder"] = kx::JoinPath(work, "temp");
  request["primary_file_object"]["photo_file_path"] = kx::JoinPath(work, "Photos.sqlite");
  request["primary_file_object"]["thumb_config_path"] =
      kx::JoinPath(work, "thumbnailConfiguration");
  request["other_info"]["has_sub_dir"] = "1";
  request["other_info"]["is_photo_folder"] = "0";
  request["addtional_param"] = work;
  return kx::WriteJson(request);
}

// Filters and packages the generated library; runs in its own process.
int MeasurePackage(const LibrarySize& size, const std::string& work, double generate_seconds) {
  kx::InitializeLibrary(work.c_str(), KX_BENCH_CONFIG_DIR);
  const std::string request = Request(work);
  const double before_mb = kx::bench::PeakResidentMb();
  double package_seconds = -1.0;
  long long package_bytes = 0;
  for (int run = 0; run < kRuns; ++run) {
    if (kx::FilterDataType(request.c_str(), static_cast<int>(request.size())) != 0) {
      std::fprintf(stderr, "%s: the filter failed\n", size.label);
      return 4;
    }
    kx::bench::FlushFileSystems();
    g_package_bytes = 0;
    const double start = kx::bench::NowSeconds();
    const int packaged = kx::PackageDataType(CountBytes, kPhotosDataType);
    const double seconds = kx::bench::NowSeconds() - start;
    if (packaged != 0) {
      std::fprintf(stderr, "%s: package %d\n", size.label, packaged);
      return 4;
    }
    if (package_seconds < 0 || seconds < package_seconds) package_seconds = seconds;
    package_bytes = g_package_bytes;
  }
  const double peak_mb = kx::bench::PeakResidentMb();

  std::string staged = kx::JoinPath(kx::JoinPath(work, "temp"), "Photos.sqlite");
  if (!std::filesystem::exists(staged)) staged = kx::JoinPath(work, "Photos.sqlite");
  const double sqlite_seconds = kx::bench::BestSqliteJsonSeconds(staged, kAssetQuery, kRuns);
  long long batch_bytes = 0;
  const int batch_files =
      kx::bench::CountFiles(kx::JoinPath(work, "temp"), "KxDataPackage_Photo_", &batch_bytes);
  std::printf(
      "%-5s %6d assets in %3d albums | generate %.2f s | package %.2f s | sqlite3 -json %.2f s | "
      "ratio %.2f (target <= %.1f) | %d batch files, %.1f MB (result %lld bytes) | peak RSS "
      "%.0f MB (%.0f MB before the package step)\n",
      size.label, size.assets, size.albums, generate_seconds, package_seconds, sqlite_seconds,
      sqlite_seconds > 0 ? package_seconds / sqlite_seconds : -1.0, kTargetRatio, batch_files,
      static_cast<double>(batch_bytes) / kMb, package_bytes, peak_mb, before_mb);
  return 0;
}

int RunBench(const LibrarySize& size) {
  const std::string work = kx::bench::MakeTempFolder("kxbench_photos_");
  if (work.empty()) return 2;
  std::filesystem::create_directories(kx::JoinPath(work, "temp"));
  std::ofstream(kx::JoinPath(work, "thumbnailConfiguration"))
      << kx::samples::IosThumbnailConfiguration(kx::samples::kIosSampleThumbFormat);
  const std::string source = kx::JoinPath(work, "Photos.sqlite");
  const double start = kx::bench::NowSeconds();
  const int generated = kx::bench::RunInChild([&size, &source] {
    return kx::samples::WriteIosPhotoLibrary(source, kx::samples::kIosPhotosNewestSchema,
                                             size.assets, size.albums)
               ? 0
               : 3;
  });
  const double generate_seconds = kx::bench::NowSeconds() - start;
  int result = generated;
  if (generated != 0) {
    std::fprintf(stderr, "%s: cannot generate %s\n", size.label, source.c_str());
  } else {
    result = kx::bench::RunInChild(
        [&size, &work, generate_seconds] { return MeasurePackage(size, work, generate_seconds); });
  }
  std::error_code ignored;
  std::filesystem::remove_all(work, ignored);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  return kx::bench::RunChosenSizes<LibrarySize>(argc, argv, {&kSmall, &kLarge}, RunBench);
}
