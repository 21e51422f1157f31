// The iOS notes packager (data type 9) through the library's entry points,
// and its body decoder on bodies built here: whole documents on every store
// generation, an older copy, a locked note, hostile bodies and paths.
#include "samples/ios_notes.h"

#include <gtest/gtest.h>
#include <json/json.h>
#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/status.h"
#include "common/text.h"
#include "ios/note_body.h"
#include "package_capture.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kIosNotesType = 9;

using test::CapturedResults;
using test::CaptureResult;
using test::Formatted;
using test::g_results;

const char kObjectReplacement[] = "\xEF\xBF\xBC";
const char kTableId[] = "8D3F4A5B-6C7D-4E8F-A09B-1C2D3E4F5A63";
const char kPictureId[] = "6B1D2E3F-4A5B-4C6D-8E7F-9A0B1C2D3E41";
const char kNotesDomainForTest[] = "AppDomainGroup-group.com.apple.notes";

std::string Varint(uint64_t value) {
  std::string bytes;
  for (; value > 0x7F; value >>= 7) bytes += static_cast<char>((value & 0x7F) | 0x80);
  return bytes + static_cast<char>(value);
}

// The first `size` bytes of a gzip stream that would inflate to 1 GB of
// zeros: each kilobyte of it stands for about a megabyte.
std::string BombPrefix(size_t size) {
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
  const std::string zeros(1 << 20, '\0');
  std::string out;
  char buffer[4096];
  for (int megabyte = 0; megabyte < 1024 && out.size() < size; ++megabyte) {
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    stream.avail_in = static_cast<uInt>(zeros.size());
    while (stream.avail_in > 0) {
      stream.next_out = reinterpret_cast<Bytef*>(buffer);
      stream.avail_out = sizeof(buffer);
      deflate(&stream, Z_NO_FLUSH);
      out.append(buffer, sizeof(buffer) - stream.avail_out);
    }
  }
  deflateEnd(&stream);
  return out.substr(0, size);
}

struct BodyCase {
  const char* name;
  std::string body;
  std::vector<NoteContentItem> expected;
};

TEST(NoteBodyTest, DecodesWhatThePhoneWritesAndNothingElse) {
  const std::string text =
      std::string("Before") + kObjectReplacement + "between" + kObjectReplacement + "after";
  const std::string document = samples::IosNoteDocument(
      text, {{kTableId, "com.apple.notes.table"}, {kPictureId, "public.jpeg"}});
  const std::string plain = samples::IosNoteDocument("Milk\nEggs \xF0\x9F\xA5\x9A", {});
  std::string zlib_other_level = samples::IosCompressNoteBody(plain, true);
  zlib_other_level[1] = '\xDA';
  const std::string gzip = samples::IosCompressNoteBody(plain);
  // A complete stream that inflates to more than a thousand times its size.
  const std::string over_cap = samples::IosCompressNoteBody(std::string(4 << 20, 'a'));
  ASSERT_GT(4u << 20, over_cap.size() * 1000);
  const std::vector<NoteContentItem> none;
  const std::vector<BodyCase> cases = {
      {"gzip", gzip, {{"1", "Milk\nEggs \xF0\x9F\xA5\x9A"}}},
      {"zlib", samples::IosCompressNoteBody(plain, true), {{"1", "Milk\nEggs \xF0\x9F\xA5\x9A"}}},
      {"attachments and a table",
       samples::IosCompressNoteBody(document),
       {{"1", "Before"}, {"3", kTableId}, {"1", "between"}, {"2", kPictureId}, {"1", "after"}}},
      {"invalid UTF-8 dropped",
       samples::IosCompressNoteBody(samples::IosNoteDocument("a\xC3\x28z\xED\xA0\x80!", {})),
       {{"1", "a(z!"}}},
      {"zlib of another level", zlib_other_level, none},
      {"empty", "", none},
      {"one byte", "\x78", none},
      {"zlib header and garbage", std::string("\x78\x9C", 2) + "garbage!garbage!", none},
      {"stream cut short", gzip.substr(0, gzip.size() / 2), none},
      {"1 KB of a 1 GB bomb", BombPrefix(1024), none},
      {"past the output cap", over_cap, none},
      {"varint past the end", samples::IosCompressNoteBody("\x08\xFF\xFF"), none},
      {"length past the end", samples::IosCompressNoteBody("\x12\x7F\x12\x01"), none},
      {"length of 2^63", samples::IosCompressNoteBody("\x12" + Varint(1ull << 63) + "xy"), none},
      {"eleven-byte varint",
       samples::IosCompressNoteBody("\x08" + std::string(10, '\xFF') + "\x01"), none},
      {"group wire type", samples::IosCompressNoteBody("\x0B\x12\x01\x12\x01\x12\x01x"), none},
  };
  for (const BodyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, DecodeNoteBody(c.body));
  }
  // The cap, not the protocol-buffer walk, is what refuses these.
  std::string inflated = "left over";
  EXPECT_FALSE(InflateNoteBody(over_cap, &inflated));
  EXPECT_TRUE(inflated.empty());
  EXPECT_FALSE(InflateNoteBody(BombPrefix(1024), &inflated));
  ASSERT_TRUE(InflateNoteBody(samples::IosCompressNoteBody(std::string(1 << 20, 'a')), &inflated));
  EXPECT_EQ(std::string(1 << 20, 'a'), inflated);
  EXPECT_EQ(1024u * 1000u, NoteBodyOutputCap(1024));
  EXPECT_EQ(64u << 20, NoteBodyOutputCap(1u << 20));
}

