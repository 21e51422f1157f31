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
inline std::string ContactTables() { return DataFile("android_contacts/contact_tables.sql"); }

// Every column the contact kinds read, for rows written in full.
inline constexpr char kInsertData[] =
    "INSERT INTO data (_id,raw_contact_id,mimetype_id,data1,data2,data3,data4,data5,data6,data7,"
    "data8,data9,data10,data14,data15) VALUES ";

}  // namespace kx::test

#endif  // KX_TESTS_ANDROID_FIXTURES_H_
