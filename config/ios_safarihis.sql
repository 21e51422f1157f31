-- Safari history ("safariHis"): History.db, tables history_items (one row
-- per address) and history_visits (one row per visit, history_item ->
-- history_items.id, with the page title the visit saw).
--
-- Why url is the unique key of history_items:
--   The store itself declares url UNIQUE: one row per address, so the same
--   address in two copies is the same item. id is copied as it is (the iOS
--   merge never renumbers): history_items is numbered with AUTOINCREMENT,
--   so within one installation of the store an id is never given to a
--   second address, and the visits of the same copy still point at it.
--
-- Why history_item and visit_time are the unique key of history_visits:
--   A visit is one page load at one moment; the same visit in two copies
--   has the same item and the same time (stored to the sub-second). Its id
--   comes along for the redirect links between visits.
--
-- Why these fields:
--   The merge reads the listed fields from each further copy in one select;
--   a copy that lacks one of them contributes nothing to that table. So only
--   columns that every store version since iOS 8 has are listed
--   (status_code, the visits' origin, generation and attributes of the
--   iCloud history, and score came later). daily_visit_counts,
--   should_recompute_derived_visit_counts and visit_count_score are NOT NULL
--   and must come along.
--
-- Limits:
--   * Copies must come from the same installation of the store: after the
--     history was cleared, AUTOINCREMENT starts again and a recovered item
--     whose id is taken by another address is dropped, with its visits
--     counted against that address.
--   * history_tombstones (addresses cleared on another device) are not
--     merged: they hold no page title and no visit.
INSERT INTO scan_table_info (system_type, data_type, table_name, is_small_table, is_virtual_table,
                             scan_type, flexible_cnt)
VALUES
  ('ios', 'safariHis', 'history_items', 0, 0, 0, 0),
  ('ios', 'safariHis', 'history_visits', 0, 0, 0, 0);

-- field_type is the column type index: 0 INTEGER, 1 REAL, 3 TEXT, 4 BLOB.
INSERT INTO result_field_info (system_type, data_type, table_name, field_name, field_type_text,
                               field_type, is_unique_field, is_row_id_field)
VALUES
  ('ios', 'safariHis', 'history_items', 'id', 'INTEGER', 0, 0, 0),
  ('ios', 'safariHis', 'history_items', 'url', 'TEXT', 3, 1, 0),
  ('ios', 'safariHis', 'history_items', 'domain_expansion', 'TEXT', 3, 0, 0),
  ('ios', 'safariHis', 'history_items', 'visit_count', 'INTEGER', 0, 0, 0),
  ('ios', 'safariHis', 'history_items', 'daily_visit_counts', 'BLOB', 4, 0, 0),
  ('ios', 'safariHis', 'history_items', 'weekly_visit_counts', 'BLOB', 4, 0, 0),
  ('ios', 'safariHis', 'history_items', 'autocomplete_triggers', 'BLOB', 4, 0, 0),
  ('ios', 'safariHis', 'history_items', 'should_recompute_derived_visit_counts', 'INTEGER', 0,
   0, 0),
  ('ios', 'safariHis', 'history_items', 'visit_count_score', 'INTEGER', 0, 0, 0),

  ('ios', 'safariHis', 'history_visits', 'id', 'INTEGER', 0, 0, 0),
  ('ios', 'safariHis', 'history_visits', 'history_item', 'INTEGER', 0, 1, 0),
  ('ios', 'safariHis', 'history_visits', 'visit_time', 'REAL', 1, 1, 0),
  ('ios', 'safariHis', 'history_visits', 'title', 'TEXT', 3, 0, 0),
  ('ios', 'safariHis', 'history_visits', 'load_successful', 'INTEGER', 0, 0, 0),
  ('ios', 'safariHis', 'history_visits', 'http_non_get', 'INTEGER', 0, 0, 0),
  ('ios', 'safariHis', 'history_visits', 'synthesized', 'INTEGER', 0, 0, 0),
  ('ios', 'safariHis', 'history_visits', 'redirect_source', 'INTEGER', 0, 0, 0),
  ('ios', 'safariHis', 'history_visits', 'redirect_destination', 'INTEGER', 0, 0, 0);
