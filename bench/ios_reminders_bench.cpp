// Packages two generated reminders stores (the Core Data store of the
// newest release: lists in ZREMCDBASELIST, reminders in ZREMCDREMINDER, and
// among the objects a URL for one reminder in ten and an alarm with its
// place for one in twenty) through the library: 100,000 reminders, and
// 10,000. The store carries the indexes Core Data makes on every
// relationship column.
//
// The reference is the sqlite3 shell printing the packager's reminder query.
//
// Usage: ios_reminders_bench [large|small|all]
#include <string>

#include "bench/store_bench.h"
#include "samples/ios_reminders.h"

namespace {

constexpr kx::bench::StoreSize kLarge = {"large", 100000, 2};
constexpr kx::bench::StoreSize kSmall = {"small", 10000, 3};
constexpr long long kFirstObject = 1000;

constexpr char kReminderQuery[] =
    "select REMINDER_ITEM.ZTITLE as utf_Title, (select ZREMCDBASELIST.ZNAME from ZREMCDBASELIST "
    "where ZREMCDBASELIST.Z_PK = REMINDER_ITEM.ZLIST) as utf_List, REMINDER_ITEM.ZNOTES as "
    "utf_Description, REMINDER_ITEM.ZCOMPLETED as status, strftime(\"%m-%d-%Y %H:%M:%S\", "
    "REMINDER_ITEM.ZDISPLAYDATEDATE + 0978307200, 'unixepoch', 'localtime') as start_date, "
    "REMINDER_ITEM.ZPRIORITY as priority, REMINDER_ITEM.ZFLAGGED as flagged, "
    "REMINDER_ITEM.ZDACALENDARITEMUNIQUEIDENTIFIER as unique_identifier, REMINDER_ITEM.Z_PK as "
    "rowid, REMINDER_ITEM.ZMARKEDFORDELETION as deleted_mark from ZREMCDREMINDER as "
    "REMINDER_ITEM where utf_Title IS NOT NULL";

bool Generate(const std::string& work, long long reminders) {
  const std::string urls = std::to_string(reminders / 10);
  const std::string alarms = std::to_string(reminders / 20);
  const std::string first = std::to_string(kFirstObject);
  return kx::bench::ExecSql(
      kx::JoinPath(work, "Reminders.sqlite"),
      kx::samples::IosRemindersSql(kx::samples::kIosRemindersNewestSchema) +
          "CREATE INDEX ZREMCDOBJECT_ZREMINDER_INDEX ON ZREMCDOBJECT (ZREMINDER);"
          "CREATE INDEX ZREMCDOBJECT_ZALARM_INDEX ON ZREMCDOBJECT (ZALARM);"
          "CREATE INDEX ZREMCDOBJECT_ZREMINDER2_INDEX ON ZREMCDOBJECT (ZREMINDER2);"
          "CREATE INDEX ZREMCDOBJECT_ZREMINDER3_INDEX ON ZREMCDOBJECT (ZREMINDER3);"
          "CREATE INDEX ZREMCDREMINDER_ZLIST_INDEX ON ZREMCDREMINDER (ZLIST);"
          "BEGIN;INSERT INTO ZREMCDREPLICAMANAGER (Z_PK, Z_ENT, ZIDENTIFIER) VALUES (1, 1, "
          "x'5A1E7C3B2D4F4E6A9B8C0D1E2F3A4B5C');"
          "INSERT INTO ZREMCDBASELIST (Z_PK, Z_ENT, ZMARKEDFORDELETION, ZCKIDENTIFIER, ZNAME) "
          "VALUES (10, 5, 0, 'L-10', 'Groceries'), (11, 5, 0, 'L-11', 'Work'), (12, 5, 0, "
          "'L-12', 'Home');" +
          kx::bench::Numbers(reminders) +
          "INSERT INTO ZREMCDREMINDER (Z_PK, Z_ENT, ZMARKEDFORDELETION, ZCKIDENTIFIER, ZTITLE, "
          "ZNOTES, ZCOMPLETED, ZDISPLAYDATEDATE, ZPRIORITY, ZFLAGGED, "
          "ZDACALENDARITEMUNIQUEIDENTIFIER, ZLIST) SELECT i, 2, i % 50 = 0, 'R-' || i, "
          "'Reminder ' || i, CASE WHEN i % 3 = 0 THEN 'Notes of reminder ' || i END, i % 4 = 0, "
          "CASE WHEN i % 2 = 0 THEN 730976400.0 + i * 900 END, i % 10, i % 7 = 0, 'DA-' || i, 10 "
          "+ i % 3 FROM k;" +
          kx::bench::Numbers(reminders / 10) +
          "INSERT INTO ZREMCDOBJECT (Z_PK, Z_ENT, ZMARKEDFORDELETION, ZCKIDENTIFIER, ZREMINDER3, "
          "ZURL) SELECT " +
          first + " + i, 8, 0, 'URL-' || i, i * 10, 'https://shop.example/item/' || i FROM k;" +
          kx::bench::Numbers(reminders / 20) +
          "INSERT INTO ZREMCDOBJECT (Z_PK, Z_ENT, ZMARKEDFORDELETION, ZCKIDENTIFIER, ZREMINDER) "
          "SELECT " +
          first + " + " + urls + " + i, 3, 0, 'AL-' || i, i * 20 FROM k;" +
          kx::bench::Numbers(reminders / 20) +
          "INSERT INTO ZREMCDOBJECT (Z_PK, Z_ENT, ZMARKEDFORDELETION, ZCKIDENTIFIER, ZALARM, "
          "ZTITLE, ZADDRESS) SELECT " +
          first + " + " + urls + " + " + alarms + " + i, 4, 0, 'LOC-' || i, " + first + " + " +
          urls + " + i, 'Place ' || i, i || ' Main Street' FROM k;COMMIT;");
}

Json::Value Request(const std::string& work) {
  Json::Value request;
  request["addtional_param"] = work;
  request["primary_file_object"]["reminder_file_path"] = kx::JoinPath(work, "Reminders.sqlite");
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  const kx::bench::StoreBench bench = {
      "iOS reminders", 8, "reminders", Generate, Request, "Reminders.sqlite", kReminderQuery};
  return kx::bench::RunStoreBenchMain(argc, argv, bench, {&kSmall, &kLarge});
}
