INSERT INTO sms (_id,thread_id,address,date,type,body) VALUES
(7,1,'+1 555 0100',1615714100000,2,'deleted message');
INSERT INTO pdu (_id,thread_id,date,msg_box,sub) VALUES
(2,2,1615714300,1,'Fwd: Ärger');
