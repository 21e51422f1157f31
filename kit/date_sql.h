// The SQL that turns stored dates into text, for both platforms, from one
// place. Android stores Unix time (seconds or milliseconds since
// 1970-01-01): LocalDateSql and its kin (common/local_date.h). Apple's Core
// Data stores seconds since 2001-01-01, the Apple epoch: the expressions
// below add the epoch's Unix time first.
//
// The macros paste string literals, so that a query stays one constant;
// AppleLocalDateSql builds the same text at run time.
#ifndef KX_KIT_DATE_SQL_H_
#define KX_KIT_DATE_SQL_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "common/local_date.h"

namespace kx {

// 2001-01-01 00:00:00 UTC in Unix time.
constexpr int64_t kAppleEpochUnixSeconds = 978307200;
#define KX_APPLE_EPOCH_SQL "978307200"

// Unix seconds of an Apple-epoch value: "value + 978307200".
#define KX_APPLE_UNIX_SECONDS_SQL(value) value " + " KX_APPLE_EPOCH_SQL

// "MM-DD-YYYY HH:MM:SS" in local time of Unix seconds.
#define KX_LOCAL_DATE_OF_UNIX_SQL(seconds) \
  "strftime('%m-%d-%Y %H:%M:%S', " seconds ", 'unixepoch', 'localtime')"
// The same with the blanks round the dashes and the last colon that the
// Android packagers' dates have ("MM - DD - YYYY HH:MM : SS").
#define KX_SPACED_LOCAL_DATE_OF_UNIX_SQL(seconds) \
  "strftime('%m - %d - %Y %H:%M : %S', " seconds ", 'unixepoch', 'localtime')"

// "MM-DD-YYYY HH:MM:SS" in local time of an Apple-epoch value.
#define KX_APPLE_LOCAL_DATE_SQL(value) KX_LOCAL_DATE_OF_UNIX_SQL(KX_APPLE_UNIX_SECONDS_SQL(value))

// KX_APPLE_LOCAL_DATE_SQL of an expression known at run time only.
std::string AppleLocalDateSql(std::string_view value);

}  // namespace kx

#endif  // KX_KIT_DATE_SQL_H_
