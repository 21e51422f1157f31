// The command-line host end to end: sample data in, packages out, the exit
// statuses, the messages for bad input, and Ctrl-C.
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_support.h"
#include "samples/android_telephony.h"
#include "test_support.h"

namespace kxcli {
namespace {

class CliTest : public SampleSetTest {
 protected:
  static std::string Phone() { return samples_->File("android"); }
};

TEST_F(CliTest, PackagesEverySampleDatabase) {
  const auto before = Snapshot(Phone());
  const ToolRun run = RunTool(
      {"android", Phone(), "-o", out_.path(), "--json", "--config", kx::test::ConfigFolder()});
  ASSERT_EQ(0, run.exit_code) << run.err << run.out;
  EXPECT_EQ(before, Snapshot(Phone()));  // the source folder is only read

  auto summary = SummaryByName(run.out);
  // LINE found by its name and packaged staged, WhatsApp Business told apart
  // by its folder.
  for (const char* name :
       {"call_history", "sms", "contacts", "line", "whatsapp", "whatsapp_business"}) {
    ASSERT_EQ(1u, summary.count(name)) << name;
  }
  for (const auto& [name, entry] : summary) EXPECT_EQ(0, entry["status"].asInt()) << name;

  const Json::Value calls = ParseFile(out_.File("call_history/result.json"));
  const auto source_calls = QueryColumn(Phone() + "/calllog.db", "SELECT count(*) FROM calls");
  EXPECT_EQ(source_calls[0], std::to_string(calls["callhistory"].size()));
  EXPECT_EQ(static_cast<int>(calls["callhistory"].size()),
            summary["call_history"]["records"].asInt());
  EXPECT_EQ(0, CountTagged(calls["callhistory"]));

  const Json::Value contacts = ParseFile(out_.File("contacts/result.json"));
  EXPECT_GT(contacts["raw_contacts"].size(), 0u);
  EXPECT_GT(summary["contacts"]["files"].asInt(), 0);  // contact pictures

  const Json::Value sms = ParseFile(out_.File("sms/result.json"));
  EXPECT_GT(sms["sessions"].size(), 0u);
  EXPECT_GT(summary["sms"]["records"].asInt(), 0);

  const Json::Value line = ParseFile(out_.File("line/result.json"));
  EXPECT_EQ(static_cast<int>(line["line_chat_sessions"].size()), line["chat_count"].asInt());
  EXPECT_GT(summary["line"]["records"].asInt(), 0);  // messages in the detail files

  // The owner's number comes from the private files found in the folder.
  const Json::Value whatsapp = ParseFile(out_.File("whatsapp/result.json"));
  EXPECT_FALSE(whatsapp["my_phone_number"].asString().empty());
  EXPECT_GT(summary["whatsapp"]["records"].asInt(), 0);
  EXPECT_GT(summary["whatsapp_business"]["records"].asInt(), 0);
}

TEST_F(CliTest, LineDatabaseIsFoundByItsTables) {
  TempDir phone;
  fs::copy_file(Phone() + "/naver_line", phone.File("renamed.db"));
  const ToolRun run = RunTool({"android", phone.path(), "-o", out_.path(), "--json"});
  ASSERT_EQ(0, run.exit_code) << run.err;
  auto summary = SummaryByName(run.out);
  EXPECT_EQ(1u, summary.size());
  EXPECT_EQ(0, summary["line"]["status"].asInt());
}

TEST_F(CliTest, RequestRunsHostDocumentsAsTheyStand) {
  Json::Value request;
  request["package_type"] = 3;
  request["temp_folder"] = out_.File("temp");
  request["primary_file_object"]["callhistory_file_path"] = Phone() + "/calllog.db";
  fs::create_directories(out_.File("temp"));
  Json::StreamWriterBuilder builder;
  kx::test::WriteFileBytes(out_.File("calls.json"), Json::writeString(builder, request));
  kx::test::WriteFileBytes(out_.File("broken.json"), "{ not json");
  const ToolRun run = RunTool({"request", out_.File("calls.json"), out_.File("broken.json"), "-o",
                               out_.File("results"), "--json"});
  EXPECT_EQ(1, run.exit_code) << run.err;  // the broken document failed
  EXPECT_NE(std::string::npos, run.err.find("broken.json: filter answered -1")) << run.err;
  auto summary = SummaryByName(run.out);
  EXPECT_EQ(0, summary["call_history"]["status"].asInt());
  const Json::Value calls = ParseFile(out_.File("results/call_history/result.json"));
  const auto source_calls = QueryColumn(Phone() + "/calllog.db", "SELECT count(*) FROM calls");
  EXPECT_EQ(source_calls[0], std::to_string(calls["callhistory"].size()));
  EXPECT_EQ(calls["callhistory"].size(), summary["call_history"]["records"].asUInt());
  EXPECT_TRUE(fs::exists(out_.File("temp/calllog.db")));  // staged where the request said
}

// The files a host builds from a backup, and the stores of older phones,
// come with request documents; one run takes them all.
TEST_F(CliTest, RequestRunsTheSampleHostFilesOfIos) {
  const std::string requests = samples_->File("ios-host/requests");
  std::vector<std::string> args = {"request"};
  for (const char* name : {"ios_music", "ios_video", "ios_kx_photos", "ios_reminders_calendar",
                           "ios_voice_memos_recordings", "ios_notes_locking_store",
                           "ios_messages_ios5", "ios_call_history_ios7"}) {
    args.push_back(requests + "/" + name + ".json");
  }
  args.insert(args.end(), {"-o", out_.File("old"), "--json"});
  const ToolRun run = RunTool(args);
  ASSERT_EQ(0, run.exit_code) << run.err << run.out;
  const auto result = [this](const std::string& type) {
    return ParseFile(out_.File("old/" + type + "/result.json"));
  };
  auto summary = SummaryByName(run.out);
  ExpectRecords(summary, {{"ios_music", 4}, {"ios_video", 2}, {"ios_kx_photos", 4}});
  EXPECT_EQ(4, result("ios_music")["musics_num"].asInt());
  EXPECT_EQ(2, result("ios_video")["videos_num"].asInt());
  EXPECT_EQ(2, result("ios_voice_memos")["size"].asInt());
  EXPECT_EQ(3, result("ios_messages")["sms_session_size"].asInt());  // SMS, group MMS, iMessage
  EXPECT_EQ(10, result("ios_call_history")["size"].asInt());
  const Json::Value reminders = result("ios_reminders");
  ASSERT_EQ(2u, reminders.size());
  EXPECT_EQ("Groceries", reminders[0]["utf_List"].asString());
  const Json::Value notes = result("ios_notes");
  ASSERT_EQ(5u, notes["iCloud_notes"]["notes"].size());
  const Json::Value& locked = notes["iCloud_notes"]["notes"][2];
  EXPECT_EQ("Bank", locked["title"].asString());
  EXPECT_EQ(1, locked["is_lock"].asInt());
  EXPECT_FALSE(locked.isMember("contents"));
  const ToolRun staged = RunTool(
      {"request", requests + "/ios_kx_photos.json", "--staged", "-o", out_.File("new"), "--json"});
  ASSERT_EQ(0, staged.exit_code) << staged.err << staged.out;
  for (const char* run_folder : {"old", "new"}) {
    EXPECT_EQ(4, ParseFile(out_.File(std::string(run_folder) +
                                     "/ios_kx_photos/result.json"))["photos_num"]
                     .asInt());
  }
}

TEST_F(CliTest, VerboseEchoesTheLogAndLogDirMovesIt) {
  TempDir phone, logs;
  fs::copy_file(Phone() + "/calllog.db", phone.File("calllog.db"));
  const ToolRun run =
      RunTool({"android", phone.path(), "-o", out_.path(), "-v", "--log-dir", logs.path()});
  ASSERT_EQ(0, run.exit_code) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("type 3 KxDataPackage start")) << run.err;
  EXPECT_NE(std::string::npos,
            ReadFileBytes(logs.File("KxDataPackage.log")).find("type 3 KxDataPackage end"));
  EXPECT_FALSE(fs::exists(out_.File("logs")));
}

TEST_F(CliTest, HelpForEveryCommand) {
  for (const char* command : {"android", "ios", "request", "sample", "demo"}) {
    const ToolRun run = RunTool({command, "--help"});
    EXPECT_EQ(0, run.exit_code) << command;
    EXPECT_NE(std::string::npos, run.out.find(std::string("kxpackage ") + command)) << command;
  }
}

// ---- iOS backups ----

// The same backup with every file moved out of its two-digit folder.
void FlattenBackup(const std::string& from, const std::string& to) {
  fs::copy(from, to, fs::copy_options::recursive);
  for (const auto& folder : std::vector<fs::directory_entry>(fs::directory_iterator(to), {})) {
    if (!folder.is_directory()) continue;
    for (const auto& file : std::vector<fs::directory_entry>(fs::directory_iterator(folder), {}))
      fs::rename(file.path(), fs::path(to) / file.path().filename());
    fs::remove(folder.path());
  }
}

TEST_F(CliTest, IosBackupPackagesInEitherLayoutAndOlderBackupBringsDeletedRecords) {
  TempDir flat, out_flat;
  FlattenBackup(samples_->File("ios"), flat.File("backup"));
  const auto before = Snapshot(samples_->File("ios"));
  const ToolRun run =
      RunTool({"ios", samples_->File("ios"), "-o", out_.path(), "--json", "--config",
               kx::test::ConfigFolder(), "--copy", samples_->File("ios-older")});
  ASSERT_EQ(0, run.exit_code) << run.err << run.out;
  EXPECT_EQ(before, Snapshot(samples_->File("ios")));  // the backup is only read
  EXPECT_EQ(ParseJson(R"({"name": "Zoë's iPhone", "model": "iPhone14,5",
      "ios_version": "17.3.1", "backup_date": "2024-02-18 08:12:55"})"),
            ParseJson(run.out)["device"]);
  auto summary = SummaryByName(run.out);
  EXPECT_EQ(0, summary["ios_call_history"]["status"].asInt());
  EXPECT_EQ(0, summary["ios_contacts"]["status"].asInt());
  EXPECT_EQ(24u, summary.size());  // the calendar's reminders as a store of their own
  // Host-built databases, not files of the backup.
  EXPECT_EQ(-107, summary["ios_kx_photos"]["status"].asInt());
  EXPECT_EQ(0, summary["ios_messages"]["status"].asInt());
  EXPECT_GT(summary["ios_messages"]["records"].asInt(), 0);
  EXPECT_EQ(0, summary["ios_wechat"]["status"].asInt());
  // Music and video staged; both WhatsApps, each from its own domain, with
  // every message of the sample; reminders found by their pattern (the
  // sample store is named after its account); WeChat's account folder holds
  // its stores, Viber's files are placed in the layout the backup has.
  ExpectRecords(summary, {{"ios_music_video", 7},
                          {"ios_whatsapp", 18},
                          {"ios_whatsapp_business", 18},
                          {"ios_voicemail", 5},
                          {"ios_voice_memos", 3},
                          {"ios_photos", 6},
                          {"ios_reminders", 4},
                          {"ios_books", 3},
                          {"ios_messenger", 7},
                          {"ios_kik", 6},
                          {"ios_line", 11},
                          {"ios_viber", 15},
                          {"ios_wechat", 17}});
  // The account folder the store was found in names Kik's account; LINE's
  // is its store's private folder.
  EXPECT_EQ(
      "7d1b3a2e0c9f4e8b",
      ParseFile(out_.File("ios_kik/result.json"))["kik_accounts"][0]["account_id"].asString());
  EXPECT_EQ("u0f1e2d3c4b5a69788796a5b4c3d2e1f0",
            ParseFile(out_.File("ios_line/result.json"))["account_id"].asString());

