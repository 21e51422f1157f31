-- iOS messages ("sms"): sms.db, tables chat, handle, chat_handle_join,
-- chat_message_join, message, attachment and message_attachment_join.
--
-- How the rows refer to each other:
--   chat_message_join.chat_id -> chat.ROWID, .message_id -> message.ROWID
--   chat_handle_join.chat_id -> chat.ROWID, .handle_id -> handle.ROWID
--   message.handle_id, message.other_handle -> handle.ROWID
--   message_attachment_join.message_id -> message.ROWID,
--     .attachment_id -> attachment.ROWID
-- The iOS merge copies rows as they are and never renumbers, so a recovered
-- row keeps its own ROWID in the primary, and the join rows of the same copy
-- that point at it still do: a message only an older copy holds comes back
-- in its chat, with its attachments.
--
-- Why ROWID is copied:
--   chat, handle, message and attachment are numbered with AUTOINCREMENT, so
--   within one installation of the store a ROWID is never given to a second
--   record, not even after the first was deleted. A copy's row whose ROWID
--   the primary lacks is a record the phone has deleted since.
--
-- Why these unique keys:
--   chat, message and attachment carry a guid of their own, kept by every
--   later backup; handle is one address on one service (the store's own
--   UNIQUE (id, service)); the joins are their pairs. A row of a copy that
--   the primary holds already is refused by the index (and by the store's
--   own constraints) and is not duplicated.
--
-- Why these fields:
--   The merge reads the listed fields from each further copy in one select;
--   a copy that lacks one of them contributes nothing to that table. So only
--   columns that every store version from iOS 9 on has are listed
--   (destination_caller_id and chat_message_join.message_date came with
--   iOS 10 and 11): a recovered message comes back without the line it
--   reached. The one exception is attachment.original_guid: from iOS 11 on
--   the store declares it NOT NULL, so a recovered attachment without it
--   could never be inserted; an iOS 9 copy therefore recovers no attachments.
--
-- Stores of iOS 5 and earlier:
--   They have no handle, chat or join tables: the conversations are msg_group
--   rows with their group_member addresses, a message names its conversation
--   in group_id, its sender in address (SMS) or madrid_handle (iMessage), and
--   an iMessage's attachments are madrid_attachment rows naming the message.
--   Their tables and columns are listed beside the current ones; each store
--   uses those it has. Their messages carry no guid, so a copy's message is
--   told by its ROWID (AUTOINCREMENT here too), which the primary refuses
--   when it holds it already; an attachment by its attachment_guid; a
--   member by its conversation and address.
--
-- Limits:
--   * Copies must come from the same installation of the store: after the
--     messages were erased, AUTOINCREMENT starts again and a recovered row
--     whose ROWID is taken by another record is dropped.
--   * chat_recoverable_message_join is not merged: a message a copy kept for
--     recovery is recovered through its message row, like any other.
INSERT INTO scan_table_info (system_type, data_type, table_name, is_small_table, is_virtual_table,
                             scan_type, flexible_cnt)
VALUES
  ('ios', 'sms', 'handle', 1, 0, 0, 0),
  ('ios', 'sms', 'chat', 1, 0, 0, 0),
  ('ios', 'sms', 'chat_handle_join', 1, 0, 0, 0),
  ('ios', 'sms', 'message', 0, 0, 0, 0),
  ('ios', 'sms', 'chat_message_join', 0, 0, 0, 0),
  ('ios', 'sms', 'attachment', 0, 0, 0, 0),
  ('ios', 'sms', 'message_attachment_join', 0, 0, 0, 0),
  ('ios', 'sms', 'msg_group', 1, 0, 0, 0),
  ('ios', 'sms', 'group_member', 1, 0, 0, 0),
  ('ios', 'sms', 'msg_pieces', 0, 0, 0, 0),
  ('ios', 'sms', 'madrid_attachment', 0, 0, 0, 0);

-- field_type is the column type index: 0 INTEGER, 3 TEXT, 4 BLOB.
-- is_row_id_field stays 0: the iOS merge does not renumber.
INSERT INTO result_field_info (system_type, data_type, table_name, field_name, field_type_text,
                               field_type, is_unique_field, is_row_id_field)
