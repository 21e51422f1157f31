#include "samples/ios_notes.h"

#include <sqlite3.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "samples/android_sample_sqlite.h"

namespace kx::samples {

namespace {

constexpr char kObjectReplacement[] = "\xEF\xBF\xBC";

std::string Varint(uint64_t value) {
  std::string bytes;
  while (value > 0x7F) {
    bytes += static_cast<char>((value & 0x7F) | 0x80);
    value >>= 7;
  }
  bytes += static_cast<char>(value);
  return bytes;
}

std::string NumberField(int field, uint64_t value) { return Varint(field << 3) + Varint(value); }

std::string BytesField(int field, const std::string& payload) {
  return Varint((field << 3) | 2) + Varint(payload.size()) + payload;
}

// Code units of UTF-16 the phone counts an attribute run's length in.
uint64_t Utf16Length(const std::string& utf8) {
  uint64_t units = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<uint8_t>(c);
    if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex = "X'";
  for (const char c : bytes) {
    hex += kDigits[static_cast<uint8_t>(c) >> 4];
    hex += kDigits[static_cast<uint8_t>(c) & 0x0F];
  }
  return hex + "'";
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

// Seconds since 2001 of the sample's notes: spring 2024 and a week apart.
double NoteDate(int index) { return 733000000.0 + index * 604800.0; }

// Identifiers of the sample's objects, shaped as the phone's UUIDs.
constexpr char kICloudAccount[] = "0E5A2C7B-1F4D-4A8E-9C3B-5D6E7F8A9B01";
constexpr char kPictureAttachment[] = "6B1D2E3F-4A5B-4C6D-8E7F-9A0B1C2D3E41";
constexpr char kPictureMedia[] = "7C2E3F4A-5B6C-4D7E-9F8A-0B1C2D3E4F52";
constexpr char kPicturePreview[] = "6B1D2E3F-4A5B-4C6D-8E7F-9A0B1C2D3E41-1-192x144-0";
constexpr char kTableAttachment[] = "8D3F4A5B-6C7D-4E8F-A09B-1C2D3E4F5A63";
constexpr char kGalleryAttachment[] = "9E4A5B6C-7D8E-4F9A-B1AC-2D3E4F5A6B74";
constexpr char kScanPage[] = "AF5B6C7D-8E9F-4A0B-C2BD-3E4F5A6B7C85";
constexpr char kScanMedia[] = "B06C7D8E-9FA0-4B1C-D3CE-4F5A6B7C8D96";
constexpr char kOldContentId[] = "1A2B3C4D@notes";

struct SampleNote {
  int pk;
  int folder;
  const char* identifier;
  const char* title;
  const char* snippet;
  std::string body;  // compressed; empty: no data row
  bool locked = false;
};

std::string TripBody() {
  const std::string text = std::string("Trip to Lisbon\nThe view from the castle:\n") +
                           kObjectReplacement + "\nBudget\n" + kObjectReplacement +
                           "\nBoarding pass\n" + kObjectReplacement + "\n";
  return IosCompressNoteBody(
      IosNoteDocument(text, {{kPictureAttachment, "public.jpeg"},
                             {kTableAttachment, "com.apple.notes.table"},
                             {kGalleryAttachment, "com.apple.notes.gallery"}}));
}

std::vector<SampleNote> SampleNotes(bool older_copy) {
  std::vector<SampleNote> notes = {
      {10, 3, "C1A00000-0000-4000-8000-00000000000A", "Shopping list", "Milk, eggs, bread",
       IosCompressNoteBody(IosNoteDocument("Shopping list\nMilk, eggs, bread\n", {}))},
      {11, 5, "C1A00000-0000-4000-8000-00000000000B", "Trip to Lisbon", "The view from the castle",
       TripBody()},
      {12, 3, "C1A00000-0000-4000-8000-00000000000C", "Bank", nullptr,
       std::string("\x3A\x9F\x11\x07\xC4\x5E\x88\x21\x0B\x6D", 10), true},
      {13, 4, "C1A00000-0000-4000-8000-00000000000D", "Old draft", "Ideas for the garden",
       IosCompressNoteBody(IosNoteDocument("Old draft\nIdeas for the garden\n", {}))},
      {14, 3, "C1A00000-0000-4000-8000-00000000000E", "Call Ana", "About Saturday", ""},
  };
  if (older_copy) {
    notes.push_back({15, 3, "C1A00000-0000-4000-8000-00000000000F", "Gift ideas", "A book for Rui",
                     IosCompressNoteBody(IosNoteDocument("Gift ideas\nA book for Rui\n", {}))});
  }
  return notes;
}

std::string AccountsAndFolders() {
  std::string sql =
      "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZIDENTIFIER, ZNAME) VALUES (1, 14, " +
      Quoted(kICloudAccount) + ", 'iCloud'), (2, 14, 'LocalAccount', 'On My iPhone');";
  const char* folders[][2] = {{"3", "Notes"}, {"4", "Recently Deleted"}, {"5", "Travel"}};
  for (const auto& folder : folders) {
    sql +=
        "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZIDENTIFIER, ZTITLE2, ZOWNER) VALUES (" +
        std::string(folder[0]) + ", 15, 'FOLDER-" + folder[0] + "', " + Quoted(folder[1]) + ", 1);";
  }
  return sql;
}

std::string NoteSql(const SampleNote& note, int version) {
  const std::string account_column = IosNoteAccountColumn(version);
  std::string columns = "Z_PK, Z_ENT, ZIDENTIFIER, ZTITLE1, ZSNIPPET, ZMODIFICATIONDATE1, " +
                        account_column + ", ZMARKEDFORDELETION";
  std::string values = std::to_string(note.pk) + ", 12, " + Quoted(note.identifier) + ", " +
                       Quoted(note.title) + ", " +
                       (note.snippet == nullptr ? "NULL" : Quoted(note.snippet)) + ", " +
                       std::to_string(NoteDate(note.pk)) + ", 1, 0";
  if (version >= 2) {
    columns += ", ZISPASSWORDPROTECTED";
    values += note.locked ? ", 1" : ", 0";
  }
  if (version >= 3) {
    columns += ", ZFOLDER";
    values += ", " + std::to_string(note.folder);
  }
  std::string sql = "INSERT INTO ZICCLOUDSYNCINGOBJECT (" + columns + ") VALUES (" + values + ");";
  if (version <= 2) {
    sql += "INSERT INTO Z_11NOTES VALUES (" + std::to_string(note.folder) + ", " +
           std::to_string(note.pk) + ");";
  }
  if (!note.body.empty()) {
    sql += "INSERT INTO ZICNOTEDATA (Z_PK, Z_ENT, ZNOTE, ZDATA) VALUES (" +
           std::to_string(note.pk + 90) + ", 13, " + std::to_string(note.pk) + ", " +
           Hex(note.body) + ");";
  }
  return sql;
}

// The trip note's picture, table and scanned boarding pass.
std::string AttachmentsSql() {
  const std::string created = std::to_string(NoteDate(11) - 3600);
  return "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZIDENTIFIER, ZTYPEUTI, ZNOTE, ZMEDIA, "
         "ZCREATIONDATE, ZSUMMARY, ZTITLE, ZPARENTATTACHMENT) VALUES "
         "(20, 5, " +
         Quoted(kPictureAttachment) + ", 'public.jpeg', 11, 30, " + created +
         ", NULL, NULL, NULL), "
         "(21, 5, " +
         Quoted(kTableAttachment) + ", 'com.apple.notes.table', 11, NULL, " + created +
         ", 'Day 1 Alfama, Day 2 Belem', NULL, NULL), "
         "(22, 5, " +
         Quoted(kGalleryAttachment) + ", 'com.apple.notes.gallery', 11, NULL, " + created +
         ", NULL, 'Boarding pass', NULL), "
         "(23, 5, " +
         Quoted(kScanPage) + ", 'public.jpeg', 11, 31, " + created +
         ", NULL, NULL, 22);"
         "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZIDENTIFIER, ZFILENAME, ZATTACHMENT1) "
         "VALUES (30, 11, " +
         Quoted(kPictureMedia) + ", 'IMG_0042.jpeg', 20), (31, 11, " + Quoted(kScanMedia) +
         ", 'Scan.jpeg', 23);"
         "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, ZIDENTIFIER, ZATTACHMENT, ZHEIGHT, "
         "ZWIDTH) VALUES (40, 6, " +
         Quoted(kPicturePreview) + ", 20, 144, 192);";
}

// Stores before iOS 13 kept the files in the group's own Media/ and
// Previews/ folders, later ones under the account's folder.
void AddFiles(int version, std::vector<IosNoteFile>* files) {
  if (files == nullptr) return;
  const std::string account =
      version <= 2 ? std::string() : std::string("Accounts/") + kICloudAccount + "/";
  const std::string jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10);
  files->push_back(
      {kIosNotesDomain, account + "Media/" + kPictureMedia + "/IMG_0042.jpeg", jpeg + "picture"});
  files->push_back(
      {kIosNotesDomain, account + "Previews/" + kPicturePreview + ".jpeg", jpeg + "preview"});
  files->push_back(
      {kIosNotesDomain, account + "Media/" + kScanMedia + "/Scan.jpeg", jpeg + "scan"});
  files->push_back({"HomeDomain",
                    std::string("Library/Notes/attachments/x-coredata:p1/") + kOldContentId,
                    jpeg + "old"});
}

bool WriteOldNotes(const std::string& path, int version, bool older_copy) {
  SampleDatabase db(path);
  if (!db.is_open()) return false;
  std::string sql = IosOldNotesSql(version) + ";";
  sql +=
      "INSERT INTO ZACCOUNT VALUES (1, 1, 1, 1, 'local', 'On My iPhone');"
      "INSERT INTO ZSTORE VALUES (1, 2, 1, 0, 1, 'local', 'Notes');"
      "INSERT INTO ZNOTEBODY (Z_PK, Z_ENT, Z_OPT, ZOWNER, ZCONTENT) VALUES "
      "(1, 4, 1, 1, '<div>Pack the charger</div>'), (2, 4, 1, 2, '<div>Rent due on the 1st</div>');"
      "INSERT INTO ZNOTE (Z_PK, Z_ENT, Z_OPT, ZBODY, ZSTORE, ZCREATIONDATE, ZMODIFICATIONDATE, "
      "ZGUID, ZTITLE) VALUES (1, 3, 1, 1, 1, 400000000, 400003600, 'G-1', 'Packing'), "
      "(2, 3, 1, 2, 1, 400100000, 400103600, 'G-2', 'Rent');";
  if (older_copy) {
    sql +=
        "INSERT INTO ZNOTEBODY (Z_PK, Z_ENT, Z_OPT, ZOWNER, ZCONTENT) VALUES (3, 4, 1, 3, "
        "'<div>Gate 4711</div>');"
        "INSERT INTO ZNOTE (Z_PK, Z_ENT, Z_OPT, ZBODY, ZSTORE, ZCREATIONDATE, ZMODIFICATIONDATE, "
        "ZGUID, ZTITLE) VALUES (3, 3, 1, 3, 1, 400200000, 400203600, 'G-3', 'Alarm codes');";
  }
  if (version != kIosOldNotesOldestSchema) {
    sql += "INSERT INTO ZNOTEATTACHMENT VALUES (1, 5, 1, 1, " + Quoted(kOldContentId) +
           ", 'charger.jpg', 'image/jpeg');";
  }
  return db.Exec(sql.c_str()) && db.Close();
}

}  // namespace

std::string IosNoteDocument(const std::string& text,
                            const std::vector<IosNoteAttachmentRun>& attachments) {
  std::string string_field = BytesField(2, text);
  size_t start = 0;
  size_t next = 0;
  for (size_t found = text.find(kObjectReplacement); found != std::string::npos;
       found = text.find(kObjectReplacement, start)) {
    if (found > start) {
      string_field += BytesField(5, NumberField(1, Utf16Length(text.substr(start, found - start))));
    }
    std::string run = NumberField(1, 1);
    if (next < attachments.size()) {
      const IosNoteAttachmentRun& attachment = attachments[next++];
      run += BytesField(12, BytesField(1, attachment.identifier) + BytesField(2, attachment.uti));
    }
    string_field += BytesField(5, run);
    start = found + 3;
  }
  if (start < text.size()) {
    string_field += BytesField(5, NumberField(1, Utf16Length(text.substr(start))));
  }
  const std::string version = NumberField(1, 0) + NumberField(2, 0) + BytesField(3, string_field);
  return NumberField(1, 0) + BytesField(2, version);
}

std::string IosCompressNoteBody(const std::string& bytes, bool zlib) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, zlib ? 15 : 31, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    return std::string();
  }
  std::string out(deflateBound(&stream, bytes.size()) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(out.size() - stream.avail_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END ? out : std::string();
}

bool WriteIosNotes(const std::string& store_path, const std::string& old_path,
                   const IosSampleOptions& options, std::vector<IosNoteFile>* files) {
  const int version = options.schema_version == 0 ? kIosNotesNewestSchema : options.schema_version;
  SampleDatabase db(store_path);
  if (!db.is_open()) return false;
  std::string sql = IosNotesSql(version) + ";" + AccountsAndFolders();
  for (const SampleNote& note : SampleNotes(options.older_copy)) sql += NoteSql(note, version);
  sql += AttachmentsSql();
  if (!db.Exec(sql.c_str()) || !db.Close()) return false;
  AddFiles(version, files);
  return old_path.empty() || WriteOldNotes(old_path, kIosOldNotesNewestSchema, options.older_copy);
}

}  // namespace kx::samples
