// WhatsApp and WhatsApp Business from an iOS backup (data types 14 and 24)
// through the library's entry points: whole documents and batch files on
// each store version and in each domain, members and their names, the same
// conversation on Android and on iOS, batch boundaries, stores of other
// versions, bad input and stops.
#include "samples/ios_whatsapp.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "common/backup_files.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "common/text.h"
#include "ioschat/ios_whatsapp_rules.h"
#include "kit/chat_batches.h"
#include "package_capture.h"
#include "samples/ios_backup.h"
#include "sdk/library.h"
#include "test_support.h"
#include "whatsapp_fixtures.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

using test::CapturedResults;
using test::Formatted;
using test::g_results;

constexpr int kWhatsApp = 14;
constexpr int kBusiness = 24;

const char* DomainOf(int data_type) {
  return data_type == kBusiness ? samples::kIosWhatsAppBusinessDomain : samples::kIosWhatsAppDomain;
}

constexpr char kAnna[] = "4915123456789@s.whatsapp.net";
constexpr char kGroup[] = "4915712345678-1600000000@g.us";
constexpr char kBroadcast[] = "1600000001@broadcast";

// tests/data/ios_whatsapp/sample_document.json: the chat document of the sample store. {MEMBER} is
// the data type's member, {CI} Anna's contact identifier (absent from version 1).

// tests/data/ios_whatsapp/anna_messages.json: the one-to-one chat: every media kind, a reply,
// links, several scripts.

// tests/data/ios_whatsapp/group_messages.json: the group: events by the owner and by a member, a
// member's text, the owner's picture (counted as sent in a group).

class IosWhatsAppTest : public test::BackupFolderTest {
 protected:
  std::string BackupPath(const std::string& relative) const {
    return BackupFilePath(backup_, samples::IosBackupFileId(DomainOf(data_type_), relative),
                          two_level_);
  }

  void AddBackupFile(const std::string& relative, const std::string& bytes) const {
    const std::string path = BackupPath(relative);
    fs::create_directories(PathFromUtf8(path).parent_path());
    test::WriteFileBytes(path, bytes);
  }

  // The sample store of `version`, its files in the backup.
  std::string SampleStore(int version) {
    const std::string path = JoinPath(root_, "ChatStorage" + std::to_string(version) + ".sqlite");
    std::vector<samples::IosWhatsAppFile> files;
    EXPECT_TRUE(samples::WriteIosWhatsApp(path, test::SampleVersion(version), &files));
    for (const samples::IosWhatsAppFile& file : files)
      AddBackupFile(file.relative_path, file.bytes);
    return path;
  }

  std::string Contacts() const {
    const std::string path = JoinPath(root_, "ContactsV2.sqlite");
    EXPECT_TRUE(samples::WriteIosWhatsAppContacts(path));
    return path;
  }

  std::string OwnerPlist() const {
    const std::string path = JoinPath(root_, "owner.plist");
    test::WriteFileBytes(path, samples::IosWhatsAppOwnerPlist(samples::kIosWhatsAppOwnerJid));
    return path;
  }

  Json::Value Request(const std::string& store) const {
    return test::MakeRequest(data_type_, temp_,
                             {{"msg_file_path", store},
                              {"name_file_path", Contacts()},
                              {"owner_plist_file_path", OwnerPlist()}},
                             {{"has_sub_dir", two_level_ ? "1" : "0"}}, backup_);
  }

  int Run(const Json::Value& request) {
    Reset();
    return test::FilterAndPackage(request);
  }

  // {T}/ the temp folder, {P:path} the backup file of a path of the
  // domain, {H:text} a hash as side files are named.
  std::string Expanded(const std::string& text) const { return Formatted(ExpandedText(text)); }
  std::string ExpandedText(std::string text) const {
    for (size_t at = text.find("{P:"); at != std::string::npos; at = text.find("{P:")) {
      const size_t end = text.find('}', at);
      text.replace(at, end - at + 1,
                   test::JsonEscaped(BackupPath(text.substr(at + 3, end - at - 3))));
    }
    return test::Expand(text, temp_);
  }

