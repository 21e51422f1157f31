-- Android call history ("callhistory"): the call-log database (calllog.db on
-- current phones, contacts2.db on older ones), table calls.
--
-- Why these fields:
--   Only columns that every schema version of calls has are listed. The merge
--   reads the listed fields from each further copy in one select; a copy that
--   lacks one of them contributes nothing, so a newer-only column here would
--   make older copies useless. The six columns are the ones the call-history
--   package reads.
--
-- Why _id is not copied:
--   Nothing refers to a call by its _id, and an _id of an older copy may
--   belong to a different call on the phone today (a cleared call log, or a
--   log moved from contacts2.db to calllog.db, numbers again from 1). Copying
--   it would make such a call fail its insert on the primary key and vanish.
--   Left out, a recovered call takes a fresh row number.
--
-- Why number + date is the unique key:
--   A call is identified by the other party and the moment it started (in
--   milliseconds); two different calls with the same number in the same
--   millisecond do not happen. type, duration and the cached name are left
--   out of the key on purpose: the phone rewrites the cached name, and a key
--   on more columns only adds ways for NULLs to break it.
--
-- Limits: SQLite's unique index treats NULLs as different from each other,
-- so a copy's call whose number or date is NULL is added again even when the
-- primary holds it. A primary that already holds two calls with the same
-- number and date cannot take the index; the merge then adds every call of
-- the copies, known or not.
INSERT INTO scan_table_info (system_type, data_type, table_name, is_small_table, is_virtual_table,
                             scan_type, flexible_cnt)
VALUES ('android', 'callhistory', 'calls', 0, 0, 0, 0);

-- field_type is the column type index: 0 INTEGER, 3 TEXT.
INSERT INTO result_field_info (system_type, data_type, table_name, field_name, field_type_text,
                               field_type, is_unique_field, is_row_id_field)
VALUES
  ('android', 'callhistory', 'calls', 'number', 'TEXT', 3, 1, 0),
  ('android', 'callhistory', 'calls', 'date', 'INTEGER', 0, 1, 0),
  ('android', 'callhistory', 'calls', 'duration', 'INTEGER', 0, 0, 0),
  ('android', 'callhistory', 'calls', 'type', 'INTEGER', 0, 0, 0),
  ('android', 'callhistory', 'calls', 'name', 'TEXT', 3, 0, 0),
  ('android', 'callhistory', 'calls', 'countryiso', 'TEXT', 3, 0, 0);
