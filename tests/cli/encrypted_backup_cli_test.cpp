// Encrypted iOS backups through the command-line host: packaged as the
// plain backup they were made from, refused clearly with a wrong password
// or a damaged keybag, and packaged as far as they go when single files
// cannot be decrypted.
#include <gtest/gtest.h>
#include <json/json.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "samples/ios_backup.h"
#include "samples/ios_encrypted_backup.h"
#include "samples/sample_set.h"
#include "test_support.h"

namespace kxcli {
namespace {

class EncryptedBackupTest : public SampleSetTest {
 protected:
  static std::string Sample(const char* name) { return samples_->File(name); }
  static std::string PasswordFile() { return Sample(kx::samples::kSampleIosPasswordFile); }

  // Runs `ios` on `backup` into a fresh folder under out_.
  ToolRun Package(const std::string& backup, const std::string& out,
                  const std::vector<std::string>& more = {}) {
    return RunPackage("ios", backup, out_.File(out), more);
  }

  std::map<std::string, std::string> Packages(const std::string& out,
                                              const std::string& backup_root) {
    return ComparablePackages(out_.File(out), backup_root);
  }
};

TEST_F(EncryptedBackupTest, PackagesAsThePlainBackupItWasMadeFrom) {
  const auto before = Snapshot(Sample("ios-encrypted"));
  const ToolRun plain = Package(Sample("ios"), "plain");
  const ToolRun encrypted =
      Package(Sample("ios-encrypted"), "encrypted", {"--password-file", PasswordFile()});
  ASSERT_EQ(0, plain.exit_code) << plain.err;
  ASSERT_EQ(0, encrypted.exit_code) << encrypted.err;
  EXPECT_EQ(before, Snapshot(Sample("ios-encrypted")));  // the backup is only read
  const auto expected = Packages("plain", Sample("ios"));
  EXPECT_GT(expected.size(), 30u);
  const auto decrypted = Packages("encrypted", out_.File("encrypted/decrypted-backup"));
  ASSERT_EQ(expected.size(), decrypted.size());
  for (const auto& [name, text] : expected) {
    // The catalogue's staged copy also holds the files' keys.
    if (name.find("Manifest.db") != std::string::npos) continue;
    EXPECT_TRUE(decrypted.count(name) && decrypted.at(name) == text) << name;
  }
  EXPECT_EQ(fs::perms::owner_all,
            fs::status(out_.File("encrypted/decrypted-backup")).permissions());

  // The provenance names the same files of the backup, with the hashes of
  // their plain contents, and says they were decrypted from which file.
  const Json::Value encrypted_summary = ParseFile(out_.File("encrypted/summary.json"));
  std::map<std::string, Json::Value> sources;
  for (const Json::Value& source : encrypted_summary["provenance"]["sources"]) {
    sources[source["domain"].asString() + " " + source["relative_path"].asString()] = source;
  }
  const Json::Value plain_summary = ParseFile(out_.File("plain/summary.json"));
  const Json::Value& listed = plain_summary["provenance"]["sources"];
  ASSERT_GT(listed.size(), 20u);
  for (const Json::Value& source : listed) {
    if (source["relative_path"] == "Manifest.db") continue;
    const Json::Value& copy =
        sources[source["domain"].asString() + " " + source["relative_path"].asString()];
    EXPECT_EQ(source["sha256"], copy["sha256"]) << source;
    EXPECT_FALSE(source["decrypted"].asBool()) << source;
    EXPECT_TRUE(copy["decrypted"].asBool()) << copy;
    EXPECT_EQ(std::string::npos, copy["encrypted_path"].asString().find("decrypted-backup"));
    EXPECT_NE(copy["sha256"], copy["encrypted_sha256"]) << copy;
  }
}

TEST_F(EncryptedBackupTest, PasswordComesFromTheEnvironmentWhenNoFileIsNamed) {
  setenv("KXPACKAGE_BACKUP_PASSWORD", kx::samples::kSampleIosPassword, 1);
  const ToolRun run = Package(Sample("ios-encrypted"), "by-variable");
  unsetenv("KXPACKAGE_BACKUP_PASSWORD");
  ASSERT_EQ(0, run.exit_code) << run.err;
  EXPECT_EQ(0, SummaryByName(run.out)["ios_call_history"]["status"].asInt());
}

TEST_F(EncryptedBackupTest, BadPasswordOrKeybagIsRefusedAndNothingIsWritten) {
  TempDir bad;
  WriteFileBytes(bad.File("wrong"), "not the password\n");
  fs::copy(Sample("ios-encrypted"), bad.File("not-a-list"), fs::copy_options::recursive);
  WriteFileBytes(bad.File("not-a-list/Manifest.plist"), "<?xml version=\"1.0\"?><plist><dict>");
  // The keybag cut inside an entry: the list still reads, the keybag does not.
  fs::copy(Sample("ios-encrypted"), bad.File("cut-keybag"), fs::copy_options::recursive);
  std::string manifest = ReadFileBytes(bad.File("cut-keybag/Manifest.plist"));
  const size_t keybag = manifest.find("<data>", manifest.find("BackupKeyBag")) + 6;
  ASSERT_LT(keybag, manifest.find("</data>", keybag));
  // "VERS" with a length of 255, then one byte.
  manifest.replace(keybag, manifest.find("</data>", keybag) - keybag, "VkVSUwAAAP8A");
  WriteFileBytes(bad.File("cut-keybag/Manifest.plist"), manifest);
  const struct {
    std::string backup;
    std::vector<std::string> password;
    std::string message;
  } cases[] = {
      {Sample("ios-encrypted"), {"--password-file", bad.File("wrong")}, "wrong password"},
      {Sample("ios-encrypted"), {"--password-file", bad.File("missing")}, "missing: cannot read"},
      // No file, no variable and no terminal: say where a password may come from.
      {Sample("ios-encrypted"), {}, "--password-file"},
      {bad.File("not-a-list"), {"--password-file", PasswordFile()}, "not a property list"},
      {bad.File("cut-keybag"), {"--password-file", PasswordFile()}, "runs past its end"},
  };
  int n = 0;
  for (const auto& test : cases) {
    const std::string out = "refused" + std::to_string(++n);
    const ToolRun run = Package(test.backup, out, test.password);
    EXPECT_EQ(1, run.exit_code) << test.message;
    EXPECT_NE(std::string::npos, run.err.find(test.message)) << run.err;
    EXPECT_FALSE(fs::exists(out_.File(out))) << test.message;
  }
}

TEST_F(EncryptedBackupTest, FileWithoutKeyOrCutShortIsNamedAndTheOthersAreRead) {
  kx::samples::BackupEncryptionOptions options;
  options.keyless_path = kx::samples::kIosCallHistoryPath;
  options.cut_path = kx::samples::kIosVoicemailPath;
  options.double_iterations = 0;  // an older backup: SHA-1 rounds only
  std::string error;
  ASSERT_TRUE(kx::samples::EncryptIosBackup(Sample("ios"), out_.File("damaged"),
                                            kx::samples::kSampleIosPassword, options, &error))
      << error;
  const ToolRun run =
      Package(out_.File("damaged"), "packaged", {"--password-file", PasswordFile()});
  EXPECT_EQ(1, run.exit_code) << run.err;  // two data types failed
  const std::string calls_id =
      kx::samples::IosBackupFileId(kx::samples::kIosHomeDomain, kx::samples::kIosCallHistoryPath);
  const std::string voicemail_id =
      kx::samples::IosBackupFileId(kx::samples::kIosHomeDomain, kx::samples::kIosVoicemailPath);
  EXPECT_NE(std::string::npos, run.err.find(calls_id + ": its catalogue record has no key"))
      << run.err;
  EXPECT_NE(std::string::npos, run.err.find(voicemail_id + ": is shorter than its size"))
      << run.err;
  auto summary = SummaryByName(run.out);
  EXPECT_NE(0, summary["ios_call_history"]["status"].asInt());
  EXPECT_NE(0, summary["ios_voicemail"]["status"].asInt());
  EXPECT_EQ(0, summary["ios_contacts"]["status"].asInt());
  EXPECT_EQ(0, summary["ios_messages"]["status"].asInt());
}

TEST_F(EncryptedBackupTest, EncryptedOlderBackupBringsDeletedRecordsBackAsAPlainOne) {
  std::string error;
  ASSERT_TRUE(kx::samples::EncryptIosBackup(Sample("ios-older"), out_.File("older-encrypted"),
                                            kx::samples::kSampleIosPassword, {}, &error))
      << error;
  const ToolRun plain = Package(Sample("ios"), "with-plain", {"--copy", Sample("ios-older")});
  const ToolRun mixed =
      Package(Sample("ios"), "with-encrypted",
              {"--copy", out_.File("older-encrypted"), "--password-file", PasswordFile()});
  ASSERT_EQ(0, plain.exit_code) << plain.err;
  ASSERT_EQ(0, mixed.exit_code) << mixed.err;
  EXPECT_GT(TaggedIosRecords(out_.File("with-plain")), 0);
  EXPECT_EQ(TaggedIosRecords(out_.File("with-plain")),
            TaggedIosRecords(out_.File("with-encrypted")));
}

}  // namespace
}  // namespace kxcli
