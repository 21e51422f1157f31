-- Android SMS and MMS ("sms"): the telephony database mmssms.db, tables
-- canonical_addresses, threads, sms, pdu and part.
--
-- How the rows refer to each other:
--   sms.thread_id and pdu.thread_id -> threads._id
--   threads.recipient_ids (ids separated by blanks) -> canonical_addresses._id
--   part.mid -> pdu._id
-- The Android merge copies rows as they are and never renumbers, so a row
-- that is referred to keeps its own _id in the primary, and the rows that
-- refer to it find it there.
--
-- Why _id is copied and is the whole key for canonical_addresses, threads,
-- pdu and part:
--   The telephony provider numbers these four tables with AUTOINCREMENT, so
--   within one installation of the database an _id is never given to a
--   second record, not even after the first was deleted. An older copy's row
--   whose _id the primary holds is therefore the same record (the unique
--   index refuses it and it is not duplicated), and a row whose _id the
--   primary lacks is a record the phone has deleted since: it is inserted
--   under its own _id, so the sms, pdu and part rows of the same copy that
--   point at it still do.
--
-- Why sms is different:
--   sms._id is a plain INTEGER PRIMARY KEY without AUTOINCREMENT: after the
--   newest message is deleted, the next one takes the same _id. Copying _id
--   would make exactly the deleted message fail its insert on the primary key
--   and vanish. Nothing that is packaged refers to an sms row by _id, so it
--   is left out and a recovered message takes a fresh row number.
--   Its key is address + date (milliseconds): one party, one moment. type is
--   not part of it because a message moves between boxes (outbox -> sent),
--   and thread_id adds nothing to address.
--
-- Fields: only columns that both the older (Android 4.4) and the current
-- table definitions have, since a copy that lacks a listed field contributes
-- no row to that table.
--
-- Limits:
--   * Copies must come from the same installation of the database. After the
--     telephony data was cleared, AUTOINCREMENT starts again at 1: an older
--     copy's thread, address, MMS or part whose _id is now taken by a
--     different record is dropped, and a recovered part may then hang under
--     the wrong pdu.
--   * The unique index treats NULLs as different: an sms row without address
--     or date is added again from every copy that holds it.
--   * A primary holding two sms rows with the same address and date cannot
--     take the index; then every sms row of the copies is added.
INSERT INTO scan_table_info (system_type, data_type, table_name, is_small_table, is_virtual_table,
                             scan_type, flexible_cnt)
VALUES
  ('android', 'sms', 'canonical_addresses', 1, 0, 0, 0),
  ('android', 'sms', 'threads', 1, 0, 0, 0),
  ('android', 'sms', 'sms', 0, 0, 0, 0),
  ('android', 'sms', 'pdu', 0, 0, 0, 0),
  ('android', 'sms', 'part', 0, 0, 0, 0);

-- field_type is the column type index: 0 INTEGER, 3 TEXT. is_row_id_field
-- stays 0: the Android merge does not renumber.
INSERT INTO result_field_info (system_type, data_type, table_name, field_name, field_type_text,
                               field_type, is_unique_field, is_row_id_field)
VALUES
  ('android', 'sms', 'canonical_addresses', '_id', 'INTEGER', 0, 1, 0),
  ('android', 'sms', 'canonical_addresses', 'address', 'TEXT', 3, 0, 0),

  ('android', 'sms', 'threads', '_id', 'INTEGER', 0, 1, 0),
  ('android', 'sms', 'threads', 'date', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'threads', 'message_count', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'threads', 'recipient_ids', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'threads', 'snippet', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'threads', 'snippet_cs', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'threads', 'read', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'threads', 'type', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'threads', 'error', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'threads', 'has_attachment', 'INTEGER', 0, 0, 0),

  ('android', 'sms', 'sms', 'thread_id', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'sms', 'address', 'TEXT', 3, 1, 0),
  ('android', 'sms', 'sms', 'person', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'sms', 'date', 'INTEGER', 0, 1, 0),
  ('android', 'sms', 'sms', 'date_sent', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'sms', 'protocol', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'sms', 'read', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'sms', 'status', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'sms', 'type', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'sms', 'reply_path_present', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'sms', 'subject', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'sms', 'body', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'sms', 'service_center', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'sms', 'locked', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'sms', 'error_code', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'sms', 'seen', 'INTEGER', 0, 0, 0),

  ('android', 'sms', 'pdu', '_id', 'INTEGER', 0, 1, 0),
  ('android', 'sms', 'pdu', 'thread_id', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'pdu', 'date', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'pdu', 'date_sent', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'pdu', 'msg_box', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'pdu', 'read', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'pdu', 'm_id', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'pdu', 'sub', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'pdu', 'sub_cs', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'pdu', 'ct_t', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'pdu', 'm_type', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'pdu', 'm_size', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'pdu', 'tr_id', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'pdu', 'locked', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'pdu', 'seen', 'INTEGER', 0, 0, 0),

  ('android', 'sms', 'part', '_id', 'INTEGER', 0, 1, 0),
  ('android', 'sms', 'part', 'mid', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'part', 'seq', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'part', 'ct', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'part', 'name', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'part', 'chset', 'INTEGER', 0, 0, 0),
  ('android', 'sms', 'part', 'cd', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'part', 'fn', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'part', 'cid', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'part', 'cl', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'part', '_data', 'TEXT', 3, 0, 0),
  ('android', 'sms', 'part', 'text', 'TEXT', 3, 0, 0);
