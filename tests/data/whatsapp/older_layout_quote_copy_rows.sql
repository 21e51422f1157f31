INSERT INTO chat_list (key_remote_jid, sort_timestamp) VALUES ('4915123456789@s.whatsapp.net', 1);
INSERT INTO messages (_id, key_remote_jid, key_from_me, key_id, status, data, timestamp,
                      media_wa_type, media_size, quoted_row_id) VALUES
  (2, '4915123456789@s.whatsapp.net', 0, 'A1', 0, 'eins', 1615713993000, '0', 0, NULL),
  (3, '4915123456789@s.whatsapp.net', 1, 'A2', 0, 'zwei', 1615713994000, '0', 0, 1);
INSERT INTO messages_quotes (_id, key_remote_jid, key_from_me, key_id, data, media_wa_type)
  VALUES (1, '4915123456789@s.whatsapp.net', 0, 'A1', 'eins', '0');