  std::string Batch(const std::string& jid) const {
    return test::ReadFileBytes(JoinPath(temp_, BatchFileName(jid, 0, false)));
  }

  std::string Document() const { return g_results.text; }

  int data_type_ = kWhatsApp;
  bool two_level_ = true;
};

// Each store version, in each application's domain and with either backup
// layout: the whole document and every batch file.
TEST_F(IosWhatsAppTest, WholeDocumentsOnEveryVersionAndDomain) {
  const struct {
    int data_type;
    bool two_level;
    const char* member;
  } runs[] = {{kWhatsApp, true, "whatsapp_chatsessions"},
              {kBusiness, false, "whatsappBusiness_chatsessions"}};
  for (const auto& run : runs) {
    for (int version = samples::kIosWhatsAppOldestSchema;
         version <= samples::kIosWhatsAppNewestSchema; ++version) {
      SCOPED_TRACE(std::to_string(run.data_type) + " version " + std::to_string(version));
      Fresh();
      data_type_ = run.data_type;
      two_level_ = run.two_level;
      ASSERT_TRUE(test::HandedOver(Run(Request(SampleStore(version))),
                                   run.data_type == kWhatsApp ? 12 : 19));
      const std::string identifier = version == samples::kIosWhatsAppOldestSchema
                                         ? ""
                                         : R"("contact_identifier": "A1B2C3D4-ANNA:ABPerson",)";
      EXPECT_EQ(Expanded(ReplaceAll(ReplaceAll(test::DataFile("ios_whatsapp/sample_document.json"),
                                               "{MEMBER}", run.member),
                                    "{CI}", identifier)),
                Document());
      EXPECT_EQ(Expanded(test::DataFile("ios_whatsapp/anna_messages.json")), Batch(kAnna));
      EXPECT_EQ(Expanded(test::DataFile("ios_whatsapp/group_messages.json")), Batch(kGroup));
      EXPECT_EQ(Expanded(test::DataFile("ios_whatsapp/broadcast_messages.json")),
                Batch(kBroadcast));
      EXPECT_EQ("BEGIN:VCARD\nVERSION:3.0\nFN:José Álvarez\nEND:VCARD\n",
                test::ReadFileBytes(JoinPath(
                    temp_, test::Expand("{H:4915123456789@s.whatsapp.net3A1006F0C1}.vcf", ""))));
    }
  }
}

// A store with only the columns other tools keep: every message packaged,
// what was missing logged once per query.
TEST_F(IosWhatsAppTest, TrimmedStorePackagesEveryMessage) {
  ASSERT_TRUE(test::HandedOver(Run(Request(SampleStore(samples::kIosWhatsAppTrimmedSchema)))));
  EXPECT_EQ(Expanded(test::DataFile("ios_whatsapp/trimmed_document.json")), Document());
  EXPECT_EQ(Expanded(test::DataFile("ios_whatsapp/trimmed_group_batch.json")), Batch(kGroup));
  EXPECT_EQ(12u, test::Parsed(Batch(kAnna)).size());
  const std::string log = Log();
  for (const char* missing :
       {"the chat store has no ZHIDDEN, ZREMOVED", "the member tables have no ZWAGROUPMEMBER",
        "the message store has no ZGROUPEVENTTYPE, ZMESSAGESTATUS, ZSTANZAID"}) {
    SCOPED_TRACE(missing);
    EXPECT_EQ(1u, test::Occurrences(log, missing)) << log;
  }
}