// A backup folder with its Manifest.db, the stores the sample writes and
// their attachment files.
class IosNotesTest : public test::BackupFolderTest {
 protected:
  // The sample stores of `version`; the older copy when `older`.
  void WriteSample(const std::string& store, const std::string& old, int version,
                   bool older = false) {
    std::vector<samples::IosNoteFile> files;
    ASSERT_TRUE(samples::WriteIosNotes(store, old, test::SampleVersion(version, older), &files));
    if (older) return;
    for (const samples::IosNoteFile& file : files) {
      AddBackupFile(file.domain, file.relative_path, file.bytes);
    }
  }

  // Filters and packages `store` and `old` with their older copies; leaves
  // out of the request the primary file named `missing_key`.
  // The newest sample stores: the current store and the old database.
  std::pair<std::string, std::string> WriteNewest() {
    const std::string store = phone_.File("NoteStore.sqlite");
    const std::string old = phone_.File("notes.sqlite");
    WriteSample(store, old, samples::kIosNotesNewestSchema);
    return {store, old};
  }

  int Run(const std::string& store, const std::string& old,
          const std::vector<std::string>& copies = {},
          const std::vector<std::string>& old_copies = {}, const char* missing_key = "") {
    Json::Value request = test::MakeRequest(kIosNotesType, temp_, {}, {}, backup_);
    request["primary_file_object"]["icloud_note_file_path"] = store;
    request["primary_file_object"]["other_note_file_path"] = old;
    request["primary_file_object"]["manifest_file_path"] = manifest_;
    request["primary_file_object"].removeMember(missing_key);
    request["second_file_objects"]["icloud_note_files_path"] = test::JsonList(copies);
    if (!old_copies.empty()) {
      request["second_file_objects"]["other_note_files_path"] = test::JsonList(old_copies);
    }
    return test::FilterAndPackage(request);
  }

  test::TempDir phone_;
};

// tests/data/ios_notes/other_notes.json: the sample's old database, the same
// in every test.

// tests/data/ios_notes/notes.json: the notes every store generation holds.
// Stores from the third on keep a folder on the note (queries over ZFOLDER
// and every account column) and the files under the account's folder; the earlier ones reach
// folders through a join table: no folder, the account through ZACCOUNT2 alone, the files in the
// group's own folders (found there for want of an account identifier). {ID:x} is the identifier and
// account of a note, {F:name} its folder, {P} the account's folder, {IMG} {PRE} {SCAN} the files
// found for it, {S1:xx} {S2:xx} the backup's sub-folder xx/ of the media table's two copies, which
// each layout uses for one of them.

