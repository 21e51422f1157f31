// What both calendar packagers of data type 7 read from Calendar.sqlitedb
// and the backup's Manifest.db: the look-up tables (calendars, locations,
// identities, participants, attachments), the event query and the all-day
// corrections. The staged packager writes the events into detail files, the
// old-style one hands them over as one array; the events are the same.
#ifndef KX_PIPELINE_IOS_CALENDAR_EVENTS_H_
#define KX_PIPELINE_IOS_CALENDAR_EVENTS_H_

#include <json/json.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/backup_files.h"
#include "common/sqlite_wrapper.h"

namespace kx {

struct CalendarAttachment {
  std::string file_name;
  std::string file_path;  // inside the backup folder; "" when the catalogue has no such file
  int media_type = 0;
};

// The event query over the columns the store has: a column a release lacks
// (is_deleted before any merge) is read as NULL. Its names go to *missing,
// separated by ", ". "" when the store has no CalendarItem table.
std::string CalendarEventQuery(const SQLite3Wrapper& calendar, std::string* missing);

// The event query's columns, in its order; each is there, NULL when absent.
enum CalendarEventColumn {
  kEventTitle,
  kEventDescription,
  kEventStartDate,
  kEventEndDate,
  kEventUrl,
  kEventAllDay,
  kEventStatus,
  kEventCalendarId,
  kEventRowId,
  kEventLocationId,
  kEventUniqueIdentifier,
  kEventIsDeleted,
};

// The catalogue look-up of an attachment by its file name: the shortest
// relative path of an ordinary file that contains the name. The name is
// bound, never spliced, and its LIKE wildcards are escaped, so a name with
// "%", "_" or a quote matches only itself.
class CalendarAttachmentLocator {
 public:
  CalendarAttachmentLocator(const SQLite3Wrapper* manifest, std::string backup_root);
  bool ready() const;
  // The file's path in the backup folder, "" when none is catalogued.
  std::string Locate(const std::string& file_name);

 private:
  std::optional<CatalogueFragmentLookup> lookup_;
  std::string backup_root_;
};

// The look-up tables, keyed by the event's (or calendar's, location's)
// ROWID. Each table or column the store lacks leaves its part empty or NULL;
// what was missing is noted once in missing().
class CalendarLookups {
 public:
  // Fills every table; false when `stopped` answered true between rows.
  // The participants are looked up event by event where the calendar has
  // (or, a staged copy, can be given) an index on their owner, so that a
  // calendar of any size costs the same memory; else they are read into a
  // table too.
  bool Read(SQLite3Wrapper* calendar, const SQLite3Wrapper* manifest,
            const std::string& backup_root, const std::function<bool()>& stopped);

  // Members "calendar", "utf_Address", "participants" and
  // "attachment_files" of an event read by the event query (its
  // "calendar_id", "location_id" and "ROWID"), each only when found.
  void Apply(Json::Value* event);

  // The same look-ups one at a time, for events written without a tree:
  // null (or none) where Apply sets no member.
  const std::string* CalendarTitle(int64_t calendar_id) const;
  const std::string* Address(int64_t location_id) const;  // never empty
  const std::vector<CalendarAttachment>* Attachments(int64_t event_id) const;
  // The names Apply lists in "participants", into *names (cleared first).
  // Events asked for in rising ROWID are answered from one pass over the
  // participants in the order of their owner; an event asked for out of
  // that order is looked up alone.
  void ParticipantNames(int64_t event_id, std::vector<std::string>* names);

  const std::vector<std::string>& missing() const { return missing_; }

 private:
  bool ReadAttachments(const SQLite3Wrapper& calendar, const SQLite3Wrapper* manifest,
                       const std::string& backup_root, const std::function<bool()>& stopped);
  bool ReadTitles(const SQLite3Wrapper& calendar, const std::function<bool()>& stopped);
  bool ReadLocations(const SQLite3Wrapper& calendar, const std::function<bool()>& stopped);
  bool ReadIdentities(const SQLite3Wrapper& calendar, const std::function<bool()>& stopped);
  bool ReadParticipants(SQLite3Wrapper* calendar, const std::function<bool()>& stopped);
  // The event's participants' identities, the owner's left out.
  std::vector<int64_t> ParticipantsOf(int64_t event_id);
  void NoteMissing(std::string what);

  std::unordered_map<int64_t, std::vector<CalendarAttachment>> attachments_;
  std::unordered_map<int64_t, std::string> calendars_;
  std::unordered_map<int64_t, std::string> addresses_;              // location -> "title, address"
  std::unordered_map<int64_t, std::string> identities_;             // identity -> display name
  std::unordered_map<int64_t, std::vector<int64_t>> participants_;  // event -> identities
  SqliteStatement participants_of_event_;  // prepared: used instead of participants_
  // The participants ordered by owner (with participants_of_event_), and
  // where that pass stands: its current row and the last event asked for.
  SqliteStatement participants_in_order_;
  bool in_order_started_ = false;
  bool in_order_row_ = false;
  int64_t in_order_owner_ = 0;
  int64_t last_event_asked_ = 0;
  std::unordered_set<int64_t> owner_identities_;
  std::vector<std::string> missing_;
};

// The all-day corrections: a start with a time other than "00:00:00" starts
// at midnight; a missing end ends at 23:59:59 of the start's day.
void CorrectAllDayEvent(Json::Value* event);

// Attachment classification for "media_type" by the name's extension: the
// media code itself (1 image ... 4 document, 0 unknown), as the old-style
// calendar documents have always carried it, not shifted down by one (image
// 0, unknown -1) as an older description of this member has it. The staged
// detail files take the same code, since both packagers share this one
// look-up and their events must agree member for member.
int CalendarMediaType(const std::string& file_name);

// An integer member of an event, 0 when absent or not an integer.
int64_t EventInteger(const Json::Value& event, const char* name);
// A text member of an event, "" when absent or not a text.
std::string EventText(const Json::Value& event, const char* name);

}  // namespace kx

#endif  // KX_PIPELINE_IOS_CALENDAR_EVENTS_H_