  // Flat, without the older backup: the same phone, fewer deleted records.
  const ToolRun flat_run =
      RunTool({"ios", flat.path(), "-o", out_flat.path(), "--config", kx::test::ConfigFolder()});
  ASSERT_EQ(0, flat_run.exit_code) << flat_run.err << flat_run.out;
  EXPECT_EQ(0u, flat_run.out.find("iOS device:   Zoë's iPhone\nModel:        iPhone14,5\n"))
      << flat_run.out;
  const Json::Value calls = ParseFile(out_flat.File("ios_call_history/result.json"));
  EXPECT_EQ(calls["size"].asInt(), static_cast<int>(calls["call_records"].size()));
  EXPECT_GT(calls["size"].asInt(), 0);
  EXPECT_GT(TaggedIosRecords(out_.path()), TaggedIosRecords(out_flat.path()));
  EXPECT_GT(summary["ios_call_history"]["records"].asInt(), calls["size"].asInt());
}

// A backup of an older phone: voice memos in Recordings.db alone, notes in
// the old notes database alone, reminders in the calendar database, and a
// second reminders account: each store found, one result per reminders
// store, the summary naming it.
TEST_F(CliTest, IosBackupOfOlderGenerationsFindsEveryStore) {
  const std::string backup = out_.File("backup");
  fs::copy(samples_->File("ios"), backup, fs::copy_options::recursive);
  const std::string manifest = backup + "/Manifest.db";
  const auto add_file = [&](const std::string& id, const std::string& domain,
                            const std::string& path, const std::string& from) {
    fs::create_directories(backup + "/" + id.substr(0, 2));
    fs::copy_file(from, backup + "/" + id.substr(0, 2) + "/" + id);
    kx::test::RunSql(manifest, "INSERT INTO Files VALUES ('" + id + "', '" + domain + "', '" +
                                   path + "', 1, NULL)");
  };
  const std::string stores = "Library/Reminders/Container_v1/Stores/";
  const std::string first_store = QueryColumn(
      manifest, "SELECT fileID FROM Files WHERE relativePath LIKE '" + stores + "Data-%'")[0];
  kx::test::RunSql(
      manifest,
      "DELETE FROM Files WHERE relativePath IN ('Media/Recordings/CloudRecordings.db', "
      "'NoteStore.sqlite')");
  add_file(std::string(40, 'a'), "MediaDomain", "Media/Recordings/Recordings.db",
           samples_->File("ios-host/older/Recordings.db"));
  add_file(std::string(40, 'b'), "HomeDomain", stores + "Data-local.sqlite",
           backup + "/" + first_store.substr(0, 2) + "/" + first_store);
  const ToolRun run = RunTool(
      {"ios", backup, "-o", out_.File("out"), "--json", "--config", kx::test::ConfigFolder()});
  ASSERT_EQ(0, run.exit_code) << run.err << run.out;
  auto summary = SummaryByName(run.out);
  ExpectRecords(summary, {{"ios_voice_memos", 2}, {"ios_notes", 2}});
  const struct {
    const char* name;
    int records;
    std::string store;
  } reminders[] = {{"ios_reminders", 3,
                    "HomeDomain " + stores + "Data-8E3B5C1A-2F4D-4C6B-9A7E-1D2C3B4A5F60.sqlite"},
                   {"ios_reminders-Data-local", 3, "HomeDomain " + stores + "Data-local.sqlite"},
                   {"ios_reminders-Calendar", 1, "HomeDomain Library/Calendar/Calendar.sqlitedb"}};
  for (const auto& store : reminders) {
    SCOPED_TRACE(store.name);
    EXPECT_EQ(0, summary[store.name]["status"].asInt());
    EXPECT_EQ(store.records, summary[store.name]["records"].asInt());
    EXPECT_EQ("from " + store.store, summary[store.name]["detail"].asString());
  }
}

