// A generator of the iOS notes stores: the current store (NoteStore.sqlite:
// ZICCLOUDSYNCINGOBJECT and ZICNOTEDATA, bodies as gzip-compressed
// protocol-buffer documents) and the old notes database (notes.sqlite:
// ZNOTE, ZNOTEBODY and, from iOS 6 on, ZNOTEATTACHMENT).
#ifndef KX_SAMPLES_IOS_NOTES_H_
#define KX_SAMPLES_IOS_NOTES_H_

#include <string>
#include <vector>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Versions of the current store, oldest first. Core Data numbers the
// columns that several entities share, so the note's account column moves:
//  1  iOS 9.0-9.2: no ZISPASSWORDPROTECTED (notes could not be locked yet),
//     no ZFOLDER (folders joined through Z_11NOTES), account in ZACCOUNT2;
//  2  iOS 11-12: ZISPASSWORDPROTECTED, still no ZFOLDER, account ZACCOUNT2;
//  3  iOS 13-14: ZFOLDER on the note, ZACCOUNT3 and ZACCOUNT4 added, the
//     note's account in ZACCOUNT3;
//  4  iOS 16 on: ZACCOUNT5 to ZACCOUNT8, the note's account in ZACCOUNT7.
constexpr int kIosNotesOldestSchema = 1;
constexpr int kIosNotesNewestSchema = 4;

// The CREATE statements of the store (several, separated by ';') for a
// version; the newest for a number out of range.
std::string IosNotesSql(int schema_version);

// The column that holds a note's account in a version.
const char* IosNoteAccountColumn(int schema_version);

// Versions of the old database: 1 iOS 5 (no attachments), 2 iOS 6-8.
constexpr int kIosOldNotesOldestSchema = 1;
constexpr int kIosOldNotesNewestSchema = 2;
std::string IosOldNotesSql(int schema_version);

// Where the stores live in a backup, and the domain of the current store's
// files.
constexpr char kIosNotesDomain[] = "AppDomainGroup-group.com.apple.notes";
constexpr char kIosNoteStorePath[] = "NoteStore.sqlite";
constexpr char kIosOldNotesPath[] = "Library/Notes/notes.sqlite";

// An attachment of a note body: where the U+FFFC of the text stands, the
// attachment row's identifier and type identifier.
struct IosNoteAttachmentRun {
  std::string identifier;
  std::string uti;
};

// The protocol-buffer document of a note (document -> version -> string:
// the text, then one attribute run per piece of text and per attachment).
// `text` holds one U+FFFC per entry of `attachments`.
std::string IosNoteDocument(const std::string& text,
                            const std::vector<IosNoteAttachmentRun>& attachments);

// `bytes` compressed as the phone stores a body: gzip, or with `zlib` a
// zlib stream (78 9C).
std::string IosCompressNoteBody(const std::string& bytes, bool zlib = false);

// Writes a fresh NoteStore.sqlite at `store_path` and notes.sqlite at
// `old_path` (existing files are replaced): folders, an iCloud and an "On
// My iPhone" account, notes with text, a picture, a table, a scanned
// document, a locked note and one in "Recently Deleted". The older copies
// of both also hold a note deleted since. Each attachment file the store refers to
// is added to `files` as (domain, relative path, bytes). False when a file
// cannot be written.
struct IosNoteFile {
  std::string domain;
  std::string relative_path;
  std::string bytes;
};
bool WriteIosNotes(const std::string& store_path, const std::string& old_path,
                   const IosSampleOptions& options, std::vector<IosNoteFile>* files);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_NOTES_H_