// Missing inputs in the order they are checked, and chat stores that
// cannot be read: the status, the log line, no document.
TEST_F(IosWhatsAppTest, RefusedInputs) {
  const std::string store = SampleStore(samples::kIosWhatsAppMiddleSchema);
  const std::string no_chats = JoinPath(root_, "no_chats.sqlite");
  test::RunSql(no_chats,
               "CREATE TABLE ZWAMESSAGE (Z_PK INTEGER PRIMARY KEY, ZCHATSESSION INTEGER);");
  struct Case {
    std::string wrong;
    int status;
    std::string logged;
  };
  std::vector<Case> cases = {
      {"msg_file_path", kStatusMissingInput, "No primary file."},
      {"name_file_path", kStatusMissingInput, "No primary file."},
      {"owner_plist_file_path", kStatusMissingInput, "No primary file."},
      {"owner_plist_empty", kStatusMissingInput, "No primary file."},
      {"backup", kStatusMissingInput, "No backup folder."},
      {"has_sub_dir", kStatusMissingInput, "No required param."},
      {no_chats, kStatusPrepareFailed, "sqlite error message : no such table: ZWACHATSESSION."},
  };
  for (const test::DamagedDatabase& damaged :
       test::DamageDatabase(store, JoinPath(root_, "damaged"))) {
    cases.push_back({damaged.path, damaged.status, "WhatsApp primary database open fail"});
  }
  for (const Case& one : cases) {
    SCOPED_TRACE(one.wrong);
    Reset();
    DataTypeRecord record;
    record.data_type = kWhatsApp;
    record.temp_folder = temp_;
    record.additional_param = one.wrong == "backup" ? "" : backup_;
    record.primary_files = {
        {"msg_file_path", one.status == kStatusMissingInput ? store : one.wrong},
        {"name_file_path", Contacts()},
        {"owner_plist_file_path", one.wrong == "owner_plist_empty" ? "" : OwnerPlist()}};
    record.other_info = {{"has_sub_dir", "1"}};
    record.primary_files.erase(one.wrong);
    record.other_info.erase(one.wrong);
    EXPECT_TRUE(test::NothingHandedOver(test::CallPackageFunction(&record), one.status));
    EXPECT_TRUE(Logged("[ioswhatsappdatapackage]"));
    EXPECT_TRUE(Logged(one.logged));
  }
}

// A missing or damaged address book or owner list loses only their names:
// the chats are packaged all the same.
TEST_F(IosWhatsAppTest, MissingNamesStillPackageTheChats) {
  const std::string store = SampleStore(samples::kIosWhatsAppMiddleSchema);
  const std::string garbage = JoinPath(root_, "garbage");
  test::WriteFileBytes(garbage, std::string(4096, '\x5a'));
  for (const char* wrong : {"name_file_path", "owner_plist_file_path"}) {
    SCOPED_TRACE(wrong);
    Json::Value request = Request(store);
    request["primary_file_object"][wrong] = garbage;
    ASSERT_TRUE(test::HandedOver(Run(request)));
    const Json::Value document = test::Parsed(Document());
    EXPECT_EQ(3u, document["size"].asUInt());
    const Json::Value& jose = document["whatsapp_chatsessions"][1]["members"][1];
    const bool contacts = std::string(wrong) != "name_file_path";
    EXPECT_EQ(contacts, jose.isMember("member_name"));
    EXPECT_EQ(contacts ? "" : samples::kIosWhatsAppOwnerJid, document["owner_jid"].asString());
  }
}

