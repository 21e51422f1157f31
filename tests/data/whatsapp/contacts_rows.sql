
INSERT INTO wa_contacts (jid, is_whatsapp_user, display_name) VALUES
  ('4915123456789@s.whatsapp.net', 1, 'Anna-Lena Müller'),
  ('34612345678@s.whatsapp.net', 1, ''),
  ('34612345678@s.whatsapp.net', 1, 'José Núñez'),
  ('34612345678@s.whatsapp.net', 1, 'José (work)'),
  ('1612345678@broadcast', 0, 'Neujahr');
