-- Layout of the field configuration. Each data type's rows live in a file
-- of their own beside this one; files are applied in name order.
--
-- scan_table_info:   the tables of a data type that take part in the merge.
-- result_field_info: their fields; is_unique_field marks the columns that
--                    identify a row across copies, is_row_id_field the row
--                    numbers that may be renumbered when a recovered row
--                    collides with a live one.
-- index_field_info:  extra indexes some packagers build.
CREATE TABLE scan_table_info (
  system_type TEXT NOT NULL,
  data_type TEXT NOT NULL,
  table_name TEXT NOT NULL,
  is_small_table INTEGER NOT NULL DEFAULT 0,
  is_virtual_table INTEGER NOT NULL DEFAULT 0,
  scan_type INTEGER NOT NULL DEFAULT 0,
  flexible_cnt INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE result_field_info (
  system_type TEXT NOT NULL,
  data_type TEXT NOT NULL,
  table_name TEXT NOT NULL,
  field_name TEXT NOT NULL,
  field_type_text TEXT NOT NULL,
  field_type INTEGER NOT NULL DEFAULT 0,
  is_unique_field INTEGER NOT NULL DEFAULT 0,
  is_row_id_field INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE index_field_info (
  data_type TEXT NOT NULL,
  table_name TEXT NOT NULL,
  field_name TEXT NOT NULL
);
