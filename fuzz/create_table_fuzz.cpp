// Table definitions come from the files being read: parse anything.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/table_schema.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  kx::ParseCreateTableSql("t", text);
  kx::ColumnDef column;
  kx::ParseColumnDef(text, &column);
  return 0;
}