// notes.json as a store with folders on the note writes it, or as one without.
std::string NotesDocument(bool with_folders) {
  std::string text = test::DataFile("ios_notes/notes.json");
  for (const char* folder : {"Notes", "Travel", "Recently Deleted"}) {
    text = ReplaceAll(text, std::string("{F:") + folder + "}",
                      with_folders ? std::string(R"("folder": ")") + folder + "\", " : "");
  }
  for (const char letter : std::string("ABCDE")) {
    text = ReplaceAll(text, std::string("{ID:") + letter + "}",
                      with_folders
                          ? std::string(R"("ZIDENTIFIER": "C1A00000-0000-4000-8000-00000000000)") +
                                letter + R"(", "account_id": "$A", )"
                          : R"("marked_for_deletion": 0, )");
  }
  const std::vector<std::pair<const char*, std::pair<const char*, const char*>>> files = {
      {"{P}", {"Accounts/$A/", ""}},
      {"{TAG}", {R"("tag": "deleted", )", ""}},
      {"{IMG}",
       {"$B/7a/7a36b6c2f4e7845dc284e75e29151ca5faddcad8",
        "$B/6c/6cfd16b3ef59c490d2619476b81139fca779cea7"}},
      {"{PRE}",
       {"$B/8b/8bee996126d0ec83df0c7a472115476723c5f1bc",
        "$B/aa/aa71c5714c3277fea5d7f5161ffe7d09caea97f3"}},
      {"{SCAN}",
       {"$B/eb/ebeed7af6719e3685d04b739c55156e1320c9b33",
        "$B/12/12edc9f2a9ff33016970a4a3d05053641d87375a"}},
  };
  for (const auto& [key, values] : files) {
    text = ReplaceAll(text, key, with_folders ? values.first : values.second);
  }
  // {S1:xx} and {S2:xx} name the sub-folder xx/, or nothing.
  for (size_t at = text.find("{S"); at != std::string::npos; at = text.find("{S", at)) {
    const bool in_sub_folder = (text[at + 2] == '2') == with_folders;
    text.replace(at, 7, in_sub_folder ? text.substr(at + 4, 2) + "/" : "");
  }
  return text;
}

std::string Expected(const std::string& icloud, const std::string& backup,
                     const std::string& other = test::DataFile("ios_notes/other_notes.json")) {
  std::string text = "{" + other + "," + icloud + "}";
  text = ReplaceAll(text, "$A", "0E5A2C7B-1F4D-4A8E-9C3B-5D6E7F8A9B01");
  // "$B/" is the backup folder and "$B/xx/" its sub-folder xx, each joined
  // with the native separator.
  const std::string separator = test::JsonEscaped(std::string(1, kPathSeparator));
  for (size_t at = text.find("$B/"); at != std::string::npos; at = text.find("$B/", at)) {
    const bool sub_folder = at + 5 < text.size() && text[at + 5] == '/';
    const std::string joined = test::JsonEscaped(backup) + separator +
                               (sub_folder ? text.substr(at + 3, 2) + separator : "");
    text.replace(at, sub_folder ? 6 : 3, joined);
    at += joined.size();
  }
  return text;
}

// Every store generation gives its whole document. From the second on the
// store also holds a note the phone marked for deletion and emptied (no
// title, no snippet, a body without words): it is left out, on stores that
// say it is marked (ZISPASSWORDPROTECTED without ZFOLDER) and on those that
// do not.
TEST_F(IosNotesTest, WholeDocumentOnEveryStoreGeneration) {
  const std::string empty_body =
      test::HexBytes(samples::IosCompressNoteBody(samples::IosNoteDocument("", {})));
  for (int version = samples::kIosNotesOldestSchema; version <= samples::kIosNotesNewestSchema;
       ++version) {
    SCOPED_TRACE(version);
    g_results = CapturedResults();
    Fresh();
    const std::string store = phone_.File("NoteStore" + std::to_string(version) + ".sqlite");
    const std::string old = phone_.File("notes" + std::to_string(version) + ".sqlite");
    WriteSample(store, old, version);
    if (version >= 2) {
      test::RunSql(store,
                   "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZIDENTIFIER, "
                   "ZMODIFICATIONDATE1, ZMARKEDFORDELETION) VALUES (80, 12, 'EMPTY', 740000000, 1);"
                   "INSERT INTO ZICNOTEDATA (Z_PK, Z_ENT, ZNOTE, ZDATA) VALUES (81, 13, 80, X'" +
                       empty_body + "');");
    }
    ASSERT_TRUE(test::HandedOver(Run(store, old), 8));
    Json::Value expected = test::Parsed(Expected(NotesDocument(version >= 3), backup_));
    // The first stores had no locked notes, so no is_lock either.
    if (version == samples::kIosNotesOldestSchema) {
      for (Json::Value& note : expected["iCloud_notes"]["notes"]) note.removeMember("is_lock");
    }
    EXPECT_EQ(WriteJson(expected), g_results.text);
  }
}

