// The dates of the Android packagers, formatted in C++ where that is sure to
// give SQLite's own text and by SQLite where it might not.
//
// The packagers' SQL forms of a date are
//   strftime("%m - %d - %Y %H:%M : %S", substr(date, 1, 10), 'unixepoch',
//            'localtime')                        (LocalDateForm::kSpaced)
//   strftime("%Y-%m-%d %H:%M:%S", date / 1000, 'unixepoch', 'localtime')
//                                                (LocalDateForm::kSecondOfMillis)
// SQLite converts with localtime_r for whole seconds of the years 1971 to
// 2037 and with a mapped year outside them; its reading of text, real and
// negative values has rules of its own. So only an integer whose seconds
// (its first ten digits, or its thousandths) lie within those years, or
// the text of one in plain digits, is formatted here; the query itself has
// SQLite format every other value (SqlFallback), and a prepared statement
// takes the rare value that C++ still declines.
#ifndef KX_COMMON_LOCAL_DATE_H_
#define KX_COMMON_LOCAL_DATE_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "common/sqlite_wrapper.h"

namespace kx {

// The SQL expressions that format stored dates, built in one place so that
// every query formats a date alike.
//
// "MM - DD - YYYY HH:MM : SS" in local time, of a value whose first ten
// digits are whole seconds (a millisecond or a second column).
std::string LocalDateSql(std::string_view value);
// "YYYY-MM-DD HH:MM" and "YYYY-MM-DD HH:MM:SS" in local time, of a
// millisecond column.
std::string LocalMinuteOfMillisSql(std::string_view column);
std::string LocalSecondOfMillisSql(std::string_view column);

enum class LocalDateForm {
  kSpaced,          // LocalDateSql
  kSecondOfMillis,  // LocalSecondOfMillisSql
};

class LocalDateFormatter {
 public:
  // `db` (the database the values come from) must outlive the formatter.
  explicit LocalDateFormatter(const SQLite3Wrapper& db, LocalDateForm form = LocalDateForm::kSpaced)
      : db_(db), form_(form) {}

  // An expression for the query's select list: SQLite's text of `column`
  // in `form` for the values a formatter of that form leaves to SQLite, NULL
  // for the others. "NULL" when the table has no such column.
  static std::string SqlFallback(const std::string& column, bool present,
                                 LocalDateForm form = LocalDateForm::kSpaced);

  // The date of the stored value in column `value_column` of the current row
  // of `row` in *text, valid until the next call. `fallback_column` is the
  // SqlFallback of the same value, or -1 when the query has none. False
  // where SQLite's result is NULL (no date).
  bool Format(sqlite3_stmt* row, int value_column, int fallback_column, std::string_view* text);
  bool Format(sqlite3_stmt* row, int value_column, std::string_view* text) {
    return Format(row, value_column, -1, text);
  }

  // How many values went to SQLite so far.
  int formatted_by_sqlite() const { return formatted_by_sqlite_; }

  // The seconds that substr(value, 1, 10) gives for a non-negative integer:
  // its first ten digits.
  static int64_t LeadingSeconds(int64_t value);
  // Whether an integer is formatted here: its seconds in `form` are seconds
  // of the UTC years 1971 to 2037.
  static bool IsPlainValue(int64_t value, LocalDateForm form = LocalDateForm::kSpaced);

 private:
  // Whether the column's value is formatted here: an integer of
  // IsPlainValue, or the text of one in plain digits; *value gets it.
  bool PlainValue(sqlite3_stmt* row, int column, int64_t* value) const;
  bool FormatSeconds(int64_t seconds);
  bool FormatWithSqlite(sqlite3_value* value);

  const SQLite3Wrapper& db_;
  const LocalDateForm form_;
  SqliteStatement sql_date_;
  // The last second formatted here, which consecutive rows often share.
  int64_t cached_seconds_ = -1;
  char cached_text_[25] = {};
  size_t cached_length_ = 0;
  std::string sql_text_;
  int formatted_by_sqlite_ = 0;
};

}  // namespace kx

#endif  // KX_COMMON_LOCAL_DATE_H_
