// Manifest.mbdb of an iOS 4-9 backup: any bytes are read or refused with
// the offset of the fault, never read past the end; every record read
// names a path inside its domain.
// libFuzzer options: -max_len=4096
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/kxpackage/mbdb_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::vector<kxpackage::MbdbRecord> records;
  kxpackage::MbdbError error;
  if (!kxpackage::ParseMbdb(bytes, &records, &error)) {
    if (error.what.empty() || error.offset > size || !records.empty()) std::abort();
    return 0;
  }
  size_t last = 0;
  for (const kxpackage::MbdbRecord& record : records) {
    if (!kxpackage::IsSafeRelativePath(record.path) || record.domain.empty() ||
        record.offset >= size || record.offset < last) {
      std::abort();
    }
    last = record.offset + 1;
  }
  return 0;
}
