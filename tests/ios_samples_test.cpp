// The sample backup: its catalogue names every file under the id its domain
// and path give, and the file sits where the two-level layout puts it. (The
// stores inside are packaged whole by the packagers' own tests.) And the
// facts of the sample message stores the messages packager relies on: the
// columns of each version, the attachments in the backup, and attributed
// text that the library's reader reads back.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/backup_files.h"
#include "common/typed_stream.h"
#include "samples/ios_backup.h"
#include "samples/ios_messages.h"
#include "test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using test::QueryColumn;
using test::TempDir;

TEST(IosBackupSampleTest, CatalogueNamesFilesStoredUnderTheirIds) {
  TempDir dir;
  std::string error;
  samples::IosBackupOptions options;
  ASSERT_TRUE(samples::WriteIosBackup(dir.path(), options, &error)) << error;
  const std::string manifest = dir.File("Manifest.db");
  // Ids of the stores as public write-ups on iOS backups give them.
  EXPECT_EQ(
      (std::vector<std::string>{
          "1a0e7afc19d307da602ccdcece51af33afe92c53", "31bb7ba8914766d4ba40d6dfb6113c8b614be442",
          "5a4935c78a5255723f707230a451d79c540d2741", "992df473bbb9e132f4b3b6e4d33f72171e97bc7a",
          "d1f062e2da26192a6625d968274bfda8d07821e4"}),
      QueryColumn(manifest,
                  "SELECT fileID FROM Files WHERE relativePath IN "
                  "('Library/AddressBook/AddressBook.sqlitedb', "
                  "'Library/CallHistoryDB/CallHistory.storedata', "
                  "'Library/Voicemail/voicemail.db', 'Library/Safari/Bookmarks.db', "
                  "'Library/Safari/History.db') ORDER BY 1"));
  // The notes stores, likewise.
  EXPECT_EQ((std::vector<std::string>{"4f98687d8ab0d6d1a371110e6b7300f6e465bef2",
                                      "ca3bc056d4da0bbf88b5fb3be254f3b7147e639c"}),
            QueryColumn(manifest,
                        "SELECT fileID FROM Files WHERE relativePath IN ('NoteStore.sqlite', "
                        "'Library/Notes/notes.sqlite') ORDER BY 1"));
  // The application stores, in their own domains.
  EXPECT_EQ((std::vector<std::string>{
                "AppDomainGroup-group.com.facebook.Messenger|_store_DB454929-7BCD-42B5-B105-"
                "ED95063B0D98/messenger_contacts.v1/fbomnistore.db",
                "AppDomainGroup-group.com.kik.chat|cores/private/7d1b3a2e0c9f4e8b/kik.sqlite",
                "BooksDomain|Books.plist"}),
            QueryColumn(manifest,
                        "SELECT domain || '|' || relativePath FROM Files WHERE relativePath IN "
                        "('Books.plist') OR relativePath LIKE '%kik.sqlite' OR relativePath LIKE "
                        "'%fbomnistore.db' ORDER BY 1"));
  const std::vector<std::string> rows =
      QueryColumn(manifest,
                  "SELECT fileID || '|' || domain || '|' || relativePath || '|' || "
                  "flags FROM Files");
  int folders = 0;
  for (const std::string& row : rows) {
    const size_t a = row.find('|'), b = row.find('|', a + 1), c = row.rfind('|');
    const std::string id = row.substr(0, a);
    EXPECT_EQ(BackupFileId(row.substr(a + 1, b - a - 1), row.substr(b + 1, c - b - 1)), id);
    const bool file = row.substr(c + 1) == "1";
    folders += file ? 0 : 1;
    EXPECT_EQ(file, fs::is_regular_file(fs::u8path(BackupFilePath(dir.path(), id, true)))) << row;
  }
  EXPECT_GT(folders, 0);
  const std::string info = test::ReadFileBytes(dir.File("Info.plist"));
  EXPECT_NE(std::string::npos, info.find("<key>Product Version</key>\n\t<string>17.3.1</string>"));
  EXPECT_NE(
      std::string::npos,
      test::ReadFileBytes(dir.File("Manifest.plist")).find("<key>IsEncrypted</key>\n\t<false/>"));
}

