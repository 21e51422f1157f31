-- Android contacts (contacts2.db): which tables and fields of an older copy
-- are folded into the staged primary database.
--
-- The contacts package reads `data` (one row per piece of contact data,
-- grouped by raw_contact_id) and resolves data.mimetype_id through
-- `mimetypes`; `raw_contacts` is the parent the data rows point at. These
-- three tables are merged.
--
-- Why the keys are the row ids themselves:
--   * `raw_contacts._id` and `data._id` are INTEGER PRIMARY KEY AUTOINCREMENT:
--     the provider never hands an id out twice in the life of a database, so
--     in two copies taken from the same phone the same _id is the same
--     record (maybe edited since), and an id the primary lacks belongs to a
--     record deleted on the phone.
--   * The copy is merged with the plain copy merge, which inserts every
--     configured field. _id is configured, so a recovered row keeps its id,
--     and data.raw_contact_id of recovered data rows still points at the
--     right raw contact (recovered with its own id too). Any other choice
--     would need the ids renumbered and every reference rewritten, which
--     this merge does not do.
--   * The unique key is therefore _id (the unique index it yields adds
--     nothing to the primary key; it states the identity). A row of the copy
--     whose _id the primary holds is skipped by the primary-key conflict:
--     the primary's (newer) version wins and nothing is duplicated.
--   * No field is a renumbering row id (is_row_id_field 0 everywhere): a
--     renumbered raw contact would lose its data rows.
--   * `mimetypes`: ids are handed out on first use of a kind and rows are
--     never deleted, so copies of one phone agree on them. The key is the
--     mimetype text (the provider's own unique index "mime_type"); _id is
--     configured so that a kind only the copy knew keeps the id its data rows
--     use.
--
-- Limits, stated honestly: when the phone's database was recreated between
-- the copies (data cleared, restore from a cloud backup) the ids start over.
-- Then a copy's row whose _id the primary gives to another record is
-- dropped (lost, never mixed up), a copy's row whose _id is free comes back
-- as deleted even if the same person lives on under a new id, and a data
-- row may resolve its mimetype_id through the primary's numbering.
--
-- Only fields that every schema version since Android 4.0 has are listed:
-- the merge selects the configured fields that the primary holds from each
-- copy, and a copy that lacks one of them contributes no row of that table.
-- Left out for that reason: the account columns (account_name/account_type
-- on raw_contacts before the accounts table, account_id after it),
-- data.hash_id, data.carrier_presence, raw_contacts.backup_id and the
-- usage counters. `accounts`, `contacts` (aggregates rebuilt by the phone),
-- the lookup tables and the FTS index are not merged: the package reads none
-- of them.

INSERT INTO scan_table_info (system_type, data_type, table_name, is_small_table,
                             is_virtual_table, scan_type, flexible_cnt) VALUES
  ('android', 'contact', 'mimetypes', 1, 0, 0, 0),
  ('android', 'contact', 'raw_contacts', 0, 0, 0, 0),
  ('android', 'contact', 'data', 0, 0, 0, 0);

-- field_type is the type index of field_type_text (0 INTEGER, 3 TEXT).
INSERT INTO result_field_info (system_type, data_type, table_name, field_name,
                               field_type_text, field_type, is_unique_field,
                               is_row_id_field) VALUES
  ('android', 'contact', 'mimetypes', '_id', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'mimetypes', 'mimetype', 'TEXT', 3, 1, 0),

  ('android', 'contact', 'raw_contacts', '_id', 'INTEGER', 0, 1, 0),
  ('android', 'contact', 'raw_contacts', 'contact_id', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'raw_contacts', 'sourceid', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'raw_contacts', 'raw_contact_is_read_only', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'raw_contacts', 'version', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'raw_contacts', 'dirty', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'raw_contacts', 'deleted', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'raw_contacts', 'aggregation_mode', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'raw_contacts', 'custom_ringtone', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'raw_contacts', 'send_to_voicemail', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'raw_contacts', 'starred', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'raw_contacts', 'display_name', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'raw_contacts', 'display_name_alt', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'raw_contacts', 'display_name_source', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'raw_contacts', 'phonetic_name', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'raw_contacts', 'phonetic_name_style', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'raw_contacts', 'sort_key', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'raw_contacts', 'sort_key_alt', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'raw_contacts', 'sync1', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'raw_contacts', 'sync2', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'raw_contacts', 'sync3', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'raw_contacts', 'sync4', 'TEXT', 3, 0, 0),

  ('android', 'contact', 'data', '_id', 'INTEGER', 0, 1, 0),
  ('android', 'contact', 'data', 'package_id', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'data', 'mimetype_id', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'data', 'raw_contact_id', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'data', 'is_read_only', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'data', 'is_primary', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'data', 'is_super_primary', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'data', 'data_version', 'INTEGER', 0, 0, 0),
  ('android', 'contact', 'data', 'data1', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data2', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data3', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data4', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data5', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data6', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data7', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data8', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data9', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data10', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data11', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data12', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data13', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data14', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data15', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data_sync1', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data_sync2', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data_sync3', 'TEXT', 3, 0, 0),
  ('android', 'contact', 'data', 'data_sync4', 'TEXT', 3, 0, 0);
