
INSERT INTO jid (_id, user, server, agent, device, type, raw_string) VALUES
  (1, '4915123456789', 's.whatsapp.net', 0, 0, 0, '4915123456789@s.whatsapp.net'),
  (2, '34612345678', 's.whatsapp.net', 0, 0, 0, '34612345678@s.whatsapp.net'),
  (3, '491701234567-1602590000', 'g.us', 0, 0, 1, '491701234567-1602590000@g.us'),
  (4, '1612345678', 'broadcast', 0, 0, 3, '1612345678@broadcast'),
  (5, 'status_me', '', 0, 0, 0, 'status_me'),
  (6, 'nonsense', '', 0, 0, 0, 'nonsense');
INSERT INTO chat (_id, jid_row_id, subject, sort_timestamp, group_type) VALUES
  (1, 1, NULL, 1615713993123, 0), (2, 3, 'Familie 👨‍👩‍👧', 1615713994000, 0),
  (3, 4, NULL, 1615713995000, 0), (4, 6, NULL, 1, 0), (5, 2, NULL, NULL, 0);
INSERT INTO group_participant_user (group_jid_row_id, user_jid_row_id) VALUES
  (3, 1), (3, 2), (3, 5), (4, 2);
INSERT INTO message (_id, chat_row_id, from_me, key_id, sender_jid_row_id, status, timestamp,
                     message_type, text_data) VALUES
  (10, 1, 0, 'K10', 0, 0, 1615713993123, 0, NULL),
  (11, 1, 0, 'K11', 0, 0, 1615713994000, 0, 'Hallo 😊 https://example.org/x'),
  (12, 1, 1, 'K12', 0, 13, 1615713995000, 1, 'Blick 🌄'),
  (13, 1, 1, 'K13', 0, 4, 1615713996000, 0, 'Ja!'),
  (14, 1, 1, 'K14', 0, 6, 1615713997000, 7, NULL),
  (15, 1, 0, 'K15', 0, 0, 1615713998000, 42, NULL),
  (20, 2, 0, 'K20', 2, 0, 1615714000000, 0, '¿Qué tal?'),
  (21, 2, 0, 'K21', 2, 6, 1615714001000, 7, NULL),
  (22, 2, 1, 'K22', 0, 2, 1615714002000, 1, NULL);
INSERT INTO message_system VALUES (10, 19), (14, 56), (21, 12);
INSERT INTO message_link (chat_row_id, message_row_id, link_index) VALUES (1, 11, 0);
INSERT INTO message_media (message_row_id, chat_row_id, file_path, file_size, media_name,
                           media_duration, media_caption, file_hash) VALUES
  (12, 1, 'Media/WhatsApp Images/Sent/IMG-1.jpg', 48213, 'IMG-1.jpg', 0, 'Blick 🌄', 'h12'),
  (15, 1, 'Media/WhatsApp Images/Private/IMG-2.jpg', 1000, 'IMG-2.jpg', 0, NULL, 'h15'),
  (22, 2, 'IMG-3.jpg', 2000, 'IMG-3.jpg', 0, NULL, 'h22');
INSERT INTO message_thumbnail VALUES (12, X'FFD8FFE0'), (13, X'');
INSERT INTO message_quoted (message_row_id, chat_row_id, parent_message_chat_row_id, from_me,
                            sender_jid_row_id, key_id, timestamp, message_type, text_data) VALUES
  (13, 1, 1, 0, 1, 'K11', 1615713994000, 0, 'Hallo 😊 https://example.org/x');
INSERT INTO message_ephemeral_setting (message_row_id, setting_duration) VALUES (14, 604800);
INSERT INTO message_view_once_media VALUES (15, 1);
INSERT INTO message_system_chat_participant VALUES (21, 1);
