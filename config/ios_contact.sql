-- iOS contacts ("contact"): AddressBook.sqlitedb. The package reads ABPerson
-- and, per person, ABMultiValue (phones, addresses, dates...) and the
-- entries of structured values in ABMultiValueEntry; these three are merged.
--
-- Why the keys are the row ids themselves:
--   ABPerson.ROWID and ABMultiValue.UID are INTEGER PRIMARY KEY AUTOINCREMENT:
--   the address book never hands an id out twice, so in two backups of one
--   phone the same id is the same person or value, and an id the primary
--   lacks belongs to one deleted since. The ids are copied, so a recovered
--   value still points at its recovered person (record_id) and a recovered
--   entry at its value (parent_id); a row whose id the primary holds is
--   skipped, the primary's (newer) version wins.
--   ABMultiValueEntry has no id of its own: a value's entry is identified by
--   its value and its key (street, city...), as the table's own UNIQUE
--   constraint does.
--
-- Why these fields:
--   guid is copied because the phone's default for it calls a function of
--   its own, which fails every insert that leaves the column out.
--   A copy that lacks a listed field contributes nothing, so only the
--   columns that the address books of iOS 9 to 17 all have are listed;
--   AlternateBirthday and PreviousFamilyName of newer books come back empty
--   on a recovered person.
--
-- Limits: labels are not merged. A recovered value whose label only the
-- older book knew is packaged with the label name "default". When the book
-- was rebuilt on the phone (a restore), ids start over and a recovered row
-- whose id now belongs to someone else is dropped, never mixed up.
INSERT INTO scan_table_info (system_type, data_type, table_name, is_small_table, is_virtual_table,
                             scan_type, flexible_cnt)
VALUES
  ('ios', 'contact', 'ABPerson', 0, 0, 0, 0),
  ('ios', 'contact', 'ABMultiValue', 0, 0, 0, 0),
  ('ios', 'contact', 'ABMultiValueEntry', 0, 0, 0, 0);

-- field_type is the type index of field_type_text (0 INTEGER, 3 TEXT, 4 BLOB).
INSERT INTO result_field_info (system_type, data_type, table_name, field_name, field_type_text,
                               field_type, is_unique_field, is_row_id_field)
VALUES
  ('ios', 'contact', 'ABPerson', 'ROWID', 'INTEGER', 0, 1, 0),
  ('ios', 'contact', 'ABPerson', 'First', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'Last', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'Middle', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'FirstPhonetic', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'MiddlePhonetic', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'LastPhonetic', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'Organization', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'Department', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'Note', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'Birthday', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'JobTitle', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'Nickname', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'Prefix', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'Suffix', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABPerson', 'guid', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABMultiValue', 'UID', 'INTEGER', 0, 1, 0),
  ('ios', 'contact', 'ABMultiValue', 'record_id', 'INTEGER', 0, 0, 0),
  ('ios', 'contact', 'ABMultiValue', 'property', 'INTEGER', 0, 0, 0),
  ('ios', 'contact', 'ABMultiValue', 'identifier', 'INTEGER', 0, 0, 0),
  ('ios', 'contact', 'ABMultiValue', 'label', 'INTEGER', 0, 0, 0),
  ('ios', 'contact', 'ABMultiValue', 'value', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABMultiValue', 'guid', 'TEXT', 3, 0, 0),
  ('ios', 'contact', 'ABMultiValueEntry', 'parent_id', 'INTEGER', 0, 1, 0),
  ('ios', 'contact', 'ABMultiValueEntry', 'key', 'INTEGER', 0, 1, 0),
  ('ios', 'contact', 'ABMultiValueEntry', 'value', 'TEXT', 3, 0, 0);

-- The package looks values up per person and entries per value.
INSERT INTO index_field_info (data_type, table_name, field_name)
VALUES
  ('contact', 'ABMultiValue', 'record_id'),
  ('contact', 'ABMultiValue', 'property'),
  ('contact', 'ABMultiValueEntry', 'parent_id');
