// What the tests of the Android packagers build by hand: table texts as the
// phones write them, and bytes that stand for pictures.
#ifndef KX_TESTS_ANDROID_FIXTURES_H_
#define KX_TESTS_ANDROID_FIXTURES_H_

#include <string>

#include "test_support.h"

namespace kx::test {

// `size` bytes that are not all alike, and their SQL blob literal.
inline std::string PictureBytes(size_t size) {
  std::string bytes;
  for (size_t i = 0; i < size; ++i) bytes.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
  return bytes;
}

inline std::string BlobLiteral(const std::string& bytes) { return "X'" + HexBytes(bytes) + "'"; }

// contacts2.db of the contacts provider (Android 7): the tables the
// packager reads, with the mime types the provider inserts.
inline constexpr char kContactTables[] =
    "CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY AUTOINCREMENT,mimetype TEXT NOT NULL);"
    "CREATE UNIQUE INDEX mime_type ON mimetypes (mimetype);"
    "CREATE TABLE data (_id INTEGER PRIMARY KEY AUTOINCREMENT,package_id INTEGER REFERENCES "
    "package(_id),mimetype_id INTEGER REFERENCES mimetype(_id) NOT NULL,raw_contact_id INTEGER "
    "REFERENCES raw_contacts(_id) NOT NULL,hash_id TEXT,is_read_only INTEGER NOT NULL DEFAULT "
    "0,is_primary INTEGER NOT NULL DEFAULT 0,is_super_primary INTEGER NOT NULL DEFAULT "
    "0,data_version INTEGER NOT NULL DEFAULT 0,data1 TEXT,data2 TEXT,data3 TEXT,data4 TEXT,data5 "
    "TEXT,data6 TEXT,data7 TEXT,data8 TEXT,data9 TEXT,data10 TEXT,data11 TEXT,data12 TEXT,data13 "
    "TEXT,data14 TEXT,data15 TEXT,data_sync1 TEXT, data_sync2 TEXT, data_sync3 TEXT, data_sync4 "
    "TEXT, carrier_presence INTEGER NOT NULL DEFAULT 0 );"
    "CREATE INDEX data_raw_contact_id ON data (raw_contact_id);"
    "INSERT INTO mimetypes VALUES(1,'vnd.android.cursor.item/email_v2');"
    "INSERT INTO mimetypes VALUES(2,'vnd.android.cursor.item/im');"
    "INSERT INTO mimetypes VALUES(3,'vnd.android.cursor.item/nickname');"
    "INSERT INTO mimetypes VALUES(4,'vnd.android.cursor.item/organization');"
    "INSERT INTO mimetypes VALUES(5,'vnd.android.cursor.item/phone_v2');"
    "INSERT INTO mimetypes VALUES(6,'vnd.android.cursor.item/sip_address');"
    "INSERT INTO mimetypes VALUES(7,'vnd.android.cursor.item/name');"
    "INSERT INTO mimetypes VALUES(8,'vnd.android.cursor.item/postal-address_v2');"
    "INSERT INTO mimetypes VALUES(9,'vnd.android.cursor.item/identity');"
    "INSERT INTO mimetypes VALUES(10,'vnd.android.cursor.item/photo');"
    "INSERT INTO mimetypes VALUES(11,'vnd.android.cursor.item/group_membership');"
    "INSERT INTO mimetypes VALUES(12,'vnd.android.cursor.item/note');"
    "INSERT INTO mimetypes VALUES(13,'vnd.android.cursor.item/website');"
    "INSERT INTO mimetypes VALUES(14,'vnd.android.cursor.item/relation');"
    "INSERT INTO mimetypes VALUES(15,'vnd.android.cursor.item/contact_event');"
    "INSERT INTO mimetypes VALUES(16,'vnd.android.cursor.item/vnd.com.whatsapp.profile');";

// Every column the contact kinds read, for rows written in full.
inline constexpr char kInsertData[] =
    "INSERT INTO data (_id,raw_contact_id,mimetype_id,data1,data2,data3,data4,data5,data6,data7,"
    "data8,data9,data10,data14,data15) VALUES ";

}  // namespace kx::test

#endif  // KX_TESTS_ANDROID_FIXTURES_H_
