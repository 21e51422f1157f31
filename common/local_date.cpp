#include "common/local_date.h"

#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "common/platform.h"

namespace kx {

namespace {

// 1971-01-01 00:00:00 and 2038-01-01 00:00:00 UTC: the seconds whose UTC
// year SQLite hands to localtime_r as they are.
constexpr int64_t kFirstPlainSecond = 31536000;
constexpr int64_t kEndPlainSecond = 2145916800;
constexpr int64_t kTenDigits = 10000000000;
constexpr size_t kDateLength = 25;  // "MM - DD - YYYY HH:MM : SS"

void PutTwoDigits(int value, char* at) {
  at[0] = static_cast<char>('0' + value / 10);
  at[1] = static_cast<char>('0' + value % 10);
}

std::string LocalTimeSql(const char* format, std::string_view seconds) {
  std::string sql = "strftime('";
  sql += format;
  sql += "', ";
  sql.append(seconds.data(), seconds.size());
  sql += ", 'unixepoch', 'localtime')";
  return sql;
}

std::string OfMillis(std::string_view column) { return std::string(column) + " / 1000"; }

}  // namespace

std::string LocalDateSql(std::string_view value) {
  return LocalTimeSql("%m - %d - %Y %H:%M : %S", "substr(" + std::string(value) + ", 1, 10)");
}

std::string LocalMinuteOfMillisSql(std::string_view column) {
  return LocalTimeSql("%Y-%m-%d %H:%M", OfMillis(column));
}

std::string LocalSecondOfMillisSql(std::string_view column) {
  return LocalTimeSql("%Y-%m-%d %H:%M:%S", OfMillis(column));
}

int64_t LocalDateFormatter::LeadingSeconds(int64_t value) {
  while (value >= kTenDigits) value /= 10;
  return value;
}

bool LocalDateFormatter::IsPlainValue(int64_t value) {
  if (value < 0) return false;
  const int64_t seconds = LeadingSeconds(value);
  return seconds >= kFirstPlainSecond && seconds < kEndPlainSecond;
}

std::string LocalDateFormatter::SqlFallback(const std::string& column, bool present) {
  if (!present) return "NULL";
  // The integers of IsPlainValue, by digit count: up to ten digits they are
  // the seconds; with 10 + k digits their first ten digits are.
  std::string plain = "(" + column + " between " + std::to_string(kFirstPlainSecond) + " and " +
                      std::to_string(kEndPlainSecond - 1);
  for (int64_t scale = 10; scale <= 1000000000; scale *= 10) {
    plain += " or " + column + " between " + std::to_string(kTenDigits / 10 * scale) + " and " +
             std::to_string(kEndPlainSecond * scale - 1);
  }
  plain += ")";
  return "case when typeof(" + column + ")='integer' and " + plain + " then NULL else " +
         LocalDateSql(column) + " end";
}

bool LocalDateFormatter::Format(sqlite3_stmt* row, int value_column, int fallback_column,
                                std::string_view* text) {
  const bool plain = sqlite3_column_type(row, value_column) == SQLITE_INTEGER &&
                     IsPlainValue(sqlite3_column_int64(row, value_column));
  if (plain && FormatSeconds(LeadingSeconds(sqlite3_column_int64(row, value_column)))) {
    *text = std::string_view(cached_text_, kDateLength);
    return true;
  }
  if (!plain && fallback_column >= 0) {
    const unsigned char* sql_text = sqlite3_column_text(row, fallback_column);
    if (sql_text == nullptr) return false;
    *text = std::string_view(reinterpret_cast<const char*>(sql_text),
                             static_cast<size_t>(sqlite3_column_bytes(row, fallback_column)));
    return true;
  }
  if (!FormatWithSqlite(sqlite3_column_value(row, value_column))) return false;
  *text = sql_text_;
  return true;
}

bool LocalDateFormatter::FormatSeconds(int64_t seconds) {
  if (seconds == cached_seconds_) return true;
  std::tm local{};
  // A leap second (time zones of the "right/" family) is left to SQLite,
  // which carries it into the next minute.
  if (!ToLocalTime(seconds, &local) || local.tm_sec > 59) return false;
  const int year = local.tm_year + 1900;
  if (year < 1000 || year > 9999) return false;
  char* at = cached_text_;
  PutTwoDigits(local.tm_mon + 1, at);
  std::memcpy(at + 2, " - ", 3);
  PutTwoDigits(local.tm_mday, at + 5);
  std::memcpy(at + 7, " - ", 3);
  PutTwoDigits(year / 100, at + 10);
  PutTwoDigits(year % 100, at + 12);
  at[14] = ' ';
  PutTwoDigits(local.tm_hour, at + 15);
  at[17] = ':';
  PutTwoDigits(local.tm_min, at + 18);
  std::memcpy(at + 20, " : ", 3);
  PutTwoDigits(local.tm_sec, at + 23);
  cached_seconds_ = seconds;
  return true;
}

bool LocalDateFormatter::FormatWithSqlite(sqlite3_value* value) {
  ++formatted_by_sqlite_;
  if (!sql_date_.prepared()) {
    // The packagers' date form, applied by SQLite where C++ is not sure to
    // agree.
    sql_date_ = PrepareStatement(db_, "select " + LocalDateSql("?1"));
    if (!sql_date_.prepared()) return false;
  }
  sqlite3_stmt* statement = sql_date_.handle();
  bool found = false;
  if (sqlite3_bind_value(statement, 1, value) == SQLITE_OK && sql_date_.Step() == SQLITE_ROW &&
      sqlite3_column_type(statement, 0) != SQLITE_NULL) {
    const std::string_view text = sql_date_.ColumnTextView(0);
    sql_text_.assign(text.data(), text.size());
    found = true;
  }
  sql_date_.Reset();
  sqlite3_clear_bindings(statement);
  return found;
}

}  // namespace kx
