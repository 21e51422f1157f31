INSERT INTO canonical_addresses VALUES (1,'+1 555 0100'), (2,'+44 20 7946 0958');
INSERT INTO threads (_id,recipient_ids) VALUES (1,'1'), (2,'2');
INSERT INTO sms (_id,thread_id,address,date,type,body) VALUES
(1,1,'+1 555 0100',1615713993123,1,'hello'),
(2,1,'+1 555 0100',1615714100000,2,'deleted message'),
(3,2,'+44 20 7946 0958',1615714200000,1,'lost conversation');
INSERT INTO pdu (_id,thread_id,date,msg_box,sub) VALUES (1,1,1615714000,1,NULL),
(2,2,1615714300,1,'Fwd: Ärger');
INSERT INTO part (_id,mid,ct,_data,text) VALUES (1,1,'text/plain',NULL,'mms kept'),
(2,2,'image/jpeg','/data/app_parts/PART_2.jpg',NULL),
(3,2,'text/plain',NULL,'lost mms');
