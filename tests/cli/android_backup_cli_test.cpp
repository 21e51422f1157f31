// `adb backup` files through the command-line host: every version,
// compressed or not, plain or AES-256, packages as the same databases
// pulled off the phone; the summary lists the backup's apps; a wrong
// password, an unknown version or a damaged stream is refused.
#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "samples/android_backup_file.h"
#include "samples/sample_set.h"
#include "test_support.h"

namespace kxcli {
namespace {

constexpr char kPassword[] = "adb pass";

class AndroidBackupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempDir;
    std::string error;
    ASSERT_TRUE(kx::samples::WriteAndroidSampleSet(folder_->path(), 1, &error)) << error;
    WriteFileBytes(folder_->File("password"), std::string(kPassword) + "\n");
    WriteFileBytes(folder_->File("wrong"), "not it\n");
    // What a backup keeps of the messages: their text, not attachments.
    pulled_ = folder_->File("pulled");
    fs::copy(folder_->File(kx::samples::kSampleAndroidFolder), pulled_,
             fs::copy_options::recursive);
    kx::test::RunSql(pulled_ + "/mmssms.db", "DELETE FROM part WHERE ct <> 'text/plain'");
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }

  static std::string WriteBackup(const std::string& name,
                                 const kx::samples::AndroidBackupFileOptions& options) {
    std::string error;
    const std::string path = folder_->File(name);
    EXPECT_TRUE(kx::samples::WriteAndroidBackupFile(
        folder_->File(kx::samples::kSampleAndroidFolder), path, options, &error))
        << error;
    return path;
  }

  ToolRun Package(const std::string& source, const std::string& out,
                  const std::vector<std::string>& more = {}) {
    return RunPackage("android", source, out_.File(out), more);
  }

  // The JSON documents of a run, its folders named alike.
  std::map<std::string, std::string> Documents(const std::string& out, const std::string& source) {
    std::map<std::string, std::string> documents;
    for (const auto& [name, text] : ComparablePackages(out_.File(out), source)) {
      if (name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0 &&
          name.rfind("android-backup", 0) != 0) {
        documents[name] = text;
      }
    }
    return documents;
  }

  static inline TempDir* folder_ = nullptr;
  static inline std::string pulled_;
  TempDir out_;
};

TEST_F(AndroidBackupTest, EveryVersionPackagesAsThePulledDatabases) {
  const ToolRun pulled = Package(pulled_, "pulled");
  ASSERT_EQ(0, pulled.exit_code) << pulled.err;
  const auto expected = Documents("pulled", pulled_);
  EXPECT_GT(expected.size(), 20u);
  const struct {
    int version;
    bool compressed;
    const char* password;
  } cases[] = {{5, true, ""},        {5, true, kPassword},  {1, false, ""},
               {1, true, kPassword}, {2, false, kPassword}, {4, true, ""}};
  for (const auto& c : cases) {
    kx::samples::AndroidBackupFileOptions options;
    options.version = c.version;
    options.compressed = c.compressed;
    options.password = c.password;
    options.rounds = 100;
    const std::string name =
        "v" + std::to_string(c.version) + (c.compressed ? "z" : "") + (*c.password ? "-aes" : "");
    const std::string backup = WriteBackup(name + ".ab", options);
    const ToolRun run = Package(backup, name, {"--password-file", folder_->File("password")});
    ASSERT_EQ(0, run.exit_code) << name << "\n" << run.err;
    EXPECT_EQ(expected, Documents(name, out_.File(name + "/android-backup"))) << name;
    auto summary = SummaryByName(run.out);
    EXPECT_EQ("packaged as call_history, contacts",
              summary["app com.android.providers.contacts"]["detail"].asString());
    EXPECT_EQ("packaged as sms",
              summary["app com.android.providers.telephony"]["detail"].asString());
    EXPECT_EQ("not packaged", summary["app com.example.notes"]["detail"].asString());
    // Only what the packagers read was written.
    EXPECT_FALSE(fs::exists(out_.File(name + "/android-backup/apps/com.example.notes")));
  }
}

