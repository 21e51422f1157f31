// The C++ date formatter against SQLite's own strftime of the packagers'
// date forms, over edge values and sweeps across DST changes, in several time
// zones.
#include "common/local_date.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <string>

#include "common/sqlite_wrapper.h"
#include "test_support.h"

namespace kx {
namespace {

// SQLite's own text of each form, and the share of the test's values that
// are plain integers in it (at most, rows / max_left_to_sqlite are not).
struct FormCase {
  LocalDateForm form;
  const char* sqlite_date;
  int max_left_to_sqlite;
};
const FormCase kForms[] = {
    {LocalDateForm::kSpaced,
     "select strftime(\"%m - %d - %Y %H:%M : %S\",substr(v, 1, 10),'unixepoch','localtime') "
     "from dates order by rowid",
     4},
    {LocalDateForm::kSecondOfMillis,
     "select strftime('%Y-%m-%d %H:%M:%S', v / 1000, 'unixepoch', 'localtime') from dates "
     "order by rowid",
     2},
};

// Values of every storage class and the ranges where SQLite has rules of
// its own: before 1971, after 2037, fewer than ten digits, negative, text
// (plain digits and nearly so), real, blob, NULL, leap-second instants.
constexpr char kEdgeValues[] =
    "INSERT INTO dates (v) VALUES (1615713993123), (1615713993), (0), (1), (-1), (12345),"
    " (999999999), (1000000000), (31535999), (31536000), (31536000000), (2145916799),"
    " (2145916800), (2147483647), (2147483648000), (2240000000000), (9999999999),"
    " (99999999999999), (9223372036854775807), (-9223372036854775807), (-1615713993123),"
    " (1483228799999), (1483228800000), (1435708799000), (1230767999000), (78796799000),"
    " ('1615713993123'), ('161571399'), (' 1615713993'), ('abc'), ('2021-03-14 09:26:33'),"
    " (''), (NULL), (1615713993123.5), (1.6e12), (-0.5), (1e300), (x'31363135373133393933'),"
    " ('１６１５７１３９９３'), (1615713993.999), (2145916800000), (2145916799999), (31535999999),"
    " (10000000000), (21459167999), (21459168000), (314159265), (3153599999999999999),"
    " ('1615713993'), ('01615713993123'), ('1615713993123 '), ('+1615713993123'),"
    " ('1615713993123.0'), ('2145916800000'), ('2145916799999'), ('31535999999'), ('31536000000'),"
    " ('999999999999999999'), ('1234567890123456789'), ('9'), ('0'), ('1615713993１23'),"
    " ('1615713993123456789'), ('9223372036854775807'), ('9223372036854775808'),"
    " ('16157139931234567890'), ('1615713993123abc'), ('1615713993123\n')";

// Instants around the DST changes of the zones under test, a quarter hour
// apart, and a spread of ordinary dates.
std::string SweepValues() {
  std::string sql = "INSERT INTO dates (v) VALUES (0)";
  for (const int64_t change : {1615705200LL, 1636264800LL, 1617539400LL, 1633192200LL, 1552201200LL,
                               2099376000LL, 94694400LL}) {
    for (int64_t at = change - 4 * 3600; at <= change + 4 * 3600; at += 900) {
      sql += ",(" + std::to_string(at * 1000 + 123) + "),(" + std::to_string(at) + ")";
    }
  }
  for (int64_t at = 31536000; at < 2145916800; at += 7777777) {
    sql += ",(" + std::to_string(at * 1000) + ")";
  }
  return sql;
}

class LocalDateTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    path_ = dir_.File("dates.db");
    test::RunSql(path_,
                 "CREATE TABLE dates (v);" + std::string(kEdgeValues) + ";" + SweepValues() + ";");
  }
  const test::ScopedTimeZone zone_{GetParam()};
  test::TempDir dir_;
  std::string path_;
};

// Both ways a packager uses: with SQLite's text in the same query for the
// values left to it, and with the formatter's own statement; in each form.
TEST_P(LocalDateTest, GivesSqlitesTextForEveryValue) {
  SQLite3Wrapper db(path_);
  ASSERT_EQ(SQLITE_OK, db.Open());
  for (const FormCase& form : kForms) {
    SCOPED_TRACE(form.sqlite_date);
    SqliteStatement values =
        PrepareStatement(db, "select v," + LocalDateFormatter::SqlFallback("v", true, form.form) +
                                 " from dates order by rowid");
    SqliteStatement expected = PrepareStatement(db, form.sqlite_date);
    ASSERT_TRUE(values.prepared());
    LocalDateFormatter in_query(db, form.form);
    LocalDateFormatter alone(db, form.form);
    int rows = 0;
    while (values.Step() == SQLITE_ROW) {
      ASSERT_EQ(SQLITE_ROW, expected.Step());
      const bool sqlite_found = expected.ColumnType(0) != SQLITE_NULL;
      const std::string sqlite_text = expected.ColumnText(0);
      for (LocalDateFormatter* formatter : {&in_query, &alone}) {
        std::string_view text;
        const bool found = formatter == &in_query ? formatter->Format(values.handle(), 0, 1, &text)
                                                  : formatter->Format(values.handle(), 0, &text);
        EXPECT_EQ(sqlite_found, found) << "row " << rows + 1;
        if (found && sqlite_found) {
          EXPECT_EQ(sqlite_text, std::string(text)) << "row " << rows + 1;
        }
      }
      ++rows;
    }
    EXPECT_GT(rows, 500);
    // Most values are whole seconds of 1971 to 2037 in this form: formatted
    // here, not by SQLite, or this test would compare SQLite with itself.
    EXPECT_LT(alone.formatted_by_sqlite(), rows / form.max_left_to_sqlite);
    // The query's own column leaves the formatter's statement unused but for
    // values C++ declines after all (leap seconds).
    EXPECT_LE(in_query.formatted_by_sqlite(), 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalDateTest,
                         ::testing::Values("UTC", "America/New_York", "Asia/Kolkata",
                                           "Australia/Lord_Howe", "Europe/Berlin", "right/UTC"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (c == '/') c = '_';
                           }
                           return name;
                         });

TEST(LocalDateSecondsTest, KeepsTheFirstTenDigits) {
  EXPECT_EQ(1615713993, LocalDateFormatter::LeadingSeconds(1615713993123));
  EXPECT_EQ(1615713993, LocalDateFormatter::LeadingSeconds(1615713993));
  EXPECT_EQ(12345, LocalDateFormatter::LeadingSeconds(12345));
  EXPECT_EQ(9223372036, LocalDateFormatter::LeadingSeconds(INT64_MAX));
}

}  // namespace
}  // namespace kx
