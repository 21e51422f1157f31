INSERT INTO canonical_addresses VALUES (1,'+1 555 0100');
INSERT INTO threads (_id,recipient_ids) VALUES (1,'1');
INSERT INTO sms (_id,thread_id,address,date,type,body) VALUES
(1,1,'+1 555 0100',1615713993123,1,'hello'),
(2,1,'+1 555 0100',1615714500000,2,'newer message');
INSERT INTO pdu (_id,thread_id,date,msg_box) VALUES (1,1,1615714000,1);
INSERT INTO part (_id,mid,ct,text) VALUES (1,1,'text/plain','mms kept');
