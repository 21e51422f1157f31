INSERT INTO scan_table_info (system_type, data_type, table_name) VALUES
('android','callhistory','calls'), ('android','sms','threads'), ('android','sms','sms'),
('ios','callhistory','call');
INSERT INTO result_field_info (system_type, data_type, table_name, field_name,
field_type_text, is_unique_field, is_row_id_field) VALUES
('android','callhistory','calls','number','TEXT',1,0),
('android','callhistory','calls','date','INTEGER',1,0),
('android','callhistory','calls','duration','INTEGER',0,0),
('android','callhistory','calls','type','INTEGER',0,0),
('android','callhistory','calls','name','TEXT',0,0),
('android','sms','threads','_id','INTEGER',0,1),
('android','sms','threads','recipient_ids','TEXT',1,0),
('android','sms','threads','date','INTEGER',0,0),
('android','sms','threads','snippet','TEXT',0,0),
('android','sms','sms','_id','INTEGER',0,1),
('android','sms','sms','thread_id','INTEGER',0,0),
('android','sms','sms','address','TEXT',1,0),
('android','sms','sms','date','INTEGER',1,0),
('android','sms','sms','body','TEXT',0,0),
('android','sms','canonical_addresses','address','TEXT',1,0);
INSERT INTO index_field_info VALUES ('contact','ABMultiValue','record_id'),
('contact','ABMultiValue','property'), ('sms','sms','thread_id');
