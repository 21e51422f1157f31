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
// KX_BENCH_SCALE=small (as `make bench` runs it) makes both a tenth.
// Each library is generated in one child process and packaged in another,
// so each peak memory is the package step's own.
#include <json/json.h>

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

struct LibrarySize {
  const char* label;
  int albums;
  int assets;
};

// Bytes a library takes per asset on the disk: the store, its staged copy
// and the batch files.
constexpr double kBytesPerAsset = 3000;

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

// Filters and packages the generated library in a child process.
int MeasurePackage(const LibrarySize& size, const std::string& work, double generate_seconds) {
  const std::string temp = kx::JoinPath(work, "temp");
  kx::bench::PackageBench bench;
  bench.data_type = "iOS photos";
  bench.scale = size.label;
  bench.records = size.assets;
  bench.work = work;
  bench.request = Request(work);
  bench.package_type = kPhotosDataType;
  bench.runs = kRuns;
  bench.sqlite_stores = {kx::JoinPath(temp, "Photos.sqlite"), kx::JoinPath(work, "Photos.sqlite")};
  bench.sqlite_query = kAssetQuery;
  bench.output_folder = temp;
  bench.document_prefixes = {"KxDataPackage_Photo_"};
  return kx::bench::MeasurePackage(bench, [&](const kx::bench::PackageFigures& figures) {
    std::printf(
        "%-5s %6d assets in %3d albums | generate %.2f s | package %.2f s | sqlite3 -json %.2f s "
        "| ratio %.2f (target <= %.1f) | %d batch files, %.1f MB (result %lld bytes) | peak RSS "
        "%.0f MB (%.0f MB before the package step)\n",
        size.label, size.assets, size.albums, generate_seconds, figures.package_seconds,
        figures.sqlite_seconds, figures.package_seconds / figures.sqlite_seconds, kTargetRatio,
        figures.document_files, static_cast<double>(figures.document_bytes) / kMb,
        figures.result_bytes, figures.peak_mb, figures.before_mb);
    kx::bench::PrintProcessorTime(figures);
  });
}

int RunBench(const LibrarySize& size) {
  if (!kx::bench::CheckCanRun("ios_photos_bench", size.assets * kBytesPerAsset)) return 1;
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
    result = MeasurePackage(size, work, generate_seconds);
  }
  std::error_code ignored;
  std::filesystem::remove_all(work, ignored);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const LibrarySize large = {"large", static_cast<int>(kx::bench::Scaled(500)),
                             static_cast<int>(kx::bench::Scaled(200000))};
  const LibrarySize small = {"small", static_cast<int>(kx::bench::Scaled(50)),
                             static_cast<int>(kx::bench::Scaled(20000))};
  if (!kx::bench::CheckCanRun(argv[0], 0)) return 1;
  return kx::bench::RunChosenSizes<LibrarySize>(argc, argv, {&small, &large}, RunBench);
}
