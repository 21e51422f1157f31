#include "kit/date_sql.h"

namespace kx {

std::string AppleLocalDateSql(std::string_view value) {
  return "strftime('%m-%d-%Y %H:%M:%S', " + std::string(value) +
         " + " KX_APPLE_EPOCH_SQL ", 'unixepoch', 'localtime')";
}

}  // namespace kx