// The photo library under the id public write-ups give it, with the
// thumbnail configuration it is read with.
TEST(IosPhotosSampleTest, BackupHoldsTheLibraryAndItsMedia) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(samples::WriteIosBackup(dir.path(), samples::IosBackupOptions(), &error)) << error;
  EXPECT_EQ((std::vector<std::string>{"12b144c0bd44f2b3dffd9186d3f9c05b917cee25"}),
            QueryColumn(dir.File("Manifest.db"),
                        "SELECT fileID FROM Files WHERE domain = 'CameraRollDomain' AND "
                        "relativePath = 'Media/PhotoData/Photos.sqlite'"));
  const std::string library =
      BackupFilePath(dir.path(), "12b144c0bd44f2b3dffd9186d3f9c05b917cee25", true);
  EXPECT_EQ((std::vector<std::string>{"6", "2"}),
            QueryColumn(library,
                        "SELECT count(*) FROM ZASSET UNION ALL SELECT count(*) FROM "
                        "ZGENERICALBUM WHERE ZKIND = 2"));
  const std::string config = BackupFilePath(
      dir.path(), BackupFileId("CameraRollDomain", samples::kIosThumbConfigPath), true);
  EXPECT_NE(std::string::npos, test::ReadFileBytes(config).find("<integer>5005</integer>"));
}

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

std::string WriteMessages(const TempDir& dir, const std::string& name, int version,
                          const samples::IosMessagesShape& shape = {}, bool older = false) {
  samples::IosSampleOptions options;
  options.schema_version = version;
  options.older_copy = older;
  const std::string path = dir.File(name);
  EXPECT_TRUE(samples::WriteIosMessages(path, options, shape));
  return path;
}

TEST(IosMessagesSampleTest, EachVersionHasTheColumnsOfItsPhones) {
  // Columns the packager's queries name, as each version has them (the
  // is_deleted columns come only from merging copies), and the first of
  // its three attachment column lists that prepares.
  const char* kNamed =
      "SELECT group_concat(t || '.' || name, ' ') FROM (SELECT 'message' AS t, name FROM "
      "pragma_table_info('message') UNION ALL SELECT 'chat_message_join', name FROM "
      "pragma_table_info('chat_message_join') UNION ALL SELECT 'attachment', name FROM "
      "pragma_table_info('attachment') UNION ALL SELECT 'chat', name FROM "
      "pragma_table_info('chat') UNION ALL SELECT 'table', name FROM sqlite_master WHERE "
      "type='table') WHERE name IN ('destination_caller_id', 'message_date', 'hide_attachment', "
      "'is_sticker', 'sr_ck_record_id', 'date_edited', 'date_retracted', 'is_deleted', "
      "'chat_recoverable_message_join', 'has_dd_results', 'cache_roomnames')";
  const std::string lists[] = {
      "ck_sync_state, hide_attachment, is_sticker, sr_ck_sync_state, ck_record_id, "
      "sr_ck_record_id, original_guid, user_info, sticker_user_info, attribution_info, "
      "ck_server_change_token_blob, sr_ck_server_change_token_blob",
      "hide_attachment, is_sticker, user_info, sticker_user_info, attribution_info",
      "is_outgoing, transfer_state, user_info"};
  const struct {
    int version;
    std::string columns;
    std::string date_digits;
    std::string first_attachment_list;
  } cases[] = {
      {1, "message.has_dd_results message.cache_roomnames", "9", "3"},
      {2,
       "message.has_dd_results message.cache_roomnames message.destination_caller_id "
       "chat_message_join.message_date attachment.is_sticker attachment.hide_attachment",
       "18", "2"},
      {3,
       "message.has_dd_results message.cache_roomnames message.destination_caller_id "
       "message.sr_ck_record_id message.date_retracted message.date_edited "
       "chat_message_join.message_date "
       "attachment.is_sticker attachment.hide_attachment attachment.sr_ck_record_id "
       "table.chat_recoverable_message_join",
       "18", "1"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const std::string path =
        WriteMessages(dir, "sms" + std::to_string(c.version) + ".db", c.version);
    EXPECT_EQ(std::vector<std::string>{c.columns}, QueryColumn(path, kNamed)) << c.version;
    EXPECT_EQ(std::vector<std::string>{c.date_digits},
              QueryColumn(path, "SELECT DISTINCT length(date) FROM message"))
        << c.version;
    std::string first;
    for (int i = 2; i >= 0; --i) {
      sqlite3* db = nullptr;
      sqlite3_stmt* stmt = nullptr;
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
      const std::string sql = "SELECT " + lists[i] + " FROM attachment";
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
        first = std::to_string(i + 1);
      }
      sqlite3_finalize(stmt);
      sqlite3_close(db);
    }
    EXPECT_EQ(c.first_attachment_list, first) << c.version;
  }
}

