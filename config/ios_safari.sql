-- Safari bookmarks ("safari"): Bookmarks.db, table bookmarks; folders are
-- rows of type 1 and every row names its folder in parent (-> bookmarks.id).
--
-- Why external_uuid is the unique key:
--   Every bookmark and folder carries a UUID of its own (the built-in
--   folders fixed names such as "BookmarksBar"), kept by every later backup
--   and by the sync with other devices, so the same bookmark in two copies
--   has the same external_uuid. A copy's row whose UUID the primary lacks is
--   a bookmark deleted since.
--
-- Why id is a row-id field:
--   The store numbers its rows with AUTOINCREMENT but hands out a fresh
--   number after the bookmarks were synced down again, so a copy's number
--   may belong to another bookmark of the primary. These copies merge by
--   key: a recovered bookmark whose id is taken gets the next free one. Its
--   parent still names the folder as the copy numbered it, which is right
--   for every folder the primary still holds under the same number (the
--   built-in ones always are).
--
-- Why these fields:
--   The merge reads the listed fields from each further copy in one select;
--   a copy that lacks one of them contributes nothing. So only the columns
--   that every store version has are listed (local_attributes, icon and the
--   sync state of newer systems are left out). order_index is NOT NULL in
--   every version and must come along.
INSERT INTO scan_table_info (system_type, data_type, table_name, is_small_table, is_virtual_table,
                             scan_type, flexible_cnt)
VALUES ('ios', 'safari', 'bookmarks', 1, 0, 0, 0);

-- field_type is the column type index: 0 INTEGER, 1 REAL, 3 TEXT.
INSERT INTO result_field_info (system_type, data_type, table_name, field_name, field_type_text,
                               field_type, is_unique_field, is_row_id_field)
VALUES
  ('ios', 'safari', 'bookmarks', 'id', 'INTEGER', 0, 0, 1),
  ('ios', 'safari', 'bookmarks', 'external_uuid', 'TEXT', 3, 1, 0),
  ('ios', 'safari', 'bookmarks', 'special_id', 'INTEGER', 0, 0, 0),
  ('ios', 'safari', 'bookmarks', 'parent', 'INTEGER', 0, 0, 0),
  ('ios', 'safari', 'bookmarks', 'type', 'INTEGER', 0, 0, 0),
  ('ios', 'safari', 'bookmarks', 'title', 'TEXT', 3, 0, 0),
  ('ios', 'safari', 'bookmarks', 'url', 'TEXT', 3, 0, 0),
  ('ios', 'safari', 'bookmarks', 'num_children', 'INTEGER', 0, 0, 0),
  ('ios', 'safari', 'bookmarks', 'editable', 'INTEGER', 0, 0, 0),
  ('ios', 'safari', 'bookmarks', 'deletable', 'INTEGER', 0, 0, 0),
  ('ios', 'safari', 'bookmarks', 'hidden', 'INTEGER', 0, 0, 0),
  ('ios', 'safari', 'bookmarks', 'hidden_ancestor_count', 'INTEGER', 0, 0, 0),
  ('ios', 'safari', 'bookmarks', 'order_index', 'INTEGER', 0, 0, 0),
  ('ios', 'safari', 'bookmarks', 'read', 'INTEGER', 0, 0, 0),
  ('ios', 'safari', 'bookmarks', 'last_modified', 'REAL', 1, 0, 0),
  ('ios', 'safari', 'bookmarks', 'server_id', 'TEXT', 3, 0, 0),
  ('ios', 'safari', 'bookmarks', 'added', 'INTEGER', 0, 0, 0),
  ('ios', 'safari', 'bookmarks', 'deleted', 'INTEGER', 0, 0, 0);