// The dates are the host's local time: three and a half hours behind UTC,
// every date of the newest store's document moves back by as much.
TEST_F(IosNotesTest, WholeDocumentInAZoneBehindUtc) {
  const test::ScopedTimeZone zone("NST3:30");
  const auto [store, old] = WriteNewest();
  ASSERT_TRUE(test::HandedOver(Run(store, old), 8));
  std::string expected = Expected(NotesDocument(true), backup_);
  for (const auto& [utc, local] :
       std::vector<std::pair<const char*, const char*>>{{" 19:06:40\"", " 15:36:40\""},
                                                        {" 18:06:40\"", " 14:36:40\""},
                                                        {" 16:06:40\"", " 12:36:40\""},
                                                        {" 19:53:20\"", " 16:23:20\""}}) {
    expected = ReplaceAll(expected, utc, local);
  }
  EXPECT_EQ(WriteJson(test::Parsed(expected)), g_results.text);
}

// The note of `document` titled `title`; null when there is none, and a
// failure when there are several.
Json::Value NoteTitled(const Json::Value& document, const std::string& title) {
  Json::Value found;
  int count = 0;
  for (const Json::Value& note : document["iCloud_notes"]["notes"]) {
    if (note["title"].asString() != title) continue;
    found = note;
    ++count;
  }
  EXPECT_GE(1, count) << title;
  return found;
}

// Older backups (the current store of an older iOS, and the old database)
// still hold a note deleted since: each comes back once, tagged, with what
// every store version has; the notes both copies hold are not doubled.
TEST_F(IosNotesTest, OlderCopyBringsBackADeletedNoteOnce) {
  const auto [store, old] = WriteNewest();
  test::TempDir older;
  const std::string copy = older.File("NoteStore.sqlite");
  const std::string old_copy = older.File("notes.sqlite");
  WriteSample(copy, old_copy, 2, true);
  ASSERT_EQ(kStatusOk, Run(store, old, {copy}, {old_copy}));
  const Json::Value document = test::Parsed(g_results.text);
  ASSERT_EQ(3u, document["Other_note"].size());
  EXPECT_EQ(Formatted(test::DataFile("ios_notes/older_copy_deleted_note.json")),
            WriteJson(document["Other_note"][2]));
  EXPECT_FALSE(document["Other_note"][0].isMember("tag"));
  EXPECT_EQ(6u, document["iCloud_notes"]["notes"].size());
  EXPECT_EQ(
      WriteJson(test::Parsed(test::DataFile("ios_notes/older_copy_deleted_icloud_note.json"))),
      WriteJson(NoteTitled(document, "Gift ideas")));
  EXPECT_EQ(0, NoteTitled(document, "Shopping list")["is_deleted"].asInt());
}

// A locked note's body is ciphertext on the phone; even one that would
// inflate is never decoded.
TEST_F(IosNotesTest, LockedNoteKeepsTitleAndDatesOnly) {
  const auto [store, old] = WriteNewest();
  test::RunSql(store, "UPDATE ZICCLOUDSYNCINGOBJECT SET ZISPASSWORDPROTECTED = 1 WHERE Z_PK = 10");
  ASSERT_EQ(kStatusOk, Run(store, old));
  EXPECT_EQ(WriteJson(test::Parsed(test::DataFile("ios_notes/locked_note.json"))),
            WriteJson(NoteTitled(test::Parsed(g_results.text), "Shopping list")));
}

