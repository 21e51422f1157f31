#include "samples/ios_older_stores.h"

#include <filesystem>
#include <vector>

#include "samples/ios_notes.h"
#include "samples/ios_reminders.h"
#include "samples/ios_sample_options.h"
#include "samples/ios_voice_memos.h"

namespace kx::samples {

namespace {

namespace fs = std::filesystem;

// The NoteStore.sqlite of iOS 11-12 (ZISPASSWORDPROTECTED, no ZFOLDER).
constexpr int kLockingNoteStoreSchema = 2;

}  // namespace

bool WriteIosOlderStores(const std::string& folder, int scale, IosOlderStores* stores,
                         std::string* error) {
  const fs::path root = fs::u8path(folder);
  std::error_code code;
  fs::create_directories(root, code);
  stores->calendar = (root / "Calendar.sqlitedb").u8string();
  stores->recordings = (root / "Recordings.db").u8string();
  stores->note_store = (root / "NoteStore.sqlite").u8string();
  IosSampleOptions options;
  options.scale = scale;
  options.schema_version = kIosRemindersOldestSchema;
  std::vector<IosRecordingAudio> audio;
  std::vector<IosNoteFile> note_files;
  // The generators replace nothing: a run over an earlier set starts clean.
  for (const std::string* path : {&stores->calendar, &stores->recordings, &stores->note_store}) {
    fs::remove(fs::u8path(*path), code);
  }
  fs::remove(root / "notes.sqlite", code);
  if (!WriteIosReminders(stores->calendar, options)) {
    *error = stores->calendar + ": cannot write the calendar database";
    return false;
  }
  options.schema_version = kIosRecordingsOldestSchema;
  if (!WriteIosRecordings(stores->recordings, options, &audio)) {
    *error = stores->recordings + ": cannot write the recordings database";
    return false;
  }
  options.schema_version = kLockingNoteStoreSchema;
  if (!WriteIosNotes(stores->note_store, (root / "notes.sqlite").u8string(), options,
                     &note_files)) {
    *error = stores->note_store + ": cannot write the notes store";
    return false;
  }
  // Only the store is of the older generation.
  fs::remove(root / "notes.sqlite", code);
  return true;
}

}  // namespace kx::samples
