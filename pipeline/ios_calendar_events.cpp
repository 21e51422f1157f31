#include "pipeline/ios_calendar_events.h"

#include <unordered_set>
#include <utility>

#include "common/backup_files.h"
#include "common/media_types.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/table_schema.h"
#include "common/text.h"
#include "kit/contact_names.h"
#include "kit/date_sql.h"

namespace kx {

namespace {

// The event query's columns. The dates are seconds since 2001-01-01,
// formatted in local time; all-day ends are moved back 8 hours.
// An all-day event without a start begins the day before its end.
// clang-format off
constexpr char kStartColumn[] =
    "CASE WHEN start_date IS NULL AND all_day = 1 then "
    KX_LOCAL_DATE_OF_UNIX_SQL(KX_APPLE_UNIX_SECONDS_SQL("end_date") " - 24 * 3600 + 1")
    " WHEN all_day = 1 then " KX_APPLE_LOCAL_DATE_SQL("start_date")
    " else " KX_APPLE_LOCAL_DATE_SQL("start_date") " end";
constexpr char kEndColumn[] =
    "CASE WHEN all_day = 1 then "
    KX_LOCAL_DATE_OF_UNIX_SQL(KX_APPLE_UNIX_SECONDS_SQL("end_date") " - 8 * 3600")
    " else " KX_APPLE_LOCAL_DATE_SQL("end_date") " end";
// clang-format on
const std::vector<SelectedColumn> kEventColumns = {
    {"summary", "utf_Title"},
    {"description", "utf_Description"},
    {kStartColumn, "start_date", "start_date"},
    {kEndColumn, "end_date", "end_date"},
    {"url", "utf_Url"},
    {"all_day", nullptr},
    {"CASE WHEN end_date is null then 0 else 1 end", "status", "end_date"},
    {"calendar_id", nullptr},
    {"ROWID", nullptr},
    {"location_id", nullptr},
    {"unique_identifier", nullptr},
    {"is_deleted", nullptr},
};

constexpr char kCalendarItemTable[] = "CalendarItem";

// The catalogue query of the look-up by file name. The name arrives bound
// and escaped (EscapeLikePattern), so only the two "%" written here are
// wildcards.
std::string Joined(const std::string& first, const std::string& second) {
  if (first.empty()) return second;
  if (second.empty()) return first;
  return first + ", " + second;
}

// `select` over `table` with the wanted columns, the absent ones as NULL and
// noted; "" when the table is absent.
std::string SelectFrom(const SQLite3Wrapper& db, const char* table,
                       const std::vector<SelectedColumn>& columns,
                       std::vector<std::string>* notes) {
  const TableColumns have(db, table);
  if (!have.exists()) {
    notes->push_back(std::string("table ") + table);
    return std::string();
  }
  std::string missing;
  const std::string list = have.SelectList(columns, &missing);
  if (!missing.empty()) notes->push_back(std::string(table) + "." + missing);
  return "select " + list + " from " + table;
}

}  // namespace

int64_t EventInteger(const Json::Value& event, const char* name) {
  const Json::Value& value = event[name];
  return value.isIntegral() ? value.asInt64() : 0;
}

std::string EventText(const Json::Value& event, const char* name) {
  const Json::Value& value = event[name];
  return value.isString() ? value.asString() : std::string();
}

std::string CalendarEventQuery(const SQLite3Wrapper& calendar, std::string* missing) {
  const TableColumns columns(calendar, kCalendarItemTable);
  if (!columns.exists()) return std::string();
  return "select " + columns.SelectList(kEventColumns, missing) +
         " from CalendarItem where entity_type = 2";
}

int CalendarMediaType(const std::string& file_name) {
  const size_t dot = file_name.rfind('.');
  if (dot == std::string::npos) return kMediaUnknown;
  return GetMediaType(ToLowerAscii(file_name.substr(dot)));
}

CalendarAttachmentLocator::CalendarAttachmentLocator(const SQLite3Wrapper* manifest,
                                                     std::string backup_root)
    : backup_root_(std::move(backup_root)) {
  if (manifest != nullptr) lookup_.emplace(*manifest);
}

bool CalendarAttachmentLocator::ready() const { return lookup_.has_value() && lookup_->ready(); }

std::string CalendarAttachmentLocator::Locate(const std::string& file_name) {
  if (!ready()) return std::string();
  const std::string file_id = lookup_->FileId(file_name);
  // A file id from the catalogue reaches the file system only when it is
  // 40 hex digits (ResolveBackupFile refuses anything else).
  if (file_id.empty() || backup_root_.empty()) return std::string();
  return ResolveBackupFile(backup_root_, file_id);
}

void CalendarLookups::NoteMissing(std::string what) { missing_.push_back(std::move(what)); }

bool CalendarLookups::Read(SQLite3Wrapper* calendar, const SQLite3Wrapper* manifest,
                           const std::string& backup_root, const std::function<bool()>& stopped) {
  return ReadAttachments(*calendar, manifest, backup_root, stopped) &&
         ReadTitles(*calendar, stopped) && ReadLocations(*calendar, stopped) &&
         ReadIdentities(*calendar, stopped) && ReadParticipants(calendar, stopped);
}

bool CalendarLookups::ReadAttachments(const SQLite3Wrapper& calendar,
                                      const SQLite3Wrapper* manifest,
                                      const std::string& backup_root,
                                      const std::function<bool()>& stopped) {
  // Newer stores keep the file's name in AttachmentFile, the attachment
  // pointing at it by file_id; older ones keep it in the attachment itself.
  std::string sql;
  if (CheckIsTableExist(calendar, "AttachmentFile") &&
      TableColumns(calendar, "Attachment").Has("file_id")) {
    sql =
        "select Attachment.owner_id,AttachmentFile.filename from Attachment left join "
        "AttachmentFile where AttachmentFile.ROWID = Attachment.file_id";
  } else {
    sql = SelectFrom(calendar, "Attachment", {{"owner_id", nullptr}, {"filename", nullptr}},
                     &missing_);
  }
  if (sql.empty()) return true;
  CalendarAttachmentLocator locator(manifest, backup_root);
  if (!locator.ready()) NoteMissing("a catalogue of backup files");
  SqliteStatement query = PrepareStatement(calendar, sql);
  while (query.Step() == SQLITE_ROW) {
    if (stopped()) return false;
    // A nameless attachment cannot be located: any path would match it.
    if (query.ColumnType(1) == SQLITE_NULL || query.ColumnText(1).empty()) continue;
    CalendarAttachment attachment;
    attachment.file_name = query.ColumnText(1);
    attachment.file_path = locator.Locate(attachment.file_name);
    attachment.media_type = CalendarMediaType(attachment.file_name);
    attachments_[query.ColumnInt64(0)].push_back(std::move(attachment));
  }
  return true;
}

bool CalendarLookups::ReadTitles(const SQLite3Wrapper& calendar,
                                 const std::function<bool()>& stopped) {
  const std::string sql =
      SelectFrom(calendar, "Calendar", {{"ROWID", nullptr}, {"title", nullptr}}, &missing_);
  if (sql.empty()) return true;
  SqliteStatement query = PrepareStatement(calendar, sql);
  while (query.Step() == SQLITE_ROW) {
    if (stopped()) return false;
    calendars_[query.ColumnInt64(0)] = query.ColumnText(1);
  }
  return true;
}

bool CalendarLookups::ReadLocations(const SQLite3Wrapper& calendar,
                                    const std::function<bool()>& stopped) {
  // The oldest stores have no address column: their places read by title.
  const std::string sql = SelectFrom(
      calendar, "Location",
      {{"ROWID", nullptr}, {"title", nullptr}, {"address", nullptr}, {"item_owner_id", nullptr}},
      &missing_);
  if (sql.empty()) return true;
  SqliteStatement query = PrepareStatement(calendar, sql);
  while (query.Step() == SQLITE_ROW) {
    if (stopped()) return false;
    addresses_[query.ColumnInt64(0)] = Joined(query.ColumnText(1), query.ColumnText(2));
  }
  return true;
}

bool CalendarLookups::ReadIdentities(const SQLite3Wrapper& calendar,
                                     const std::function<bool()>& stopped) {
  // Identity declares no ROWID column; its rows are numbered all the same.
  std::string sql = SelectFrom(calendar, "Identity",
                               {{"display_name", nullptr}, {"address", nullptr}}, &missing_);
  if (sql.empty()) return true;
  sql.replace(0, std::string("select ").size(), "select rowid,");
  // An identity without a name takes the name the first named identity of
  // the same address has. Those names are read only when an identity lacks
  // one: most stores name every identity, and the names by address would
  // cost a second pass over the table.
  std::vector<std::pair<int64_t, std::string>> unnamed;
  SqliteStatement query = PrepareStatement(calendar, sql);
  while (query.Step() == SQLITE_ROW) {
    if (stopped()) return false;
    const int64_t identity = query.ColumnInt64(0);
    std::string name = query.ColumnText(1);
    if (name.empty() && query.ColumnType(2) != SQLITE_NULL) {
      unnamed.emplace_back(identity, query.ColumnText(2));
    }
    identities_[identity] = std::move(name);
  }
  if (unnamed.empty()) return true;
  ContactNames by_address;
  SqliteStatement named = PrepareStatement(
      calendar, "select address, display_name from Identity where display_name is not null");
  if (named.prepared() && !LoadContactNames(named, EmptyNames::kKeep, stopped, &by_address)) {
    return false;
  }
  for (const auto& [identity, address] : unnamed) {
    const std::string* known = FindKeyed(by_address, address);
    if (known != nullptr) identities_[identity] = *known;
  }
  return true;
}

bool CalendarLookups::ReadParticipants(SQLite3Wrapper* calendar,
                                       const std::function<bool()>& stopped) {
  const TableColumns columns(*calendar, "Participant");
  if (!columns.exists()) {
    NoteMissing("table Participant");
    return true;
  }
  // The device owner may appear under several identities: none of them is
  // listed. The identities are compared here rather than spliced into the
  // SQL; an owner row without identity excludes nobody.
  if (columns.Has("is_self")) {
    SqliteStatement self = PrepareStatement(
        *calendar, "select distinct(identity_id) from Participant where is_self=1");
    while (self.Step() == SQLITE_ROW) {
      if (self.ColumnType(0) != SQLITE_NULL) owner_identities_.insert(self.ColumnInt64(0));
    }
  } else {
    NoteMissing("Participant.is_self");
  }
  std::string error;
  if (columns.Has("owner_id") && EnsureLeadingIndex(calendar, "Participant", "owner_id", &error)) {
    participants_of_event_ =
        PrepareStatement(*calendar, "select identity_id from Participant where owner_id = ?1");
    // Through the same index, in the same order within an owner.
    participants_in_order_ = PrepareStatement(
        *calendar,
        "select owner_id, identity_id from Participant where owner_id is not null order by "
        "owner_id");
    if (participants_of_event_.prepared()) return true;
  }
  SqliteStatement query =
      PrepareStatement(*calendar, "select owner_id, identity_id from Participant");
  while (query.Step() == SQLITE_ROW) {
    if (stopped()) return false;
    if (query.ColumnType(1) == SQLITE_NULL) continue;
    const int64_t identity = query.ColumnInt64(1);
    if (owner_identities_.count(identity) != 0) continue;
    participants_[query.ColumnInt64(0)].push_back(identity);
  }
  return true;
}

std::vector<int64_t> CalendarLookups::ParticipantsOf(int64_t event_id) {
  if (!participants_of_event_.prepared()) {
    const auto people = participants_.find(event_id);
    return people == participants_.end() ? std::vector<int64_t>() : people->second;
  }
  std::vector<int64_t> identities;
  participants_of_event_.BindInt64(1, event_id);
  while (participants_of_event_.Step() == SQLITE_ROW) {
    if (participants_of_event_.ColumnType(0) == SQLITE_NULL) continue;
    const int64_t identity = participants_of_event_.ColumnInt64(0);
    if (owner_identities_.count(identity) == 0) identities.push_back(identity);
  }
  participants_of_event_.Reset();
  return identities;
}

const std::string* CalendarLookups::CalendarTitle(int64_t calendar_id) const {
  const auto calendar = calendars_.find(calendar_id);
  return calendar == calendars_.end() ? nullptr : &calendar->second;
}

const std::string* CalendarLookups::Address(int64_t location_id) const {
  const auto address = addresses_.find(location_id);
  return address == addresses_.end() || address->second.empty() ? nullptr : &address->second;
}

const std::vector<CalendarAttachment>* CalendarLookups::Attachments(int64_t event_id) const {
  const auto files = attachments_.find(event_id);
  return files == attachments_.end() ? nullptr : &files->second;
}

void CalendarLookups::ParticipantNames(int64_t event_id, std::vector<std::string>* names) {
  names->clear();
  const auto add = [&](int64_t identity) {
    if (owner_identities_.count(identity) != 0) return;
    const auto name = identities_.find(identity);
    if (name != identities_.end() && !name->second.empty()) names->push_back(name->second);
  };
  const bool in_order =
      participants_in_order_.prepared() && (!in_order_started_ || event_id > last_event_asked_);
  if (!in_order) {
    for (const int64_t identity : ParticipantsOf(event_id)) add(identity);
    return;
  }
  SqliteStatement& rows = participants_in_order_;
  if (!in_order_started_) {
    in_order_started_ = true;
    in_order_row_ = rows.Step() == SQLITE_ROW;
    if (in_order_row_) in_order_owner_ = rows.ColumnInt64(0);
  }
  last_event_asked_ = event_id;
  while (in_order_row_ && in_order_owner_ <= event_id) {
    if (in_order_owner_ == event_id && rows.ColumnType(1) != SQLITE_NULL) {
      add(rows.ColumnInt64(1));
    }
    in_order_row_ = rows.Step() == SQLITE_ROW;
    if (in_order_row_) in_order_owner_ = rows.ColumnInt64(0);
  }
}

void CalendarLookups::Apply(Json::Value* event) {
  const auto calendar = calendars_.find(EventInteger(*event, "calendar_id"));
  if (calendar != calendars_.end()) (*event)["calendar"] = calendar->second;
  const auto address = addresses_.find(EventInteger(*event, "location_id"));
  if (address != addresses_.end() && !address->second.empty()) {
    (*event)["utf_Address"] = address->second;
  }
  const int64_t id = EventInteger(*event, "ROWID");
  const std::vector<int64_t> people = ParticipantsOf(id);
  if (!people.empty()) {
    Json::Value names(Json::arrayValue);
    for (const int64_t identity : people) {
      const auto name = identities_.find(identity);
      if (name != identities_.end() && !name->second.empty()) names.append(name->second);
    }
    if (!names.empty()) (*event)["participants"] = std::move(names);
  }
  const auto files = attachments_.find(id);
  if (files != attachments_.end()) {
    Json::Value list(Json::arrayValue);
    for (const CalendarAttachment& file : files->second) {
      Json::Value entry(Json::objectValue);
      entry["file_name"] = file.file_name;
      entry["file_path"] = file.file_path;
      entry["media_type"] = file.media_type;
      list.append(std::move(entry));
    }
    (*event)["attachment_files"] = std::move(list);
  }
}

void CorrectAllDayEvent(Json::Value* event) {
  if (EventInteger(*event, "all_day") != 1) return;
  constexpr size_t kDateLength = 10;  // "%m-%d-%Y"
  if (!event->isMember("start_date") || !(*event)["start_date"].isString()) return;
  const std::string text = (*event)["start_date"].asString();
  const std::string date = text.substr(0, kDateLength);
  if (text.size() > kDateLength + 1 &&
      text.compare(kDateLength + 1, std::string::npos, "00:00:00") != 0) {
    (*event)["start_date"] = date + " 00:00:00";
  }
  if (!event->isMember("end_date")) (*event)["end_date"] = date + " 23:59:59";
}

}  // namespace kx
