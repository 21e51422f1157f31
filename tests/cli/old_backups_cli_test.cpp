// Backups of iOS 4 to 9 (Manifest.mbdb) through the command-line host:
// packaged as the same data in the current layout, plain and encrypted,
// also as older copies; damaged manifests and wrong passwords refused with
// nothing written; and no backup ever leads the host to a file outside it.
#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "samples/android_call_log.h"
#include "samples/android_sample_options.h"
#include "samples/ios_backup.h"
#include "samples/ios_mbdb_backup.h"
#include "test_support.h"

namespace kxcli {
namespace {

constexpr char kPassword[] = "older phone";
// What a file of the examiner's own computer holds; it must never reach OUT.
constexpr char kSecret[] = "root:x:0:0:the examiner's own file";

class OldBackupsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    backups_ = new TempDir;
    std::string error;
    kx::samples::IosBackupOptions options;
    kx::samples::MbdbBackupOptions mbdb;
    ASSERT_TRUE(kx::samples::WriteIosBackup(Backup("current"), options, &error)) << error;
    options.older_copy = true;
    ASSERT_TRUE(kx::samples::WriteIosBackup(Backup("current-older"), options, &error)) << error;
    ASSERT_TRUE(kx::samples::WriteIosMbdbBackup(Backup("current"), Backup("mbdb"), mbdb, &error))
        << error;
    ASSERT_TRUE(kx::samples::WriteIosMbdbBackup(Backup("current-older"), Backup("mbdb-older"), mbdb,
                                                &error))
        << error;
    mbdb.password = kPassword;
    ASSERT_TRUE(
        kx::samples::WriteIosMbdbBackup(Backup("current"), Backup("mbdb-encrypted"), mbdb, &error))
        << error;
    WriteFileBytes(Backup("password"), std::string(kPassword) + "\n");
    WriteFileBytes(Backup("wrong"), "not it\n");
    WriteFileBytes(Backup("secret"), kSecret);
  }
  static void TearDownTestSuite() {
    delete backups_;
    backups_ = nullptr;
  }
  static std::string Backup(const std::string& name) { return backups_->File(name); }

  ToolRun Package(const std::string& backup, const std::string& out,
                  const std::vector<std::string>& more = {}) {
    return RunPackage("ios", backup, out_.File(out), more);
  }

  // A copy of backup `name` to change.
  std::string CopyOf(const std::string& name, const std::string& copy) {
    fs::copy(Backup(name), out_.File(copy), fs::copy_options::recursive);
    return out_.File(copy);
  }

  // Whether any file under `out` holds the secret.
  bool Leaked(const std::string& out) {
    for (const auto& [path, bytes] : Snapshot(out_.File(out))) {
      if (bytes.find(kSecret) != std::string::npos) return true;
    }
    return false;
  }

  static inline TempDir* backups_ = nullptr;
  TempDir out_;
};

TEST_F(OldBackupsTest, PlainAndEncryptedPackageAsTheCurrentLayout) {
  const auto before = Snapshot(Backup("mbdb-encrypted"));
  const ToolRun current = Package(Backup("current"), "current");
  const ToolRun plain = Package(Backup("mbdb"), "plain");
  const ToolRun encrypted =
      Package(Backup("mbdb-encrypted"), "encrypted", {"--password-file", Backup("password")});
  ASSERT_EQ(0, current.exit_code) << current.err;
  ASSERT_EQ(0, plain.exit_code) << plain.err;
  ASSERT_EQ(0, encrypted.exit_code) << encrypted.err;
  EXPECT_EQ(before, Snapshot(Backup("mbdb-encrypted")));  // only read
  const auto expected = ComparablePackages(out_.File("current"), Backup("current"));
  EXPECT_GT(expected.size(), 30u);
  for (const auto& [out, plain_root] :
       {std::pair{"plain", "converted-backup"}, std::pair{"encrypted", "decrypted-backup"}}) {
    const auto packaged =
        ComparablePackages(out_.File(out), out_.File(std::string(out) + "/" + plain_root));
    ASSERT_EQ(expected.size(), packaged.size()) << out;
    for (const auto& [name, text] : expected) {
      // The staged catalogue is built anew from the records.
      if (name.find("Manifest.db") != std::string::npos) continue;
      EXPECT_TRUE(packaged.count(name) && packaged.at(name) == text) << out << " " << name;
    }
  }
  const Json::Value device = ParseJson(plain.out)["device"];
  EXPECT_EQ("iPhone5,2", device["model"].asString()) << plain.out;
  EXPECT_EQ("6.1.3", device["ios_version"].asString());
}

TEST_F(OldBackupsTest, OlderCopiesBringDeletedRecordsBackAsCurrentOnesDo) {
  const ToolRun current =
      Package(Backup("current"), "current", {"--copy", Backup("current-older")});
  const ToolRun mbdb = Package(Backup("mbdb"), "mbdb", {"--copy", Backup("mbdb-older")});
  ASSERT_EQ(0, current.exit_code) << current.err;
  ASSERT_EQ(0, mbdb.exit_code) << mbdb.err;
  EXPECT_GT(TaggedIosRecords(out_.File("current")), 0);
  EXPECT_EQ(TaggedIosRecords(out_.File("current")), TaggedIosRecords(out_.File("mbdb")));
}