TEST_F(CliTest, IosBackupThatCannotBeReadIsRefusedClearly) {
  TempDir backup;
  fs::copy(samples_->File("ios"), backup.File("encrypted"), fs::copy_options::recursive);
  std::string manifest = ReadFileBytes(backup.File("encrypted/Manifest.plist"));
  const std::string plain = "<key>IsEncrypted</key>\n\t<false/>";
  ASSERT_NE(std::string::npos, manifest.find(plain));
  manifest.replace(manifest.find(plain), plain.size(), "<key>IsEncrypted</key><true/>");
  kx::test::WriteFileBytes(backup.File("encrypted/Manifest.plist"), manifest);
  fs::create_directories(backup.File("empty"));
  fs::create_directories(backup.File("damaged"));
  kx::test::WriteFileBytes(backup.File("damaged/Manifest.db"), std::string(4096, 'x'));
  const struct {
    std::string folder;
    int exit_code;
    std::string message;
  } cases[] = {
      {backup.File("encrypted"), 1, "encrypted/Manifest.plist: no BackupKeyBag"},
      {backup.File("empty"), 1, "empty: not an iOS backup (no Manifest.db"},
      {backup.File("damaged"), 1, "damaged/Manifest.db: file is not a database"},
      {backup.File("nowhere"), 2, "nowhere: no such folder"},
  };
  for (const auto& test : cases) {
    const std::string out = test.folder + "-out";
    const ToolRun run = RunTool({"ios", test.folder, "-o", out});
    EXPECT_EQ(test.exit_code, run.exit_code) << test.folder;
    EXPECT_NE(std::string::npos, run.err.find(test.message)) << run.err;
    EXPECT_FALSE(fs::exists(out)) << test.folder;
  }
}

