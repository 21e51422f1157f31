
INSERT INTO jid (_id, user, server, raw_string) VALUES
  (1, '4915123456789', 's.whatsapp.net', '4915123456789@s.whatsapp.net'),
  (2, '34612345678', 's.whatsapp.net', '34612345678@s.whatsapp.net'),
  (3, '46701234567', 's.whatsapp.net', '46701234567@s.whatsapp.net');
INSERT INTO chat (_id, jid_row_id, sort_timestamp) VALUES (1, 1, 1), (2, 2, 2), (3, 3, 3);
INSERT INTO message (_id, chat_row_id, from_me, key_id, sender_jid_row_id, status, timestamp,
                     message_type, text_data) VALUES
  (2, 1, 0, 'A1', 0, 0, 1615713993000, 0, 'eins'),
  (3, 1, 1, 'A2', 0, 13, 1615713994000, 1, 'zwei'),
  (4, 1, 0, 'A3', 0, 0, 1615713995000, 0, 'drei'),
  (5, 2, 0, 'J1', 0, 0, 1615713996000, 0, 'hola'),
  (6, 2, 1, 'J2', 0, 13, 1615713997000, 0, 'respuesta'),
  (7, 3, 0, 'Z1', 0, 0, 1615713998000, 0, 'hej');
INSERT INTO message_media (message_row_id, chat_row_id, file_path, file_size, media_name) VALUES
  (3, 1, 'Media/WhatsApp Images/Sent/IMG-2.jpg', 4242, 'IMG-2.jpg');
INSERT INTO message_thumbnail VALUES (3, X'FFD80002');
INSERT INTO message_quoted (message_row_id, chat_row_id, parent_message_chat_row_id, from_me,
                            sender_jid_row_id, key_id, message_type, text_data) VALUES
  (6, 2, 2, 0, 2, 'J1', 0, 'hola');