// Paths with "..", a leading separator, NUL or a colon are never looked up;
// a jid or push name of 10,000 characters only ever names files by its hash.
TEST_F(IosWhatsAppTest, HostileValuesStayInsideTheTempFolder) {
  const std::string store = SampleStore(samples::kIosWhatsAppMiddleSchema);
  const std::string long_jid = std::string(10000, '7') + "/../../x@s.whatsapp.net";
  test::RunSql(store,
               "UPDATE ZWAMEDIAITEM SET ZMEDIALOCALPATH = '../../../etc/passwd' WHERE Z_PK = 1;"
               "UPDATE ZWAMEDIAITEM SET ZMEDIALOCALPATH = '/etc/passwd' WHERE Z_PK = 2;"
               "UPDATE ZWAMEDIAITEM SET ZMEDIALOCALPATH = 'C:\\Windows\\win.ini' WHERE Z_PK = 3;"
               "UPDATE ZWAMEDIAITEM SET ZMEDIALOCALPATH = 'a' || char(0) || 'b' WHERE Z_PK = 6;"
               "UPDATE ZWAPROFILEPICTUREITEM SET ZPATH = '../Profile/x';"
               "UPDATE ZWAPROFILEPUSHNAME SET ZPUSHNAME = '" +
                   std::string(10000, 'n') +
                   "/../x';"
                   "UPDATE ZWACHATSESSION SET ZCONTACTJID = '" +
                   long_jid + "' WHERE Z_PK = 1;");
  ASSERT_EQ(kStatusOk, Run(Request(store)));
  const Json::Value document = test::Parsed(Document());
  const Json::Value& chat = document["whatsapp_chatsessions"][2];
  ASSERT_EQ(long_jid, chat["jid"].asString());
  EXPECT_FALSE(chat.isMember("profile_backup_path"));
  EXPECT_EQ(std::string(10000, 'n') + "/../x",
            document["whatsapp_chatsessions"][1]["members"][0]["member_name"].asString());
  const std::vector<Json::Value> messages = test::ChatMessages(chat);
  ASSERT_EQ(12u, messages.size());
  for (const size_t i : {1, 3, 4, 7}) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(messages[i].isMember("media_path"));
    EXPECT_FALSE(messages[i].isMember("media_relative_path"));
  }
  // Every file written is a direct child of the temp folder.
  for (const auto& entry : fs::recursive_directory_iterator(PathFromUtf8(root_))) {
    if (!entry.is_regular_file()) continue;
    const fs::path parent = entry.path().parent_path();
    EXPECT_TRUE(parent == PathFromUtf8(temp_) || parent == PathFromUtf8(root_) ||
                PathToUtf8(parent).rfind(backup_, 0) == 0)
        << entry.path();
  }
  EXPECT_TRUE(fs::exists(PathFromUtf8(JoinPath(temp_, BatchFileName(long_jid, 0, false)))));
}

TEST_F(IosWhatsAppTest, StopSetBeforeAndStopFromAnotherThread) {
  for (const int data_type : {kWhatsApp, kBusiness}) {
    SCOPED_TRACE(data_type);
    Fresh();
    data_type_ = data_type;
    const std::string store = JoinPath(root_, "bulk.sqlite");
    ASSERT_TRUE(samples::WriteIosWhatsAppBulk(store, 40, 2000));
    const std::string name =
        data_type == kWhatsApp ? "IOSWhatsAppDataPackage" : "IOSWhatsAppBusinessDataPackge";

    DataTypeRecord record;
    record.data_type = data_type;
    record.temp_folder = temp_;
    record.additional_param = backup_;
    record.primary_files = {{"msg_file_path", store},
                            {"name_file_path", Contacts()},
                            {"owner_plist_file_path", OwnerPlist()}};
    record.other_info = {{"has_sub_dir", "1"}};
    std::atomic<int> stop{1};
    Reset();
    EXPECT_TRUE(test::NothingHandedOver(
        test::CallPackageFunction(&record, test::CaptureResult, &stop), kStatusOk));
    EXPECT_TRUE(Logged(name + " stoped!"));

    ExpectStopWhilePackaging(Request(store), name);
  }
}

// Group events the sample's documents do not hold.
TEST(IosWhatsAppRules, GroupEventsReadAsAndroidActions) {
  const std::pair<int64_t, int64_t> events[] = {{0, 0},   {1, 1},   {2, 12},  {3, 5},
                                                {4, 6},   {7, 14},  {11, 11}, {12, 15},
                                                {17, 20}, {22, 56}, {99, 0}};
  for (const auto& [ios, action] : events) EXPECT_EQ(action, AndroidActionType(ios)) << ios;
}

}  // namespace
}  // namespace kx