// The backup of a phone of iOS 7 or earlier keeps its calls in
// call_history.db; a store the library cannot read fails in the library's
// own words, not in a guess about other files.
TEST_F(CliTest, IosBackupCallHistoryOfEveryGenerationAndWhyItFails) {
  const struct {
    const char* name;
    std::string store;  // the file put where the backup's call history lies
    int status;
    std::string detail;
  } cases[] = {
      {"call_history.db", samples_->File("ios-host/older/call_history.db"), 0, ""},
      {"no calls", samples_->File("ios-host/older/sms.db"), 1112, "no such table: ZCALLRECORD"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    TempDir backup, out;
    fs::copy(samples_->File("ios"), backup.File("b"), fs::copy_options::recursive);
    const std::string manifest = backup.File("b/Manifest.db");
    const char kStorePath[] = "relativePath = 'Library/CallHistoryDB/CallHistory.storedata'";
    const std::string file_id =
        QueryColumn(manifest, std::string("SELECT fileID FROM Files WHERE ") + kStorePath).at(0);
    kx::test::RunSql(manifest, std::string("UPDATE Files SET domain = 'WirelessDomain', "
                                           "relativePath = 'Library/CallHistory/call_history.db'"
                                           " WHERE ") +
                                   kStorePath);
    fs::copy_file(test.store, backup.File("b/" + file_id.substr(0, 2) + "/" + file_id),
                  fs::copy_options::overwrite_existing);
    const ToolRun run = RunTool({"ios", backup.File("b"), "-o", out.path(), "--json"});
    auto summary = SummaryByName(run.out);
    EXPECT_EQ(test.status, summary["ios_call_history"]["status"].asInt()) << run.out;
    EXPECT_EQ(test.detail, summary["ios_call_history"]["detail"].asString());
    EXPECT_EQ(test.status == 0 ? 10 : 0, summary["ios_call_history"]["records"].asInt());
  }
}

// ---- Error paths ----

// A missing folder, an unknown command or option, an output that cannot be
// made or lies inside the source: the exit status and what the error
// stream says, and no output folder made.
TEST_F(CliTest, UsageAndOutputErrors) {
  TempDir phone;
  fs::copy_file(Phone() + "/calllog.db", phone.File("calllog.db"));
  kx::test::WriteFileBytes(out_.File("plain-file"), "x");
  const std::string uncreatable = out_.File("plain-file") + "/out";
  const struct {
    std::vector<std::string> args;
    int exit_code;
    std::string message;
  } cases[] = {
      {{"android", out_.File("nowhere"), "-o", out_.File("out")}, 2, "nowhere: no such folder"},
      {{"frobnicate"}, 2, ""},
      {{"android", Phone(), "-o", out_.File("out"), "--bogus"}, 2, ""},
      {{}, 2, ""},
      {{"android", Phone(), "-o", out_.File("out"), "--copy", "nothing=x"}, 2, ""},
      {{"android", Phone(), "-o", uncreatable}, 1, uncreatable + ": cannot create output folder"},
      {{"android", phone.path(), "-o", phone.File("out")}, 2, ""},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.args.empty() ? "no arguments" : each.args.back());
    const ToolRun run = RunTool(each.args);
    EXPECT_EQ(each.exit_code, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find(each.message)) << run.err;
  }
  EXPECT_FALSE(fs::exists(out_.File("out")));
  EXPECT_FALSE(fs::exists(phone.File("out")));
}