TEST(IosMessagesSampleTest, ConversationsOfTheSampleAndTheOlderCopy) {
  TempDir dir;
  const std::string newer = WriteMessages(dir, "newer.db", 0);
  const std::string older = WriteMessages(dir, "older.db", 0, {}, true);
  const char* kChats =
      "SELECT ROWID || '|' || chat_identifier || '|' || service_name || '|' || "
      "ifnull(room_name, '-') || '|' || ifnull(display_name, '-') || '|' || (SELECT "
      "group_concat(handle_id) FROM chat_handle_join WHERE chat_id = chat.ROWID) FROM chat";
  const std::vector<std::string> chats = {
      "1|+15550104477|iMessage|-|-|1",
      "2|+15550104477|SMS|-|-|2",
      "3|mia.chen@icloud.com|iMessage|-|-|3",
      "4|chat874512036985214703|iMessage|chat874512036985214703|Family \xf0\x9f\x8f\xa1|1,3,7",
      "5|chat360214785901236547|iMessage|chat360214785901236547||4,6,8",
      "6|+442079460958|SMS|-|-|5",
      "7|+8613800138000|iMessage|-|-|6",
      "8|72975|SMS|-|-|9",
      "9|+4915123456789|SMS|-|-|10",
  };
  EXPECT_EQ(chats, QueryColumn(newer, kChats));
  std::vector<std::string> older_chats = chats;
  older_chats.push_back("10|+33612345678|SMS|-|-|12");
  EXPECT_EQ(older_chats, QueryColumn(older, kChats));
  // Messages in no chat, with and without the cached room name; group
  // renames and joins; a text led by the attachment mark; a voice message.
  EXPECT_EQ((std::vector<std::string>{"2|NULL", "2|chat555666777888999000"}),
            QueryColumn(newer,
                        "SELECT count(*) || '|' || room FROM (SELECT ifnull(cache_roomnames, "
                        "'NULL') AS room FROM message WHERE ROWID NOT IN (SELECT message_id FROM "
                        "chat_message_join UNION SELECT message_id FROM "
                        "chat_recoverable_message_join)) GROUP BY room"));
  EXPECT_EQ((std::vector<std::string>{"2", "1"}),
            QueryColumn(newer, "SELECT item_type FROM message WHERE item_type != 0"));
  EXPECT_EQ((std::vector<std::string>{"\xef\xbf\xbc\nLook at this \xf0\x9f\x93\xb7"}),
            QueryColumn(newer, "SELECT text FROM message WHERE ROWID = 1"));
  EXPECT_EQ((std::vector<std::string>{"NULL|com.apple.coreaudio-format|Audio Message.caf"}),
            QueryColumn(newer,
                        "SELECT ifnull(mime_type, 'NULL') || '|' || uti || '|' || transfer_name "
                        "FROM attachment WHERE filename LIKE '%.caf'"));
  // The copies share the ROWIDs and guids of the messages both hold; each
  // holds messages the other lacks; guids are unique per message.
  const char* kGuids = "SELECT ROWID || ' ' || guid FROM message ORDER BY ROWID";
  const std::vector<std::string> newer_guids = QueryColumn(newer, kGuids);
  const std::vector<std::string> older_guids = QueryColumn(older, kGuids);
  size_t shared = 0;
  for (const std::string& row : newer_guids) {
    shared += std::count(older_guids.begin(), older_guids.end(), row);
  }
  EXPECT_GT(shared, newer_guids.size() / 2);
  EXPECT_LT(shared, newer_guids.size());
  EXPECT_LT(shared, older_guids.size());
  EXPECT_EQ(QueryColumn(older, "SELECT count(DISTINCT guid) FROM message"),
            QueryColumn(older, "SELECT count(*) FROM message"));
  EXPECT_EQ((std::vector<std::string>{"0"}),
            QueryColumn(older, "SELECT count(*) FROM chat_recoverable_message_join"));
  EXPECT_NE((std::vector<std::string>{"0"}),
            QueryColumn(newer, "SELECT count(*) FROM chat_recoverable_message_join"));
}