TEST_F(OldBackupsTest, DamagedManifestOrWrongPasswordIsRefusedWithNothingWritten) {
  const std::string manifest = ReadFileBytes(Backup("mbdb") + "/Manifest.mbdb");
  const std::string cut = CopyOf("mbdb", "cut");
  WriteFileBytes(cut + "/Manifest.mbdb", manifest.substr(0, 1000));
  const std::string dots = CopyOf("mbdb", "dots");
  std::string climbing = manifest;
  const size_t path = climbing.find("Library/SMS/sms.db");
  ASSERT_NE(std::string::npos, path);
  climbing.replace(path, 18, "../../../etc/passwd");
  climbing[path - 1] = static_cast<char>(19);  // its length, after that of "HomeDomain"
  WriteFileBytes(dots + "/Manifest.mbdb", climbing);
  const std::string version = CopyOf("mbdb", "version");
  WriteFileBytes(version + "/Manifest.mbdb", "mbdb\x06" + manifest.substr(5));
  const struct {
    std::string backup;
    std::vector<std::string> more;
    std::string message;
  } cases[] = {
      {cut, {}, "Manifest.mbdb: at offset "},
      {dots,
       {},
       "Manifest.mbdb: at offset " + std::to_string(path - 2 - 10 - 2) +
           ": a record whose path leaves its domain"},
      {version, {}, "Manifest.mbdb: at offset 4: unknown version 6.0"},
      {Backup("mbdb-encrypted"), {"--password-file", Backup("wrong")}, "wrong password"},
  };
  int n = 0;
  for (const auto& test : cases) {
    const std::string out = "refused" + std::to_string(++n);
    const ToolRun run = Package(test.backup, out, test.more);
    EXPECT_EQ(1, run.exit_code) << test.message;
    EXPECT_NE(std::string::npos, run.err.find(test.message)) << test.message << "\n" << run.err;
    EXPECT_FALSE(fs::exists(out_.File(out))) << test.message;
  }
}

TEST_F(OldBackupsTest, LinksOutOfTheBackupAreNamedAndNeverFollowed) {
  const std::string sms_id = kx::samples::IosBackupFileId("HomeDomain", "Library/SMS/sms.db");
  const std::string calls_id =
      kx::samples::IosBackupFileId("HomeDomain", kx::samples::kIosCallHistoryPath);
  // The current layout: the messages' store a link to a file of ours, the
  // calls' store a link to a file inside the backup, which is followed.
  const std::string current = CopyOf("current", "current");
  const fs::path sms = fs::path(current) / sms_id.substr(0, 2) / sms_id;
  const fs::path calls = fs::path(current) / calls_id.substr(0, 2) / calls_id;
  fs::remove(sms);
  fs::create_symlink(Backup("secret"), sms);
  fs::rename(calls, fs::path(current) / "calls-kept-here");
  fs::create_symlink("../calls-kept-here", calls);
  // The older layout: the same, and Info.plist a link too.
  const std::string mbdb = CopyOf("mbdb", "mbdb");
  fs::remove(fs::path(mbdb) / sms_id);
  fs::create_symlink(Backup("secret"), fs::path(mbdb) / sms_id);
  fs::remove(fs::path(mbdb) / "Info.plist");
  fs::create_symlink(Backup("secret"), fs::path(mbdb) / "Info.plist");
  for (const auto& [backup, out] : {std::pair{current, "out-current"}, {mbdb, "out-mbdb"}}) {
    const ToolRun run = Package(backup, out);
    EXPECT_EQ(1, run.exit_code) << run.err;
    EXPECT_FALSE(Leaked(out)) << out;
    auto summary = SummaryByName(run.out);
    EXPECT_EQ(0, summary["ios_call_history"]["status"].asInt()) << out;
    EXPECT_EQ(0, summary["ios_contacts"]["status"].asInt()) << out;
    EXPECT_NE(0, summary["ios_messages"]["status"].asInt()) << out;
    const std::string named = backup == current ? summary["ios_messages"]["detail"].asString()
                                                : summary["outside_backup"]["detail"].asString();
    EXPECT_NE(std::string::npos, named.find(sms_id + ": a link to outside")) << run.out;
  }
}

TEST_F(OldBackupsTest, PulledFolderLinksOutAreNamedAndNeverFollowed) {
  const std::string pulled = out_.File("pulled");
  fs::create_directories(pulled + "/databases/kept");
  ASSERT_TRUE(kx::samples::WriteAndroidCallLog(pulled + "/databases/kept/calls.db",
                                               kx::samples::AndroidSampleOptions{}));
  fs::create_symlink("kept/calls.db", pulled + "/databases/calllog.db");  // stays inside
  fs::create_symlink(Backup("secret"), pulled + "/databases/mmssms.db");
  const ToolRun run = RunTool(
      {"android", pulled, "-o", out_.File("out"), "--config", kx::test::ConfigFolder(), "--json"});
  EXPECT_EQ(1, run.exit_code) << run.err;
  EXPECT_FALSE(Leaked("out"));
  auto summary = SummaryByName(run.out);
  EXPECT_EQ(0, summary["call_history"]["status"].asInt()) << run.out;
  EXPECT_NE(std::string::npos,
            summary["outside_folder"]["detail"].asString().find("mmssms.db: a link to outside"))
      << run.out;
}

}  // namespace
}  // namespace kxcli
