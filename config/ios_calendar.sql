-- iOS calendar ("calendar"): Calendar.sqlitedb, merged by key (both
-- calendar packagers merge with MergeDatabaseCopiesByKey).
--
-- How the rows refer to each other:
--   CalendarItem.calendar_id -> Calendar.ROWID, CalendarItem.location_id ->
--   Location.ROWID; Participant.owner_id, Attachment.owner_id and
--   Location.item_owner_id -> CalendarItem.ROWID.
--
-- Why these unique keys:
--   Every CalendarItem and Calendar row carries a UUID of its own, kept by
--   every later backup (all releases from iOS 9 on have the column). The
--   event's unique_identifier is not unique: the detached occurrences of a
--   recurring event share their master's.
--
-- Why the row numbers are renumbered for events:
--   CalendarItem is numbered with AUTOINCREMENT, but a store rebuilt after a
--   restore hands the same numbers out again; a recovered event whose number
--   a live event took is inserted under the largest number of both plus 1.
--   A calendar keeps its number (events of the copy point at it), and one
--   whose number is taken is refused.
--
-- Why these fields:
--   The merge reads the listed fields from each further copy in one select;
--   only columns every release has and the packagers read are listed.
--
-- Limits:
--   Locations, participants and attachments are not merged: a recovered
--   event comes back with its calendar but without place, attendees or
--   files.
INSERT INTO scan_table_info (system_type, data_type, table_name, is_small_table, is_virtual_table,
                             scan_type, flexible_cnt)
VALUES
  ('ios', 'calendar', 'Calendar', 1, 0, 0, 0),
  ('ios', 'calendar', 'CalendarItem', 0, 0, 0, 0);

-- field_type is the column type index: 0 INTEGER, 1 REAL, 3 TEXT.
INSERT INTO result_field_info (system_type, data_type, table_name, field_name, field_type_text,
                               field_type, is_unique_field, is_row_id_field)
VALUES
  ('ios', 'calendar', 'Calendar', 'ROWID', 'INTEGER', 0, 0, 0),
  ('ios', 'calendar', 'Calendar', 'UUID', 'TEXT', 3, 1, 0),
  ('ios', 'calendar', 'Calendar', 'title', 'TEXT', 3, 0, 0),

  ('ios', 'calendar', 'CalendarItem', 'ROWID', 'INTEGER', 0, 0, 1),
  ('ios', 'calendar', 'CalendarItem', 'UUID', 'TEXT', 3, 1, 0),
  ('ios', 'calendar', 'CalendarItem', 'summary', 'TEXT', 3, 0, 0),
  ('ios', 'calendar', 'CalendarItem', 'description', 'TEXT', 3, 0, 0),
  ('ios', 'calendar', 'CalendarItem', 'start_date', 'REAL', 1, 0, 0),
  ('ios', 'calendar', 'CalendarItem', 'end_date', 'REAL', 1, 0, 0),
  ('ios', 'calendar', 'CalendarItem', 'all_day', 'INTEGER', 0, 0, 0),
  ('ios', 'calendar', 'CalendarItem', 'calendar_id', 'INTEGER', 0, 0, 0),
  ('ios', 'calendar', 'CalendarItem', 'url', 'TEXT', 3, 0, 0),
  ('ios', 'calendar', 'CalendarItem', 'unique_identifier', 'TEXT', 3, 0, 0),
  ('ios', 'calendar', 'CalendarItem', 'entity_type', 'INTEGER', 0, 0, 0);
