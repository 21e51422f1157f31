
      CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT,
                          flags INTEGER, file BLOB);
      CREATE INDEX FilesDomainIdx ON Files(domain);
      CREATE INDEX FilesRelativePathIdx ON Files(relativePath);
      INSERT INTO Files VALUES
        ('id-long', 'MediaDomain', 'Library/SMS/Attachments/ab/01/x/IMG_0001.JPG', 1, NULL),
        ('id-short', 'MediaDomain', 'Library/SMS/IMG_0001.JPG', 1, NULL),
        ('id-lookalike', 'MediaDomain', 'IMGX0001.JPG', 1, NULL),
        ('id-folder', 'MediaDomain', 'Library/IMG_0001.JPG.d', 2, NULL),
        ('id-quote', 'HomeDomain', 'Library/it''s.db', 1, NULL),
        ('id-kik', 'AppDomainGroup-group.com.kik.chat', 'cores/private/abc/kik.sqlite', 1, NULL);