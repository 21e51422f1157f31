-- iOS notes ("note"): two stores share this configuration, and each merge
-- finds only the tables its store has.
--   NoteStore.sqlite (queue "icloud_note_files_path"), a Core Data store:
--     ZICCLOUDSYNCINGOBJECT holds accounts, folders, notes, attachments,
--     media and preview images alike; ZICNOTEDATA holds the note bodies.
--   notes.sqlite (queue "other_note_files_path"), the notes of iOS 8 and
--   before: ZNOTE, ZNOTEBODY and ZNOTEATTACHMENT.
--
-- How the rows refer to each other:
--   ZICNOTEDATA.ZNOTE -> ZICCLOUDSYNCINGOBJECT.Z_PK (the note), and within
--   ZICCLOUDSYNCINGOBJECT the numbered ZACCOUNTn, ZNOTE, ZMEDIA,
--   ZATTACHMENT1, ZPARENTATTACHMENT and ZOWNER -> Z_PK;
--   ZNOTE.ZBODY -> ZNOTEBODY.Z_PK, ZNOTEBODY.ZOWNER and ZNOTEATTACHMENT.ZNOTE
--   -> ZNOTE.Z_PK.
-- The merge copies Z_PK as it is and never renumbers it: Core Data hands
-- out each entity's row numbers from Z_PRIMARYKEY.Z_MAX and never twice in
-- one store, so an older copy's row whose Z_PK the primary lacks is a row
-- deleted since, and the references of the copy's other rows to it still
-- hold. A recovered row whose Z_PK another row took is refused.
--
-- Why these unique keys:
--   ZIDENTIFIER is the UUID every object of the current store carries (its
--   CloudKit record name), kept by every later backup. A note body belongs
--   to one note: ZICNOTEDATA.ZNOTE. In the old database ZGUID names a note,
--   a body belongs to its owner note (ZOWNER), and an attachment carries its
--   MIME content id (ZCONTENTID).
--
-- Why these fields:
--   The merge reads the listed fields from each further copy in one select;
--   a copy that lacks one of them contributes nothing to that table. So only
--   the columns that every store version from iOS 9 on has are listed. The
--   note's folder (ZFOLDER since iOS 13) and the account columns after
--   ZACCOUNT2 (their numbers move with each release) are left out: a note
--   recovered from a copy comes back with its title, snippet, date and body,
--   without its folder; where its account was ZACCOUNT2 it keeps that too.
--   ZISPASSWORDPROTECTED came with iOS 9.3 and is left out as well: a
--   locked note recovered from a copy reads as unlocked, but its encrypted
--   body is no zlib or gzip stream, so it comes back with its title alone.
INSERT INTO scan_table_info (system_type, data_type, table_name, is_small_table, is_virtual_table,
                             scan_type, flexible_cnt)
VALUES
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 0, 0, 0, 0),
  ('ios', 'note', 'ZICNOTEDATA', 0, 0, 0, 0),
  ('ios', 'note', 'ZNOTE', 0, 0, 0, 0),
  ('ios', 'note', 'ZNOTEBODY', 0, 0, 0, 0),
  ('ios', 'note', 'ZNOTEATTACHMENT', 1, 0, 0, 0);

-- field_type is the column type index: 0 INTEGER, 3 TEXT, 4 BLOB, 8 REAL
-- (Core Data's TIMESTAMP).
INSERT INTO result_field_info (system_type, data_type, table_name, field_name, field_type_text,
                               field_type, is_unique_field, is_row_id_field)
VALUES
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'Z_PK', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'Z_ENT', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZIDENTIFIER', 'VARCHAR', 3, 1, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZMARKEDFORDELETION', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZACCOUNT2', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZNOTE', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZMEDIA', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZATTACHMENT1', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZPARENTATTACHMENT', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZCREATIONDATE', 'TIMESTAMP', 8, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZMODIFICATIONDATE1', 'TIMESTAMP', 8, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZTITLE', 'VARCHAR', 3, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZTITLE1', 'VARCHAR', 3, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZTITLE2', 'VARCHAR', 3, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZSNIPPET', 'VARCHAR', 3, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZSUMMARY', 'VARCHAR', 3, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZNAME', 'VARCHAR', 3, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZTYPEUTI', 'VARCHAR', 3, 0, 0),
  ('ios', 'note', 'ZICCLOUDSYNCINGOBJECT', 'ZFILENAME', 'VARCHAR', 3, 0, 0),

  ('ios', 'note', 'ZICNOTEDATA', 'Z_PK', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZICNOTEDATA', 'Z_ENT', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZICNOTEDATA', 'ZNOTE', 'INTEGER', 0, 1, 0),
  ('ios', 'note', 'ZICNOTEDATA', 'ZDATA', 'BLOB', 4, 0, 0),

  ('ios', 'note', 'ZNOTE', 'Z_PK', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZNOTE', 'Z_ENT', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZNOTE', 'ZGUID', 'VARCHAR', 3, 1, 0),
  ('ios', 'note', 'ZNOTE', 'ZBODY', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZNOTE', 'ZSTORE', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZNOTE', 'ZCREATIONDATE', 'TIMESTAMP', 8, 0, 0),
  ('ios', 'note', 'ZNOTE', 'ZMODIFICATIONDATE', 'TIMESTAMP', 8, 0, 0),
  ('ios', 'note', 'ZNOTE', 'ZTITLE', 'VARCHAR', 3, 0, 0),
  ('ios', 'note', 'ZNOTE', 'ZSUMMARY', 'VARCHAR', 3, 0, 0),

  ('ios', 'note', 'ZNOTEBODY', 'Z_PK', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZNOTEBODY', 'Z_ENT', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZNOTEBODY', 'ZOWNER', 'INTEGER', 0, 1, 0),
  ('ios', 'note', 'ZNOTEBODY', 'ZCONTENT', 'VARCHAR', 3, 0, 0),

  ('ios', 'note', 'ZNOTEATTACHMENT', 'Z_PK', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZNOTEATTACHMENT', 'ZNOTE', 'INTEGER', 0, 0, 0),
  ('ios', 'note', 'ZNOTEATTACHMENT', 'ZCONTENTID', 'VARCHAR', 3, 1, 0),
  ('ios', 'note', 'ZNOTEATTACHMENT', 'ZFILENAME', 'VARCHAR', 3, 0, 0);
