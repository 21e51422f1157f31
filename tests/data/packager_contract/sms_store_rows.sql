INSERT INTO canonical_addresses (_id,address) VALUES (1,'+1 (555) 123-4567'),
(2,'+44 7700 900123'), (4,'+33 6 12 34 56 78'), (5,NULL);
INSERT INTO threads (_id,recipient_ids) VALUES (1,'1'), (2,'2'), (3,'1 2  4'),
(4,'9'), (5,'');
INSERT INTO sms (_id,thread_id,address,date,type,body) VALUES
(1,1,'+1 (555) 123-4567',1615713993123,1,'Ça va ? 😀'),
(2,1,'+15551234567',1615714000000,2,'It''s "fine"'),
(3,2,'+44 7700 900123',NULL,7,NULL),
(4,2,'+44 7700 900123',1615714100000,-1,'שלום'),
(5,6,' - - ',1615714200000,1,'no address'),
(6,2,'+44 7700 900123',1615714300000,5,'x');
INSERT INTO pdu (_id,thread_id,date,msg_box,sub) VALUES
(10,3,1615713993,1,'Photos 📷'), (11,1,1615714500,5,''),
(12,99,1615714550,1,NULL), (14,2,1615714600,2,NULL);
INSERT INTO part (_id,mid,seq,ct,_data,text) VALUES
(1,10,-1,'application/smil',NULL,'<smil/>'),
(2,10,0,'image/jpeg','/data/app_parts/PART_1.jpg',NULL),
(3,10,1,'text/plain',NULL,'Look at this 🌅'),
(4,11,0,'text/plain',NULL,'only text'),
(5,12,0,'text/plain',NULL,'thread unknown'),
(6,13,0,'text/plain',NULL,'no pdu row'),
(7,14,0,'text/x-vCard','/data/app_parts/PART_7.vcf',NULL),
(8,14,1,'audio/amr','',NULL),
(9,14,2,'video/mp4','/data/app_parts/PART_9.mp4',NULL);
