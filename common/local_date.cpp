#include "common/local_date.h"

#include <cstdint>
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
constexpr int64_t kMillisPerSecond = 1000;

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

namespace {

// The seconds of a non-negative integer in `form`.
int64_t SecondsOf(int64_t value, LocalDateForm form) {
  return form == LocalDateForm::kSpaced ? LocalDateFormatter::LeadingSeconds(value)
                                        : value / kMillisPerSecond;
}

std::string FormSql(std::string_view value, LocalDateForm form) {
  return form == LocalDateForm::kSpaced ? LocalDateSql(value) : LocalSecondOfMillisSql(value);
}

// The integers of IsPlainValue as an SQL condition on `column`.
std::string PlainRangeSql(const std::string& column, LocalDateForm form) {
  if (form == LocalDateForm::kSecondOfMillis) {
    return column + " between " + std::to_string(kFirstPlainSecond * kMillisPerSecond) + " and " +
           std::to_string(kEndPlainSecond * kMillisPerSecond - 1);
  }
  // By digit count: up to ten digits they are the seconds; with 10 + k
  // digits their first ten digits are.
  std::string plain = "(" + column + " between " + std::to_string(kFirstPlainSecond) + " and " +
                      std::to_string(kEndPlainSecond - 1);
  for (int64_t scale = 10; scale <= 1000000000; scale *= 10) {
    plain += " or " + column + " between " + std::to_string(kTenDigits / 10 * scale) + " and " +
             std::to_string(kEndPlainSecond * scale - 1);
  }
  return plain + ")";
}

// Text that is the decimal form of a positive integer (digits only, no
// leading zero, no more than the largest integer): SQLite reads it as that
// integer wherever it takes it as a number, and its first ten characters
// are its first ten digits. The stores of some applications keep their
// millisecond dates as such text.
bool DigitTextValue(const unsigned char* text, int size, int64_t* value) {
  if (text == nullptr || size < 1 || text[0] == '0') return false;
  int64_t number = 0;
  for (int i = 0; i < size; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const int digit = text[i] - '0';
    if (number > (INT64_MAX - digit) / 10) return false;
    number = number * 10 + digit;
  }
  *value = number;
  return true;
}

// The values of a column that are formatted here, as an SQL condition. A
// text is the decimal form of its integer when casting it there and back
// gives it again.
std::string PlainSql(const std::string& column, LocalDateForm form) {
  const std::string integer = "cast(" + column + " as integer)";
  return "(typeof(" + column + ")='integer' and " + PlainRangeSql(column, form) + ") or (typeof(" +
         column + ")='text' and " + PlainRangeSql(integer, form) + " and cast(" + integer +
         " as text) = " + column + ")";
}

}  // namespace

bool LocalDateFormatter::IsPlainValue(int64_t value, LocalDateForm form) {
  if (value < 0) return false;
  const int64_t seconds = SecondsOf(value, form);
  return seconds >= kFirstPlainSecond && seconds < kEndPlainSecond;
}

std::string LocalDateFormatter::SqlFallback(const std::string& column, bool present,
                                            LocalDateForm form) {
  if (!present) return "NULL";
  return "case when " + PlainSql(column, form) + " then NULL else " + FormSql(column, form) +
         " end";
}

bool LocalDateFormatter::PlainValue(sqlite3_stmt* row, int column, int64_t* value) const {
  switch (sqlite3_column_type(row, column)) {
    case SQLITE_INTEGER:
      *value = sqlite3_column_int64(row, column);
      break;
    case SQLITE_TEXT:
      if (!DigitTextValue(sqlite3_column_text(row, column), sqlite3_column_bytes(row, column),
                          value)) {
        return false;
      }
      break;
    default:
      return false;
  }
  return IsPlainValue(*value, form_);
}

bool LocalDateFormatter::Format(sqlite3_stmt* row, int value_column, int fallback_column,
                                std::string_view* text) {
  int64_t value = 0;
  const bool plain = PlainValue(row, value_column, &value);
  if (plain && FormatSeconds(SecondsOf(value, form_))) {
    *text = std::string_view(cached_text_, cached_length_);
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
  if (form_ == LocalDateForm::kSpaced) {
    // "MM - DD - YYYY HH:MM : SS"
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
    cached_length_ = 25;
  } else {
    // "YYYY-MM-DD HH:MM:SS"
    PutTwoDigits(year / 100, at);
    PutTwoDigits(year % 100, at + 2);
    at[4] = '-';
    PutTwoDigits(local.tm_mon + 1, at + 5);
    at[7] = '-';
    PutTwoDigits(local.tm_mday, at + 8);
    at[10] = ' ';
    PutTwoDigits(local.tm_hour, at + 11);
    at[13] = ':';
    PutTwoDigits(local.tm_min, at + 14);
    at[16] = ':';
    PutTwoDigits(local.tm_sec, at + 17);
    cached_length_ = 19;
  }
  cached_seconds_ = seconds;
  return true;
}

bool LocalDateFormatter::FormatWithSqlite(sqlite3_value* value) {
  ++formatted_by_sqlite_;
  if (!sql_date_.prepared()) {
    // The packagers' date form, applied by SQLite where C++ is not sure to
    // agree.
    sql_date_ = PrepareStatement(db_, "select " + FormSql("?1", form_));
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
