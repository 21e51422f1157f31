-- Android WhatsApp ("whatsapp"): the message store msgstore.db (both
-- layouts) and the contacts database wa.db. Both merges read these rows;
-- each only finds the tables its database has.
--
-- The keyed merge (MergeDatabaseCopiesByKey) skips a copy's row whose key the
-- primary holds, and gives a new row whose is_row_id_field value is taken
-- the largest value of both databases plus one. Rows refer to each other by
-- id:
--   newer layout: chat.jid_row_id -> jid._id; message.chat_row_id -> chat._id;
--     message.sender_jid_row_id -> jid._id; every satellite's
--     message_row_id -> message._id (media, thumbnail, quote, system rows,
--     view-once state, disappearing setting, links, vCards);
--     group_participant_user -> jid._id;
--   older layout: messages.quoted_row_id -> messages_quotes._id;
--     messages_links / messages_vcards .message_row_id -> messages._id;
--     everything else by jid text and key (message_thumbnails by
--     key_remote_jid + key_from_me + key_id).
-- Renumbering alone would leave those references pointing at the old
-- number, i.e. at a different live row. So before the merge the filter
-- aligns the ids of each staged copy with the primary's (android/
-- whatsapp_merge.h): a row both hold takes the primary's id, a row only the
-- copy holds keeps its id if it is free in the primary or takes one above
-- both, and every referring column of the copy is rewritten to match. After
-- that, the merge's key test drops what the primary has, and a recovered row
-- goes in under the id its satellites already carry; the renumbering of the
-- row-id fields below is a safety net that stays idle.
--
-- Why these keys:
--   jid            raw_string: the address itself ("<number>@s.whatsapp.net").
--   chat           jid_row_id: one chat per address (WhatsApp's own UNIQUE).
--   message        chat_row_id + from_me + key_id: WhatsApp's message key
--                  (its own index adds sender_jid_row_id, which is NULL in
--                  some versions for one-to-one chats, and NULL never equals
--                  NULL in the key test, so it is left out).
--   satellites     message_row_id (their primary key), plus the second
--                  column of their own unique index where a message has
--                  several rows (link_index, vcard, user_jid_row_id).
--   messages       key_remote_jid + key_from_me + key_id (messages_key_index).
--   messages_quotes _id: the table has no key of its own; after alignment
--                  its _id is the one the quoting message carries, so it is
--                  stable, and it is not a row-id field (renumbering it would
--                  cut the quote from its message).
--   message_thumbnails the message key, as its unique index.
--   group_participants gjid + jid, as its unique index.
--   wa_contacts    jid: a contact known only to an older copy comes back
--                  once (wa.db has one row per phone-book entry of a jid; the
--                  primary keeps its own).
-- _id columns that nothing packaged refers to (message_vcard, message_link,
-- group_participant_user, wa_contacts ...) are not merged: a recovered row
-- takes a fresh rowid instead of failing on a taken one.
--
-- Fields: only columns that every known version of a table has, because a
-- copy that lacks a listed field contributes no row to that table.
--
-- Limits:
--   * The primary and the copy must have the same layout; an older-layout
--     copy of a newer-layout primary is not converted and adds nothing (its
--     tables are not in the primary).
--   * Message rows of a copy that predates media_caption or quoted_row_id in
--     `messages` (before 2017) are not merged.
--   * The unique index treats NULLs as different: a row with a NULL key
--     value (a jid without raw_string) is added again from every copy.
--   * If aligning a copy fails (it is logged), the merge still runs and the
--     safety net renumbers: a recovered message then keeps its satellites
--     only when the primary has no satellite row under the old number.
INSERT INTO scan_table_info (system_type, data_type, table_name, is_small_table, is_virtual_table,
                             scan_type, flexible_cnt)
VALUES
  ('android', 'whatsapp', 'jid', 1, 0, 0, 0),
  ('android', 'whatsapp', 'chat', 1, 0, 0, 0),
  ('android', 'whatsapp', 'message', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_media', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_thumbnail', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_quoted', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_quoted_media', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_quoted_vcard', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_system', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_system_chat_participant', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_system_value_change', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_system_number_change', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_system_group_with_parent', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_view_once_media', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_ephemeral_setting', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_link', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_vcard', 0, 0, 0, 0),
  ('android', 'whatsapp', 'group_participant_user', 1, 0, 0, 0),
  ('android', 'whatsapp', 'chat_list', 1, 0, 0, 0),
  ('android', 'whatsapp', 'messages', 0, 0, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 0, 0, 0, 0),
  ('android', 'whatsapp', 'message_thumbnails', 0, 0, 0, 0),
  ('android', 'whatsapp', 'messages_links', 0, 0, 0, 0),
  ('android', 'whatsapp', 'messages_vcards', 0, 0, 0, 0),
  ('android', 'whatsapp', 'group_participants', 1, 0, 0, 0),
  ('android', 'whatsapp', 'wa_contacts', 1, 0, 0, 0);

-- field_type is the column type index: 0 INTEGER, 3 TEXT, 4 BLOB, 8 REAL.
INSERT INTO result_field_info (system_type, data_type, table_name, field_name, field_type_text,
                               field_type, is_unique_field, is_row_id_field)
VALUES
  ('android', 'whatsapp', 'jid', '_id', 'INTEGER', 0, 0, 1),
  ('android', 'whatsapp', 'jid', 'user', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'jid', 'server', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'jid', 'agent', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'jid', 'device', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'jid', 'type', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'jid', 'raw_string', 'TEXT', 3, 1, 0),

  ('android', 'whatsapp', 'chat', '_id', 'INTEGER', 0, 0, 1),
  ('android', 'whatsapp', 'chat', 'jid_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'chat', 'hidden', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'chat', 'subject', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'chat', 'created_timestamp', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'chat', 'archived', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'chat', 'sort_timestamp', 'INTEGER', 0, 0, 0),

  ('android', 'whatsapp', 'message', '_id', 'INTEGER', 0, 0, 1),
  ('android', 'whatsapp', 'message', 'chat_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message', 'from_me', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message', 'key_id', 'TEXT', 3, 1, 0),
  ('android', 'whatsapp', 'message', 'sender_jid_row_id', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message', 'status', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message', 'origin', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message', 'timestamp', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message', 'received_timestamp', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message', 'message_type', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message', 'text_data', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'message', 'starred', 'INTEGER', 0, 0, 0),

  ('android', 'whatsapp', 'message_media', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_media', 'chat_row_id', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_media', 'transferred', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_media', 'file_path', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'message_media', 'file_size', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_media', 'mime_type', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'message_media', 'media_name', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'message_media', 'file_hash', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'message_media', 'media_duration', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_media', 'width', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_media', 'height', 'INTEGER', 0, 0, 0),

  ('android', 'whatsapp', 'message_thumbnail', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_thumbnail', 'thumbnail', 'BLOB', 4, 0, 0),

  ('android', 'whatsapp', 'message_quoted', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_quoted', 'chat_row_id', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_quoted', 'parent_message_chat_row_id', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_quoted', 'from_me', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_quoted', 'sender_jid_row_id', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_quoted', 'key_id', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'message_quoted', 'timestamp', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_quoted', 'message_type', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_quoted', 'origin', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_quoted', 'text_data', 'TEXT', 3, 0, 0),

  ('android', 'whatsapp', 'message_quoted_media', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_quoted_media', 'file_path', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'message_quoted_media', 'file_size', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_quoted_media', 'mime_type', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'message_quoted_media', 'media_name', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'message_quoted_media', 'media_duration', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_quoted_media', 'thumbnail', 'BLOB', 4, 0, 0),

  ('android', 'whatsapp', 'message_quoted_vcard', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_quoted_vcard', 'vcard', 'TEXT', 3, 1, 0),

  ('android', 'whatsapp', 'message_system', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_system', 'action_type', 'INTEGER', 0, 0, 0),

  ('android', 'whatsapp', 'message_system_chat_participant', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_system_chat_participant', 'user_jid_row_id', 'INTEGER', 0, 1, 0),

  ('android', 'whatsapp', 'message_system_value_change', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_system_value_change', 'old_data', 'TEXT', 3, 0, 0),

  ('android', 'whatsapp', 'message_system_number_change', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_system_number_change', 'old_jid_row_id', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'message_system_number_change', 'new_jid_row_id', 'INTEGER', 0, 0, 0),

  ('android', 'whatsapp', 'message_system_group_with_parent', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_system_group_with_parent', 'linked_parent_group_name', 'TEXT', 3, 0, 0),

  ('android', 'whatsapp', 'message_view_once_media', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_view_once_media', 'state', 'INTEGER', 0, 0, 0),

  ('android', 'whatsapp', 'message_ephemeral_setting', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_ephemeral_setting', 'setting_duration', 'INTEGER', 0, 0, 0),

  ('android', 'whatsapp', 'message_link', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_link', 'link_index', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_link', 'chat_row_id', 'INTEGER', 0, 0, 0),

  ('android', 'whatsapp', 'message_vcard', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_vcard', 'vcard', 'TEXT', 3, 1, 0),

  ('android', 'whatsapp', 'group_participant_user', 'group_jid_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'group_participant_user', 'user_jid_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'group_participant_user', 'rank', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'group_participant_user', 'pending', 'INTEGER', 0, 0, 0),

  ('android', 'whatsapp', 'chat_list', 'key_remote_jid', 'TEXT', 3, 1, 0),
  ('android', 'whatsapp', 'chat_list', 'subject', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'chat_list', 'creation', 'INTEGER', 0, 0, 0),

  ('android', 'whatsapp', 'messages', '_id', 'INTEGER', 0, 0, 1),
  ('android', 'whatsapp', 'messages', 'key_remote_jid', 'TEXT', 3, 1, 0),
  ('android', 'whatsapp', 'messages', 'key_from_me', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'messages', 'key_id', 'TEXT', 3, 1, 0),
  ('android', 'whatsapp', 'messages', 'status', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'messages', 'needs_push', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'messages', 'data', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages', 'timestamp', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'messages', 'media_url', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages', 'media_mime_type', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages', 'media_wa_type', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages', 'media_size', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'messages', 'media_name', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages', 'media_caption', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages', 'media_hash', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages', 'media_duration', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'messages', 'origin', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'messages', 'latitude', 'REAL', 8, 0, 0),
  ('android', 'whatsapp', 'messages', 'longitude', 'REAL', 8, 0, 0),
  ('android', 'whatsapp', 'messages', 'remote_resource', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages', 'received_timestamp', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'messages', 'raw_data', 'BLOB', 4, 0, 0),
  ('android', 'whatsapp', 'messages', 'quoted_row_id', 'INTEGER', 0, 0, 0),

  ('android', 'whatsapp', 'messages_quotes', '_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'messages_quotes', 'key_remote_jid', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 'key_from_me', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 'key_id', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 'status', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 'data', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 'timestamp', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 'media_wa_type', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 'media_size', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 'media_name', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 'media_caption', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 'media_duration', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 'remote_resource', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages_quotes', 'raw_data', 'BLOB', 4, 0, 0),

  ('android', 'whatsapp', 'message_thumbnails', 'key_remote_jid', 'TEXT', 3, 1, 0),
  ('android', 'whatsapp', 'message_thumbnails', 'key_from_me', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'message_thumbnails', 'key_id', 'TEXT', 3, 1, 0),
  ('android', 'whatsapp', 'message_thumbnails', 'thumbnail', 'BLOB', 4, 0, 0),
  ('android', 'whatsapp', 'message_thumbnails', 'timestamp', 'DATETIME', 11, 0, 0),

  ('android', 'whatsapp', 'messages_links', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'messages_links', 'link_index', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'messages_links', 'key_remote_jid', 'TEXT', 3, 0, 0),

  ('android', 'whatsapp', 'messages_vcards', 'message_row_id', 'INTEGER', 0, 1, 0),
  ('android', 'whatsapp', 'messages_vcards', 'vcard', 'TEXT', 3, 1, 0),
  ('android', 'whatsapp', 'messages_vcards', 'sender_jid', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'messages_vcards', 'chat_jid', 'TEXT', 3, 0, 0),

  ('android', 'whatsapp', 'group_participants', 'gjid', 'TEXT', 3, 1, 0),
  ('android', 'whatsapp', 'group_participants', 'jid', 'TEXT', 3, 1, 0),
  ('android', 'whatsapp', 'group_participants', 'admin', 'INTEGER', 0, 0, 0),
  ('android', 'whatsapp', 'group_participants', 'pending', 'INTEGER', 0, 0, 0),

  ('android', 'whatsapp', 'wa_contacts', 'jid', 'TEXT', 3, 1, 0),
  ('android', 'whatsapp', 'wa_contacts', 'is_whatsapp_user', 'BOOLEAN', 12, 0, 0),
  ('android', 'whatsapp', 'wa_contacts', 'status', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'wa_contacts', 'number', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'wa_contacts', 'display_name', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'wa_contacts', 'given_name', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'wa_contacts', 'family_name', 'TEXT', 3, 0, 0),
  ('android', 'whatsapp', 'wa_contacts', 'wa_name', 'TEXT', 3, 0, 0);
