// Packages two generated iOS call histories (CallHistory.storedata of the
// newest release, calls of every kind with their handles) through the
// library: 1,000,000 calls, and 100,000. Each call is matched against the
// address book's numbers; the bench gives the packager no address book, so
// that the measure is the calls' own.
//
// Usage: ios_call_history_bench [large|small|all]
#include "bench/store_bench.h"
#include "samples/ios_call_history.h"

namespace {

constexpr kx::bench::StoreSize kLarge = {"large", 1000000, 2};
constexpr kx::bench::StoreSize kSmall = {"small", 100000, 3};

// The packager's call query on the newest store.
constexpr char kCallQuery[] =
    "SELECT ZANSWERED as answered, ZCALLTYPE as call_type, strftime(\"%m-%d-%Y "
    "%H:%M:%S\",ZDATE + 0978307200,'unixepoch','localtime') as datetime, "
    "replace(replace(replace(replace(ZADDRESS,' ',''),'-',''),'(',''),')','') as address, "
    "ZORIGINATED as flags, ZDURATION as duration, ZLOCATION as location, ZSERVICE_PROVIDER as "
    "service_provider, ZUNIQUE_ID as uuid, ZLOCALPARTICIPANTUUID as belong FROM ZCALLRECORD";

bool Generate(const std::string& work, long long calls) {
  kx::samples::IosSampleOptions options;
  options.scale = static_cast<int>(calls / kx::samples::kIosCallsPerScale);
  return kx::samples::WriteIosCallHistory(kx::JoinPath(work, "CallHistory.storedata"), options);
}

Json::Value Request(const std::string& work) {
  Json::Value request;
  request["primary_file_object"]["call_file_path"] = kx::JoinPath(work, "CallHistory.storedata");
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  const kx::bench::StoreBench bench = {
      "iOS call history", 13, "calls", Generate, Request, "CallHistory.storedata", kCallQuery};
  return kx::bench::RunStoreBenchMain(argc, argv, bench, {&kSmall, &kLarge});
}