// Each kind of damage is the library's to word (the packagers' contract
// suite); here one damaged store fails alone, in SQLite's words on the error
// stream and in the summary, and the other data type still runs.
TEST_F(CliTest, DamagedDatabaseFailsAloneInSqlitesWordsAndTheOthersRun) {
  TempDir damage, phone, out;
  const kx::test::DamagedDatabase damaged =
      kx::test::DamageDatabase(Phone() + "/naver_line", damage.path()).at(2);
  fs::copy_file(damaged.path, phone.File("naver_line"));
  fs::copy_file(Phone() + "/calllog.db", phone.File("calllog.db"));
  const ToolRun run = RunTool({"android", phone.path(), "-o", out.path(), "--json"});
  EXPECT_EQ(1, run.exit_code);
  EXPECT_NE(std::string::npos, run.err.find("naver_line: " + damaged.words)) << run.err;
  auto summary = SummaryByName(run.out);
  EXPECT_EQ(damaged.status, summary["line"]["status"].asInt());  // the staged run's own
  EXPECT_NE(std::string::npos, summary["line"]["detail"].asString().find(damaged.words));
  EXPECT_EQ(0, summary["call_history"]["status"].asInt());
  EXPECT_LT(0, summary["call_history"]["records"].asInt());
}

// The schema reads, so only the library's read of the rows finds the damage;
// what it read is kept and the summary still says why.
TEST_F(CliTest, DamagedRowsFailTheirDataTypeInSqlitesWords) {
  TempDir phone, out;
  fs::copy_file(Phone() + "/calllog.db", phone.File("calllog.db"));
  kx::test::DamageTablePage(phone.File("calllog.db"), "calls");
  const ToolRun run = RunTool({"android", phone.path(), "-o", out.path(), "--json"});
  EXPECT_EQ(1, run.exit_code);
  auto summary = SummaryByName(run.out);
  const Json::Value& failed = summary["call_history"];
  EXPECT_EQ(1112, failed["status"].asInt());
  EXPECT_NE(std::string::npos,
            failed["detail"].asString().find("calllog.db: database disk image is malformed"))
      << run.out;
}

