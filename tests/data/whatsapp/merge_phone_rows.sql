
INSERT INTO jid (_id, user, server, raw_string) VALUES
  (1, 'status', 'broadcast', 'status@broadcast'),
  (2, '4915123456789', 's.whatsapp.net', '4915123456789@s.whatsapp.net'),
  (3, '34612345678', 's.whatsapp.net', '34612345678@s.whatsapp.net');
INSERT INTO chat (_id, jid_row_id, sort_timestamp) VALUES (1, 2, 1), (2, 3, 2);
INSERT INTO message (_id, chat_row_id, from_me, key_id, sender_jid_row_id, status, timestamp,
                     message_type, text_data) VALUES
  (2, 1, 0, 'A1', 0, 0, 1615713993000, 0, 'eins'),
  (3, 1, 0, 'A3', 0, 0, 1615713995000, 0, 'drei'),
  (4, 2, 0, 'J1', 0, 0, 1615713996000, 0, 'hola'),
  (5, 1, 1, 'A4', 0, 13, 1615713999000, 0, 'vier');
