-- iOS call history ("callhistory"): CallHistory.storedata, a Core Data
-- store; the calls are the rows of ZCALLRECORD.
--
-- Why ZUNIQUE_ID is the unique key:
--   Every call record carries a UUID of its own (ZUNIQUE_ID), written once
--   and kept by every later backup of the phone, so the same call in two
--   copies has the same UUID and two calls never share one. Z_PK is a row
--   number that each copy hands out by itself and is left out on purpose: a
--   recovered call takes a fresh row number.
--
-- Why these fields:
--   The merge reads the listed fields from each further copy in one select;
--   a copy that lacks one of them contributes nothing. So only the columns
--   that every store version has are listed (ZLOCATION, ZSERVICE_PROVIDER
--   and ZLOCALPARTICIPANTUUID came later): a call recovered from a copy
--   comes back without its location, provider and line, rather than an
--   older copy giving nothing.
--
-- Why the handles are not merged:
--   ZHANDLE rows that no call refers to are packaged as deleted numbers.
--   Handles of an older copy would all look like that once their calls'
--   join rows are left behind, and would bury the numbers the phone itself
--   still knows.
--
-- call_history.db (iOS 7 and earlier):
--   Its calls are the rows of `call`, which has no unique id: a call is told
--   by its address and date (seconds since 1970). ROWID is copied too; the
--   table counts it with AUTOINCREMENT, so a copy's row whose ROWID the
--   primary holds already is the same call.
INSERT INTO scan_table_info (system_type, data_type, table_name, is_small_table, is_virtual_table,
                             scan_type, flexible_cnt)
VALUES ('ios', 'callhistory', 'ZCALLRECORD', 0, 0, 0, 0),
       ('ios', 'callhistory', 'call', 0, 0, 0, 0);

-- field_type is the type index of field_type_text (0 INTEGER, 1 FLOAT, 3 TEXT, 5 VARCHAR,
-- 6 TIMESTAMP).
INSERT INTO result_field_info (system_type, data_type, table_name, field_name, field_type_text,
                               field_type, is_unique_field, is_row_id_field)
VALUES
  ('ios', 'callhistory', 'ZCALLRECORD', 'ZUNIQUE_ID', 'VARCHAR', 5, 1, 0),
  ('ios', 'callhistory', 'ZCALLRECORD', 'ZANSWERED', 'INTEGER', 0, 0, 0),
  ('ios', 'callhistory', 'ZCALLRECORD', 'ZCALLTYPE', 'INTEGER', 0, 0, 0),
  ('ios', 'callhistory', 'ZCALLRECORD', 'ZORIGINATED', 'INTEGER', 0, 0, 0),
  ('ios', 'callhistory', 'ZCALLRECORD', 'ZDATE', 'TIMESTAMP', 6, 0, 0),
  ('ios', 'callhistory', 'ZCALLRECORD', 'ZDURATION', 'FLOAT', 1, 0, 0),
  ('ios', 'callhistory', 'ZCALLRECORD', 'ZADDRESS', 'VARCHAR', 5, 0, 0),
  ('ios', 'callhistory', 'call', 'ROWID', 'INTEGER', 0, 0, 0),
  ('ios', 'callhistory', 'call', 'address', 'TEXT', 3, 1, 0),
  ('ios', 'callhistory', 'call', 'date', 'INTEGER', 0, 1, 0),
  ('ios', 'callhistory', 'call', 'duration', 'INTEGER', 0, 0, 0),
  ('ios', 'callhistory', 'call', 'flags', 'INTEGER', 0, 0, 0),
  ('ios', 'callhistory', 'call', 'id', 'INTEGER', 0, 0, 0),
  ('ios', 'callhistory', 'call', 'country_code', 'TEXT', 3, 0, 0),
  ('ios', 'callhistory', 'call', 'network_code', 'TEXT', 3, 0, 0);