TEST_F(CliTest, SummaryTableNamesTheDamage) {
  TempDir phone;
  const std::string sms = ReadFileBytes(Phone() + "/mmssms.db");
  kx::test::WriteFileBytes(phone.File("mmssms.db"), sms.substr(0, sms.size() / 2));
  fs::copy_file(Phone() + "/calllog.db", phone.File("calllog.db"));
  const ToolRun run = RunTool({"android", phone.path(), "-o", out_.path()});
  EXPECT_EQ(1, run.exit_code);
  EXPECT_NE(std::string::npos, run.out.find("sms           1112 not packaged")) << run.out;
  EXPECT_NE(std::string::npos,
            run.out.find("sms: " + phone.File("mmssms.db") + ": database disk image is malformed"))
      << run.out;
  EXPECT_NE(std::string::npos, run.out.find("call_history  0 ok")) << run.out;
}

// An empty file under a usual name is no store at all: its data type is not
// there, and nothing fails.
TEST_F(CliTest, EmptyFileUnderAUsualNameIsNothingThere) {
  TempDir phone;
  kx::test::WriteFileBytes(phone.File("mmssms.db"), "");
  fs::copy_file(Phone() + "/calllog.db", phone.File("calllog.db"));
  const ToolRun run = RunTool({"android", phone.path(), "-o", out_.path(), "--json"});
  EXPECT_EQ(0, run.exit_code) << run.out << run.err;
  auto summary = SummaryByName(run.out);
  EXPECT_FALSE(summary.count("sms") != 0 && summary["sms"]["status"].asInt() != 0) << run.out;
  EXPECT_EQ(0, summary["call_history"]["status"].asInt());
}