// Identifiers and file names from the store that would climb out of the
// notes' folders are never looked up, whatever the manifest lists.
TEST_F(IosNotesTest, PathsFromTheDataStayInsideTheBackup) {
  const auto [store, old] = WriteNewest();
  // Dashes where an identifier has them, dots and slashes between.
  std::string climbing;
  while (climbing.size() < 36) climbing += "../";
  for (const size_t dash : {8, 13, 18, 23}) climbing[dash] = '-';
  const std::string body = samples::IosCompressNoteBody(
      samples::IosNoteDocument(std::string("x") + kObjectReplacement, {{climbing, "public.jpeg"}}));
  const std::string hex = test::HexBytes(body);
  test::RunSql(store,
               "UPDATE ZICNOTEDATA SET ZDATA = X'" + hex +
                   "' WHERE ZNOTE = 10;"
                   "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZIDENTIFIER, ZTYPEUTI, ZNOTE, "
                   "ZMEDIA) VALUES (50, 5, '" +
                   climbing +
                   "', 'public.jpeg', 10, 51);"
                   "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZIDENTIFIER, ZFILENAME, "
                   "ZATTACHMENT1) VALUES (51, 11, 'M', '../../passwd', 50), "
                   "(52, 11, '..', 'passwd', 50), (53, 11, 'M2', 'a\\b', 50)");
  AddBackupFile(kNotesDomainForTest, "Media/../../../../etc/passwd", "secret");
  AddBackupFile(kNotesDomainForTest, "Accounts/0E5A2C7B-1F4D-4A8E-9C3B-5D6E7F8A9B01/Media/M/passwd",
                "secret");
  ASSERT_EQ(kStatusOk, Run(store, old));
  const Json::Value document = test::Parsed(g_results.text);
  EXPECT_EQ(WriteJson(test::Parsed(R"([{"content_data": "x", "type": "1"},
      {"content_data": ")" + climbing +
                                   R"(", "media_items": [], "media_type": 0,
       "type": "2"}])")),
            WriteJson(NoteTitled(document, "Shopping list")["contents"]));
  EXPECT_EQ(std::string::npos, g_results.text.find("passwd"));
  EXPECT_EQ(4u, document["iCloud_notes"]["notes_media"].size());
}

// A current store of a shape no release had and an old database from
// before attachments: what they have is read, what they lack reads as
// NULL and is logged once.
TEST_F(IosNotesTest, StoresOfUnknownShapeReadWhatTheyHave) {
  const std::string store = phone_.File("NoteStore.sqlite");
  const std::string old = phone_.File("notes.sqlite");
  const std::string body = samples::IosCompressNoteBody(samples::IosNoteDocument("Hello", {}));
  const std::string hex = test::HexBytes(body);
  test::RunSql(store,
               "CREATE TABLE ZICCLOUDSYNCINGOBJECT (Z_PK INTEGER PRIMARY KEY, ZIDENTIFIER VARCHAR, "
               "ZTITLE1 VARCHAR, ZFOLDER INTEGER, ZACCOUNT INTEGER, ZNAME VARCHAR);"
               "CREATE TABLE ZICNOTEDATA (Z_PK INTEGER PRIMARY KEY, ZNOTE INTEGER, ZDATA BLOB);"
               "INSERT INTO ZICCLOUDSYNCINGOBJECT VALUES (1, 'ACC', NULL, NULL, NULL, 'Work');"
               "INSERT INTO ZICCLOUDSYNCINGOBJECT VALUES (2, 'N-1', 'Hello', NULL, 1, NULL);"
               "INSERT INTO ZICNOTEDATA VALUES (3, 2, X'" +
                   hex + "');");
  test::RunSql(old,
               samples::IosOldNotesSql(samples::kIosOldNotesOldestSchema) +
                   ";INSERT INTO ZNOTE (Z_PK, ZTITLE, ZMODIFICATIONDATE) VALUES (1, 'Old', 0)");
  ASSERT_EQ(kStatusOk, Run(store, old));
  EXPECT_EQ(Formatted(test::DataFile("ios_notes/other_account_document.json")), g_results.text);
  EXPECT_TRUE(
      Logged("notes store has no column ZATTACHMENT1, ZCREATIONDATE, ZFILENAME, "
             "ZISPASSWORDPROTECTED, ZMODIFICATIONDATE1, ZNOTE, ZSNIPPET, ZTITLE2, "
             "is_deleted: read as NULL."));
}

