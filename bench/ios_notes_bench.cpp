// Packages two generated notes stores (NoteStore.sqlite of the newest
// release: an iCloud account, folders, and notes whose bodies are the
// gzip-compressed documents the phone writes, a few hundred characters
// each) through the library: 100,000 notes, and 10,000.
//
// The reference is the sqlite3 shell printing the packager's note query
// (bodies as they are stored: the shell does not inflate them).
//
// Usage: ios_notes_bench [large|small|all]
#include <string>

#include "bench/store_bench.h"
#include "samples/ios_notes.h"

namespace {

constexpr kx::bench::StoreSize kLarge = {"large", 100000, 2};
constexpr kx::bench::StoreSize kSmall = {"small", 10000, 3};
constexpr int kBodies = 16;

// The account of a note: the first account column its row sets, in the
// order the newest store declares them.
#define KX_NOTE_ACCOUNT                                                                      \
  "select case when ZACCOUNT is not null then ZACCOUNT when ZACCOUNT1 is not null then "     \
  "ZACCOUNT1 when ZACCOUNT2 is not null then ZACCOUNT2 when ZACCOUNT3 is not null then "     \
  "ZACCOUNT3 when ZACCOUNT4 is not null then ZACCOUNT4 when ZACCOUNT5 is not null then "     \
  "ZACCOUNT5 when ZACCOUNT6 is not null then ZACCOUNT6 when ZACCOUNT7 is not null then "     \
  "ZACCOUNT7 when ZACCOUNTTYPE is not null then ZACCOUNTTYPE when ZACCOUNTDATA is not null " \
  "then ZACCOUNTDATA when ZACCOUNT8 is not null then ZACCOUNT8 else -1 end from "            \
  "ZICCLOUDSYNCINGOBJECT where Z_PK = "

constexpr char kNoteQuery[] =
    "SELECT ZICNOTEDATA.ZNOTE AS id, strftime(\"%m-%d-%Y %H:%M:%S\", "
    "object1.ZMODIFICATIONDATE1 + 0978307200, 'unixepoch', 'localtime') as datetime, "
    "object1.ZTITLE1 AS title, object1.ZSNIPPET AS snippet, object1.ZISPASSWORDPROTECTED AS "
    "is_lock, object2.ZTITLE2 AS folder, object3.ZNAME AS account, object1.ZIDENTIFIER, "
    "object3.ZIDENTIFIER as account_id, ZICNOTEDATA.ZDATA FROM ZICNOTEDATA LEFT JOIN "
    "ZICCLOUDSYNCINGOBJECT AS object1 ON ZICNOTEDATA.ZNOTE = object1.Z_PK LEFT JOIN "
    "ZICCLOUDSYNCINGOBJECT AS object2 ON object1.ZFOLDER = object2.Z_PK LEFT JOIN "
    "ZICCLOUDSYNCINGOBJECT AS object3 ON (" KX_NOTE_ACCOUNT
    " object1.Z_PK) = object3.Z_PK WHERE (datetime IS NOT NULL AND ZICNOTEDATA.ZNOTE IS NOT NULL "
    "AND object1.ZIDENTIFIER IS NOT NULL) or (ZICNOTEDATA.ZDATA is not null)";

std::string HexLiteral(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex = "X'";
  for (const char c : bytes) {
    hex += kDigits[static_cast<unsigned char>(c) >> 4];
    hex += kDigits[static_cast<unsigned char>(c) & 0x0F];
  }
  return hex + "'";
}

// kBodies different bodies, the note's title on the first line.
std::string BodiesSql() {
  std::string sql = "CREATE TEMP TABLE body (n INTEGER PRIMARY KEY, data BLOB);";
  for (int n = 0; n < kBodies; ++n) {
    std::string text = "Note of kind " + std::to_string(n) + "\n";
    for (int line = 0; line <= n % 5; ++line) {
      text += "Line " + std::to_string(line) +
              " of the note: what to buy, whom to call, and when the train leaves.\n";
    }
    sql += "INSERT INTO body VALUES (" + std::to_string(n) + ", " +
           HexLiteral(kx::samples::IosCompressNoteBody(kx::samples::IosNoteDocument(text, {}))) +
           ");";
  }
  return sql;
}

bool Generate(const std::string& work, long long notes) {
  const int version = kx::samples::kIosNotesNewestSchema;
  const std::string account = kx::samples::IosNoteAccountColumn(version);
  return kx::bench::WriteEmptyManifest(kx::JoinPath(work, "Manifest.db")) &&
         kx::bench::ExecSql(
             kx::JoinPath(work, "NoteStore.sqlite"),
             kx::samples::IosNotesSql(version) + ";BEGIN;" + BodiesSql() +
                 "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZIDENTIFIER, ZNAME) VALUES (1, "
                 "14, 'ACCOUNT-ICLOUD', 'iCloud');"
                 "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZIDENTIFIER, ZTITLE2, ZOWNER) "
                 "VALUES (3, 15, 'FOLDER-3', 'Notes', 1), (4, 15, 'FOLDER-4', 'Travel', 1);" +
                 kx::bench::Numbers(notes) +
                 "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZIDENTIFIER, ZTITLE1, ZSNIPPET, "
                 "ZMODIFICATIONDATE1, " +
                 account +
                 ", ZMARKEDFORDELETION, ZISPASSWORDPROTECTED, ZFOLDER) SELECT 100 + i, 12, "
                 "'NOTE-' || i, 'Note of kind ' || (i % " +
                 std::to_string(kBodies) +
                 "), 'Line 0 of the note', 700000000.0 + i * 600, 1, 0, 0, 3 + i % 2 FROM k;" +
                 kx::bench::Numbers(notes) +
                 "INSERT INTO ZICNOTEDATA (Z_PK, Z_ENT, ZNOTE, ZDATA) SELECT i, 13, 100 + i, "
                 "(SELECT data FROM body WHERE n = i % " +
                 std::to_string(kBodies) + ") FROM k;COMMIT;");
}

Json::Value Request(const std::string& work) {
  Json::Value request;
  request["addtional_param"] = work;
  request["primary_file_object"]["icloud_note_file_path"] = kx::JoinPath(work, "NoteStore.sqlite");
  request["primary_file_object"]["manifest_file_path"] = kx::JoinPath(work, "Manifest.db");
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  const kx::bench::StoreBench bench = {"iOS notes",        9,         "notes", Generate, Request,
                                       "NoteStore.sqlite", kNoteQuery};
  return kx::bench::RunStoreBenchMain(argc, argv, bench, {&kSmall, &kLarge});
}