TEST_F(CliTest, FolderWithoutAKnownDatabaseFailsAndSaysWhatWasLookedFor) {
  TempDir phone;
  kx::test::WriteFileBytes(phone.File("notes.txt"), "nothing of a phone's");
  const ToolRun run = RunTool({"android", phone.path(), "-o", out_.path()});
  EXPECT_EQ(1, run.exit_code);
  for (const char* looked_for :
       {"no database of a known data type", "calllog.db or contacts2.db", "mmssms.db",
        "the tables sms, pdu, part", "msgstore.db", "naver_line"}) {
    EXPECT_NE(std::string::npos, run.err.find(looked_for)) << looked_for << "\n" << run.err;
  }
}

TEST_F(CliTest, CtrlCStopsCleanly) {
  // A phone whose SMS store is large enough to be interrupted: only that
  // store is generated at scale, the others are the small sample's.
  TempDir big, scratch;
  for (const char* name : {"calllog.db", "contacts2.db"}) {
    fs::copy_file(fs::path(Phone()) / name, big.File(name));
  }
  kx::samples::AndroidSampleOptions large;
  large.scale = 400;
  ASSERT_TRUE(kx::samples::WriteAndroidTelephony(big.File("mmssms.db"), large));
  const pid_t pid = Start({"android", big.path(), "-o", out_.path(), "--json"}, scratch);
  // Interrupt once the SMS database is staged: the SMS data type is running.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  while (!fs::exists(out_.File("sms/mmssms.db")) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  kill(pid, SIGINT);
  const ToolRun run = Finish(pid, scratch);
  EXPECT_EQ(130, run.exit_code) << run.err;
  auto summary = SummaryByName(run.out);
  // The data type packaged before keeps its output.
  EXPECT_EQ(0, summary["call_history"]["status"].asInt());
  ParseFile(out_.File("call_history/result.json"));
  // The interrupted one is reported stopped (unless it won the race); the
  // ones after it do not run. A stop that lands between its hand-over and
  // the end of its call is still reported as a stop, and the document it
  // handed over is whole.
  const int sms_status = summary["sms"]["status"].asInt();
  EXPECT_TRUE(sms_status == 1111 || sms_status == 0) << sms_status;
  if (sms_status == 0) {
    EXPECT_TRUE(fs::exists(out_.File("sms/result.json")));
  }
  if (fs::exists(out_.File("sms/result.json"))) {
    ParseFile(out_.File("sms/result.json"));
  }
  EXPECT_EQ(-103, summary["contacts"]["status"].asInt());
}

}  // namespace
}  // namespace kxcli