TEST_F(AndroidBackupTest, WrongPasswordUnknownFormsAndDamageAreRefused) {
  kx::samples::AndroidBackupFileOptions options;
  const std::string plain = ReadFileBytes(WriteBackup("plain.ab", options));
  options.password = kPassword;
  const std::string encrypted = WriteBackup("encrypted.ab", options);
  std::string bytes = plain;
  bytes[15] = '9';
  WriteFileBytes(folder_->File("v9.ab"), bytes);
  bytes = plain;
  bytes.replace(19, 4, "ROT13");
  WriteFileBytes(folder_->File("rot13.ab"), bytes);
  WriteFileBytes(folder_->File("cut.ab"), plain.substr(0, plain.size() / 2));
  bytes = plain;
  for (size_t i = 200; i < 260; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
  WriteFileBytes(folder_->File("damaged.ab"), bytes);
  std::string blob = ReadFileBytes(encrypted);
  // The master key blob is the ninth line of the header.
  size_t blob_line = 0;
  for (int line = 0; line < 8; ++line) blob_line = blob.find('\n', blob_line) + 1;
  blob[blob_line + 5] = blob[blob_line + 5] == '0' ? '1' : '0';
  WriteFileBytes(folder_->File("blob.ab"), blob);
  const struct {
    std::string file;
    std::string message;
    bool writes;  // OUT holds the log and what was taken before the fault
  } cases[] = {
      {encrypted, "wrong password, or a damaged master key blob", false},
      {folder_->File("blob.ab"), "wrong password, or a damaged master key blob", false},
      {folder_->File("v9.ab"), "v9.ab: at offset 15: unknown format version \"9\"", false},
      {folder_->File("rot13.ab"), "rot13.ab: at offset 19: unknown encryption", false},
      {folder_->File("cut.ab"), "cut.ab: at compressed byte ", true},
      {folder_->File("damaged.ab"), "damaged.ab: at compressed byte ", true},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string out = "refused" + std::to_string(++n);
    const ToolRun run =
        Package(c.file, out,
                {"--password-file", folder_->File(c.file == encrypted ? "wrong" : "password")});
    EXPECT_EQ(1, run.exit_code) << c.message;
    EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.message << "\n" << run.err;
    EXPECT_EQ(c.writes, fs::exists(out_.File(out))) << c.message;
  }
}

TEST_F(AndroidBackupTest, OlderBackupFileBringsDeletedRecordsBackAsOlderDatabasesDo) {
  const std::string older = folder_->File(kx::samples::kSampleOlderFolder);
  std::string error;
  ASSERT_TRUE(kx::samples::WriteAndroidBackupFile(older, folder_->File("older.ab"), {}, &error))
      << error;
  const std::string current = WriteBackup("current.ab", {});
  const ToolRun pulled =
      Package(pulled_, "pulled",
              {"--copy", "call_history=" + older + "/calllog.db", "--copy",
               "contacts=" + older + "/contacts2.db", "--copy",
               "whatsapp=" + older + "/msgstore.db", "--copy", "whatsapp=" + older + "/wa.db"});
  const ToolRun backups = Package(current, "backups", {"--copy", folder_->File("older.ab")});
  ASSERT_EQ(0, pulled.exit_code) << pulled.err;
  ASSERT_EQ(0, backups.exit_code) << backups.err;
  auto expected = Documents("pulled", pulled_);
  auto documents = Documents("backups", out_.File("backups/android-backup"));
  // The older messages come from the telephony backup, without attachments.
  expected.erase("sms/result.json");
  documents.erase("sms/result.json");
  EXPECT_EQ(expected, documents);
  EXPECT_NE(std::string::npos, documents["call_history/result.json"].find("\"deleted\""));
}

}  // namespace
}  // namespace kxcli
