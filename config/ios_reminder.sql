-- iOS reminders ("reminder"): either generation of the reminder store.
--   * The calendar database (Calendar.sqlitedb) of older systems: reminders
--     are CalendarItem rows of entity_type 3, their lists Calendar rows
--     (CalendarItem.calendar_id -> Calendar.ROWID).
--   * The reminders store of newer systems (a Core Data store): reminders
--     are ZREMCDREMINDER rows, or, in the first release of that store,
--     ZREMCDOBJECT rows with a ZTITLE1; ZREMCDOBJECT also holds lists,
--     attachments, alarms and locations there.
-- Only the tables the primary has take part, so a copy of the other
-- generation contributes nothing.
--
-- Why the row numbers are copied:
--   CalendarItem and Calendar are numbered with AUTOINCREMENT, and Core
--   Data hands out Z_PK from a counter it never turns back, so within one
--   installation of a store a row number is never given to a second record.
--   The iOS merge copies rows as they are: a recovered reminder keeps its
--   number, and its list link (calendar_id, ZLIST) still names the list the
--   copy had. A copy's row whose number the primary holds is refused by the
--   primary key.
--
-- Why these unique keys:
--   unique_identifier is the reminder's own identifier (the UID it syncs
--   under); ZCKIDENTIFIER the CloudKit record name Core Data keeps for
--   every reminder and object of the newer store; a list of the calendar
--   database has its UUID. All are kept by every later backup.
--
-- Why these fields:
--   The merge reads the listed fields from each further copy in one select;
--   a copy that lacks one of them contributes nothing to that table. So only
--   the columns that every store version has and the packager reads are
--   listed. For ZREMCDOBJECT the primary's own columns decide: in the stores
--   that keep reminders in ZREMCDREMINDER it has no ZTITLE1, and only the
--   object rows' numbers, kinds and identifiers are recovered, which no
--   query of the packager reads as a reminder.
--
-- Limits:
--   * Alarms and locations are not merged: a recovered reminder of the
--     calendar database comes back without its location.
--   * Attachments are not merged: their rows differ between the releases of
--     the newer store.
INSERT INTO scan_table_info (system_type, data_type, table_name, is_small_table, is_virtual_table,
                             scan_type, flexible_cnt)
VALUES
  ('ios', 'reminder', 'Calendar', 1, 0, 0, 0),
  ('ios', 'reminder', 'CalendarItem', 0, 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDREMINDER', 0, 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDOBJECT', 0, 0, 0, 0);

-- field_type is the column type index: 0 INTEGER, 1 REAL, 3 TEXT, 6 TIMESTAMP.
-- is_row_id_field stays 0: the iOS merge does not renumber.
INSERT INTO result_field_info (system_type, data_type, table_name, field_name, field_type_text,
                               field_type, is_unique_field, is_row_id_field)
VALUES
  ('ios', 'reminder', 'Calendar', 'ROWID', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'Calendar', 'UUID', 'TEXT', 3, 1, 0),
  ('ios', 'reminder', 'Calendar', 'title', 'TEXT', 3, 0, 0),

  ('ios', 'reminder', 'CalendarItem', 'ROWID', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'CalendarItem', 'unique_identifier', 'TEXT', 3, 1, 0),
  ('ios', 'reminder', 'CalendarItem', 'summary', 'TEXT', 3, 0, 0),
  ('ios', 'reminder', 'CalendarItem', 'description', 'TEXT', 3, 0, 0),
  ('ios', 'reminder', 'CalendarItem', 'start_date', 'REAL', 1, 0, 0),
  ('ios', 'reminder', 'CalendarItem', 'calendar_id', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'CalendarItem', 'url', 'TEXT', 3, 0, 0),
  ('ios', 'reminder', 'CalendarItem', 'entity_type', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'CalendarItem', 'priority', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'CalendarItem', 'completion_date', 'REAL', 1, 0, 0),

  ('ios', 'reminder', 'ZREMCDREMINDER', 'Z_PK', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDREMINDER', 'Z_ENT', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDREMINDER', 'ZCKIDENTIFIER', 'VARCHAR', 5, 1, 0),
  ('ios', 'reminder', 'ZREMCDREMINDER', 'ZTITLE', 'VARCHAR', 5, 0, 0),
  ('ios', 'reminder', 'ZREMCDREMINDER', 'ZNOTES', 'VARCHAR', 5, 0, 0),
  ('ios', 'reminder', 'ZREMCDREMINDER', 'ZCOMPLETED', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDREMINDER', 'ZDISPLAYDATEDATE', 'TIMESTAMP', 6, 0, 0),
  ('ios', 'reminder', 'ZREMCDREMINDER', 'ZPRIORITY', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDREMINDER', 'ZFLAGGED', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDREMINDER', 'ZDACALENDARITEMUNIQUEIDENTIFIER', 'VARCHAR', 5, 0, 0),
  ('ios', 'reminder', 'ZREMCDREMINDER', 'ZLIST', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDREMINDER', 'ZMARKEDFORDELETION', 'INTEGER', 0, 0, 0),

  ('ios', 'reminder', 'ZREMCDOBJECT', 'Z_PK', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDOBJECT', 'Z_ENT', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDOBJECT', 'ZCKIDENTIFIER', 'VARCHAR', 5, 1, 0),
  ('ios', 'reminder', 'ZREMCDOBJECT', 'ZMARKEDFORDELETION', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDOBJECT', 'ZTITLE1', 'VARCHAR', 5, 0, 0),
  ('ios', 'reminder', 'ZREMCDOBJECT', 'ZNOTES', 'VARCHAR', 5, 0, 0),
  ('ios', 'reminder', 'ZREMCDOBJECT', 'ZCOMPLETED', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDOBJECT', 'ZDISPLAYDATEDATE', 'TIMESTAMP', 6, 0, 0),
  ('ios', 'reminder', 'ZREMCDOBJECT', 'ZPRIORITY', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDOBJECT', 'ZFLAGGED', 'INTEGER', 0, 0, 0),
  ('ios', 'reminder', 'ZREMCDOBJECT', 'ZDACALENDARITEMUNIQUEIDENTIFIER', 'VARCHAR', 5, 0, 0),
  ('ios', 'reminder', 'ZREMCDOBJECT', 'ZLIST', 'INTEGER', 0, 0, 0);