TEST(IosMessagesSampleTest, AttributedBodiesReadBackWithTheirWords) {
  // A body byte for byte as a phone wrote it for "hello", as published
  // with open readers of the store.
  const std::string phone(
      "\x04\x0bstreamtyped\x81\xe8\x03\x84\x01@\x84\x84\x84\x19NSMutableAttributedString\x00"
      "\x84\x84\x12NSAttributedString\x00\x84\x84\x08NSObject\x00\x85\x92\x84\x84\x84\x0f"
      "NSMutableString\x01\x84\x84\x08NSString\x01\x95\x84\x01+\x05hello\x86\x84\x02iI\x01"
      "\x05\x92\x84\x84\x84\x0cNSDictionary\x00\x95\x84\x01i\x01\x92\x84\x98\x98\x1d"
      "__kIMMessagePartAttributeName\x86\x92\x84\x84\x84\x08NSNumber\x00\x84\x84\x07NSValue"
      "\x00\x95\x84\x01*\x84\x9b\x9b\x00\x86\x86\x86",
      228);
  EXPECT_EQ(test::HexBytes(phone), test::HexBytes(samples::IosAttributedBody("hello")));

  // Every body of the newest store reads back through the library's
  // reader as the words of the message: its text, or, where the text is
  // only in the body, the text a store drawn without such messages keeps.
  TempDir dir;
  samples::IosMessagesShape all_text;
  all_text.body_only_per_mille = 0;
  const std::string path = WriteMessages(dir, "sms.db", 3);
  const std::string full = WriteMessages(dir, "full.db", 3, all_text);
  const char* kBodies =
      "SELECT ROWID || ' ' || hex(attributedBody) FROM message WHERE attributedBody IS NOT NULL "
      "ORDER BY ROWID";
  const char* kTexts =
      "SELECT ROWID || ' ' || hex(text) FROM message WHERE attributedBody IS NOT NULL "
      "ORDER BY ROWID";
  const std::vector<std::string> bodies = QueryColumn(path, kBodies);
  const std::vector<std::string> texts = QueryColumn(full, kTexts);
  ASSERT_EQ(texts.size(), bodies.size());
  std::string words;
  for (size_t i = 0; i < bodies.size(); ++i) {
    const size_t blank = bodies[i].find(' ');
    ASSERT_EQ(bodies[i].substr(0, blank), texts[i].substr(0, texts[i].find(' ')));
    std::string text;
    EXPECT_TRUE(TypedStreamString(Unhex(bodies[i].substr(blank + 1)), &text)) << bodies[i];
    EXPECT_EQ(Unhex(texts[i].substr(texts[i].find(' ') + 1)), text) << bodies[i];
    words += text;
  }
  EXPECT_NE(std::string::npos, words.find("Mia are you coming"));
  EXPECT_NE(std::string::npos, words.find("https://example.com/t?id=42&seat=7"));
  const std::vector<std::string> only_in_body = QueryColumn(
      path, "SELECT count(*) FROM message WHERE text IS NULL AND attributedBody IS NOT NULL");
  ASSERT_EQ(1u, only_in_body.size());
  EXPECT_GT(std::stoi(only_in_body[0]), 5);
}

TEST(IosMessagesSampleTest, BackupHoldsTheStoreAndItsAttachments) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(samples::WriteIosBackup(dir.path(), samples::IosBackupOptions(), &error)) << error;
  // sms.db under the id public write-ups on iOS backups give it.
  const std::string sms =
      BackupFilePath(dir.path(), "3d0d7e5fb2ce288813306e4d4636395e047a3d28", true);
  ASSERT_TRUE(fs::is_regular_file(fs::u8path(sms)));
  const std::vector<std::string> names =
      QueryColumn(sms, "SELECT filename FROM attachment ORDER BY ROWID");
  ASSERT_GT(names.size(), 7u);
  int stored = 0, bare = 0;
  for (const std::string& name : names) {
    if (name.find('/') == std::string::npos) {
      ++bare;
      continue;
    }
    ASSERT_EQ(0u, name.rfind("~/Library/SMS/Attachments/", 0)) << name;
    const std::string file =
        BackupFilePath(dir.path(), BackupFileId("MediaDomain", name.substr(2)), true);
    EXPECT_FALSE(test::ReadFileBytes(file).empty()) << name;
    EXPECT_EQ((std::vector<std::string>{"1"}), QueryColumn(dir.File("Manifest.db"),
                                                           "SELECT flags FROM Files WHERE domain = "
                                                           "'MediaDomain' AND relativePath = '" +
                                                               name.substr(2) + "'"));
    ++stored;
  }
  EXPECT_EQ(1, bare);
  EXPECT_EQ(static_cast<int>(names.size()) - 1, stored);
}

}  // namespace
}  // namespace kx