struct BadInput {
  const char* name;
  const char* missing_key;  // left out of the request
  const char* damaged;      // "store", "old" or "manifest" replaced by garbage
  int status;
  const char* log;  // what the log says of it
};

// A backup holds NoteStore.sqlite, the old notes database or both: either
// alone is packaged, and the log says once which was absent; neither is the
// documented status.
TEST_F(IosNotesTest, EitherNoteDatabaseAlone) {
  const auto [store, old] = WriteNewest();
  const struct {
    const char* missing_key;
    std::string expected;
    const char* log;
  } cases[] = {
      {"other_note_file_path", Expected(NotesDocument(true), backup_, R"("Other_note": [])"),
       "No old notes database: NoteStore.sqlite alone is read."},
      {"icloud_note_file_path",
       Expected(R"("iCloud_notes": {"notes": [], "notes_media": []})", backup_),
       "No NoteStore.sqlite: the old notes database alone is read."}};
  // Copies of the absent database are skipped, not waited on forever.
  test::TempDir older;
  const std::string copy = older.File("NoteStore.sqlite");
  const std::string old_copy = older.File("notes.sqlite");
  WriteSample(copy, old_copy, 2, true);
  for (const auto& each : cases) {
    SCOPED_TRACE(each.missing_key);
    Reset();
    const size_t logged = Log().size();
    const bool old_missing = std::string(each.missing_key) == "other_note_file_path";
    ASSERT_EQ(
        kStatusOk,
        Run(store, old, old_missing ? std::vector<std::string>{} : std::vector<std::string>{copy},
            old_missing ? std::vector<std::string>{old_copy} : std::vector<std::string>{},
            each.missing_key));
    EXPECT_EQ(WriteJson(test::Parsed(each.expected)), g_results.text);
    EXPECT_TRUE(Logged(each.log, logged, true));
  }
  Reset();
  EXPECT_EQ(KX_STATUS_NOT_PACKAGED, Run("", ""));
  EXPECT_TRUE(Logged("[iosnotedatapackage], at 1069 line, No primary file."));
}

// Missing inputs are the documented status; a damaged old database or
// manifest still packages the current store, a damaged current store is
// its open failure without a document.
TEST_F(IosNotesTest, MissingAndDamagedInputs) {
  const BadInput cases[] = {
      {"no manifest", "manifest_file_path", "", KX_STATUS_NOT_PACKAGED,
       "[iosnotedatapackage], at 1076 line, No primary file."},
      {"current store damaged", "", "store", KX_STATUS_NOT_PACKAGED,
       "sqlite error message : file is not a database."},
      {"old database damaged", "", "old", kStatusOk,
       "sqlite error message : file is not a database."},
      {"manifest damaged", "", "manifest", kStatusOk, "attachments not located."},
  };
  for (const BadInput& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    const size_t logged = Log().size();
    Fresh();
    const std::string store = backup_ + "/NoteStore.sqlite";
    const std::string old = backup_ + "/notes.sqlite";
    WriteSample(store, old, samples::kIosNotesNewestSchema);
    const std::string garbage = "SQLite format 3\0" + std::string(200, '\x5A');
    if (std::string(c.damaged) == "store") test::WriteFileBytes(store, garbage);
    if (std::string(c.damaged) == "old") test::WriteFileBytes(old, garbage);
    if (std::string(c.damaged) == "manifest") test::WriteFileBytes(manifest_, garbage);
    EXPECT_EQ(c.status, Run(store, old, {}, {}, c.missing_key));
    EXPECT_TRUE(Logged(c.log, logged));
    EXPECT_EQ(c.status == kStatusOk ? 1 : 0, g_results.count);
    if (c.status == kStatusOk) {
      const Json::Value document = test::Parsed(g_results.text);
      EXPECT_EQ(5u, document["iCloud_notes"]["notes"].size());
      EXPECT_EQ(std::string(c.damaged) == "old" ? 0u : 2u, document["Other_note"].size());
    }
  }
}

}  // namespace
}  // namespace kx