VALUES
  ('ios', 'sms', 'handle', 'ROWID', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'handle', 'id', 'TEXT', 3, 1, 0),
  ('ios', 'sms', 'handle', 'service', 'TEXT', 3, 1, 0),
  ('ios', 'sms', 'handle', 'country', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'handle', 'uncanonicalized_id', 'TEXT', 3, 0, 0),

  ('ios', 'sms', 'chat', 'ROWID', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'chat', 'guid', 'TEXT', 3, 1, 0),
  ('ios', 'sms', 'chat', 'style', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'chat', 'state', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'chat', 'account_id', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'chat', 'chat_identifier', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'chat', 'service_name', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'chat', 'room_name', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'chat', 'account_login', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'chat', 'last_addressed_handle', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'chat', 'display_name', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'chat', 'group_id', 'TEXT', 3, 0, 0),

  ('ios', 'sms', 'chat_handle_join', 'chat_id', 'INTEGER', 0, 1, 0),
  ('ios', 'sms', 'chat_handle_join', 'handle_id', 'INTEGER', 0, 1, 0),

  ('ios', 'sms', 'message', 'ROWID', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'guid', 'TEXT', 3, 1, 0),
  ('ios', 'sms', 'message', 'text', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'message', 'handle_id', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'subject', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'message', 'attributedBody', 'BLOB', 4, 0, 0),
  ('ios', 'sms', 'message', 'type', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'service', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'message', 'account', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'message', 'account_guid', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'message', 'error', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'date', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'date_read', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'date_delivered', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'is_delivered', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'is_from_me', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'is_read', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'is_sent', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'has_dd_results', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'cache_has_attachments', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'cache_roomnames', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'message', 'is_audio_message', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'item_type', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'other_handle', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'group_title', 'TEXT', 3, 0, 0),

  ('ios', 'sms', 'chat_message_join', 'chat_id', 'INTEGER', 0, 1, 0),
  ('ios', 'sms', 'chat_message_join', 'message_id', 'INTEGER', 0, 1, 0),

  ('ios', 'sms', 'attachment', 'ROWID', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'attachment', 'guid', 'TEXT', 3, 1, 0),
  ('ios', 'sms', 'attachment', 'created_date', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'attachment', 'start_date', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'attachment', 'filename', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'attachment', 'uti', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'attachment', 'mime_type', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'attachment', 'transfer_state', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'attachment', 'is_outgoing', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'attachment', 'user_info', 'BLOB', 4, 0, 0),
  ('ios', 'sms', 'attachment', 'transfer_name', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'attachment', 'total_bytes', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'attachment', 'original_guid', 'TEXT', 3, 0, 0),

  ('ios', 'sms', 'message_attachment_join', 'message_id', 'INTEGER', 0, 1, 0),
  ('ios', 'sms', 'message_attachment_join', 'attachment_id', 'INTEGER', 0, 1, 0),

  ('ios', 'sms', 'message', 'address', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'message', 'flags', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'group_id', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'read', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'madrid_attributedBody', 'BLOB', 4, 0, 0),
  ('ios', 'sms', 'message', 'madrid_handle', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'message', 'madrid_guid', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'message', 'madrid_roomname', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'message', 'madrid_service', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'message', 'madrid_flags', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'madrid_error', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'is_madrid', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'message', 'madrid_date_read', 'INTEGER', 0, 0, 0),

  ('ios', 'sms', 'msg_group', 'ROWID', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'msg_group', 'type', 'INTEGER', 0, 0, 0),

  ('ios', 'sms', 'group_member', 'ROWID', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'group_member', 'group_id', 'INTEGER', 0, 1, 0),
  ('ios', 'sms', 'group_member', 'address', 'TEXT', 3, 1, 0),
  ('ios', 'sms', 'group_member', 'country', 'TEXT', 3, 0, 0),

  ('ios', 'sms', 'msg_pieces', 'ROWID', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'msg_pieces', 'message_id', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'msg_pieces', 'data', 'BLOB', 4, 0, 0),
  ('ios', 'sms', 'msg_pieces', 'part_id', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'msg_pieces', 'content_type', 'TEXT', 3, 0, 0),

  ('ios', 'sms', 'madrid_attachment', 'ROWID', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'madrid_attachment', 'attachment_guid', 'TEXT', 3, 1, 0),
  ('ios', 'sms', 'madrid_attachment', 'created_date', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'madrid_attachment', 'start_date', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'madrid_attachment', 'filename', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'madrid_attachment', 'uti_type', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'madrid_attachment', 'mime_type', 'TEXT', 3, 0, 0),
  ('ios', 'sms', 'madrid_attachment', 'transfer_state', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'madrid_attachment', 'is_incoming', 'INTEGER', 0, 0, 0),
  ('ios', 'sms', 'madrid_attachment', 'message_id', 'INTEGER', 0, 0, 0);
