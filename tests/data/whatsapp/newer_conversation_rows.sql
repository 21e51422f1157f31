
INSERT INTO jid (_id, user, server, raw_string) VALUES
  (1, '4915123456789', 's.whatsapp.net', '4915123456789@s.whatsapp.net');
INSERT INTO chat (_id, jid_row_id, sort_timestamp) VALUES (1, 1, 1);
INSERT INTO message (_id, chat_row_id, from_me, key_id, sender_jid_row_id, status, timestamp,
                     message_type, text_data) VALUES
  (2, 1, 0, 'A', 0, 0, 1615713993000, 0, 'Hallo'),
  (3, 1, 1, 'B', 0, 13, 1615713994000, 1, 'Blick'),
  (4, 1, 0, 'C', 0, 0, 1615713995000, 0, 'Ja https://example.org'),
  (5, 1, 0, 'D', 0, 0, 1615713996000, 4, NULL),
  (6, 1, 1, 'E', 0, 4, 1615713997000, 2, NULL),
  (7, 1, 0, 'F', 0, 6, 1615713998000, 7, 'Neuer Name');
INSERT INTO message_system VALUES (7, 1);
INSERT INTO message_system_value_change VALUES (7, 'Alter Name');
INSERT INTO message_media (message_row_id, chat_row_id, file_path, file_size, media_name,
                           media_duration, media_caption) VALUES
  (3, 1, 'Media/WhatsApp Images/Sent/IMG-1.jpg', 48213, 'IMG-1.jpg', 0, 'Blick'),
  (6, 1, 'Media/WhatsApp Voice Notes/Sent/PTT-1.opus', 9120, 'PTT-1.opus', 7, NULL);
INSERT INTO message_thumbnail VALUES (3, X'FFD8');
INSERT INTO message_quoted (message_row_id, chat_row_id, parent_message_chat_row_id, from_me,
                            sender_jid_row_id, key_id, message_type, text_data) VALUES
  (4, 1, 1, 0, 0, 'A', 0, 'Hallo');
INSERT INTO message_vcard (message_row_id, vcard) VALUES (5, 'BEGIN:VCARD
FN:José
END:VCARD');
INSERT INTO message_link (chat_row_id, message_row_id, link_index) VALUES (1, 4, 0);
