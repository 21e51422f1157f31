
INSERT INTO chat_list (key_remote_jid, subject, sort_timestamp) VALUES
  ('4915123456789@s.whatsapp.net', NULL, 1);
INSERT INTO messages (_id, key_remote_jid, key_from_me, key_id, status, data, timestamp,
                      media_wa_type, media_size, media_name, media_caption, media_duration,
                      remote_resource, quoted_row_id, raw_data) VALUES
  (2, '4915123456789@s.whatsapp.net', 0, 'A', 0, 'Hallo', 1615713993000, '0', 0, NULL, NULL, 0, NULL, NULL, NULL),
  (3, '4915123456789@s.whatsapp.net', 1, 'B', 13, NULL, 1615713994000, '1', 48213, 'IMG-1.jpg', 'Blick', 0, NULL, NULL, NULL),
  (4, '4915123456789@s.whatsapp.net', 0, 'C', 0, 'Ja https://example.org', 1615713995000, '0', 0, NULL, NULL, 0, NULL, 1, NULL),
  (5, '4915123456789@s.whatsapp.net', 0, 'D', 0, 'BEGIN:VCARD
FN:José
END:VCARD', 1615713996000, '4', 0, NULL, NULL, 0, NULL, NULL, NULL),
  (6, '4915123456789@s.whatsapp.net', 1, 'E', 4, NULL, 1615713997000, '2', 9120, 'PTT-1.opus', NULL, 7, NULL, NULL, NULL),
  (7, '4915123456789@s.whatsapp.net', 0, 'F', 6, 'Neuer Name', 1615713998000, '0', 1, NULL, NULL, 0, NULL, NULL, NULL);
INSERT INTO messages_quotes (_id, key_remote_jid, key_from_me, key_id, data, media_wa_type,
                             remote_resource) VALUES
  (1, '4915123456789@s.whatsapp.net', 0, 'A', 'Hallo', '0', NULL);
INSERT INTO message_thumbnails (thumbnail, key_remote_jid, key_from_me, key_id) VALUES
  (X'FFD8', '4915123456789@s.whatsapp.net', 1, 'B');
INSERT INTO messages_links (key_remote_jid, message_row_id, link_index) VALUES
  ('4915123456789@s.whatsapp.net', 4, 0);
