// Manifest.mbdb records, built byte for byte: what each field reads as,
// and every hostile form refused with the offset of the fault.
#include "tools/kxpackage/mbdb_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kxpackage::MbdbError;
using kxpackage::MbdbRecord;
using kxpackage::ParseMbdb;

std::string Big(uint64_t value, int bytes) {
  std::string out(static_cast<size_t>(bytes), '\0');
  for (int i = bytes - 1; i >= 0; --i, value >>= 8) out[i] = static_cast<char>(value & 0xff);
  return out;
}
std::string Text(const std::string& text) { return Big(text.size(), 2) + text; }
const std::string kAbsent("\xff\xff", 2);
const std::string kHeader = std::string("mbdb\x05\x00", 6);

struct Fields {
  std::string domain = "HomeDomain";
  std::string path = "Library/SMS/sms.db";
  std::string link = kAbsent;
  std::string key = kAbsent;
  uint16_t mode = 0100644;
  std::vector<std::pair<std::string, std::string>> properties;
};

std::string Record(const Fields& f) {
  std::string bytes = Text(f.domain) + Text(f.path) + f.link + Text(std::string(20, 'h')) + f.key;
  bytes += Big(f.mode, 2) + Big(0x0102030405060708, 8) + Big(501, 4) + Big(20, 4) +
           Big(1364000001, 4) + Big(1364000002, 4) + Big(1364000003, 4) + Big(123456789012, 8) +
           Big(3, 1) + Big(f.properties.size(), 1);
  for (const auto& [name, value] : f.properties) bytes += Text(name) + Text(value);
  return bytes;
}

TEST(MbdbRecordsTest, ReadsEveryFieldOfEachRecord) {
  Fields file;
  file.key = Text(std::string("\x03\x00\x00\x00", 4) + std::string(40, 'k'));
  file.properties = {{"com.apple.assetsd.UUID", "AB"}, {"empty", ""}};
  Fields folder;
  folder.path = "Library";
  folder.mode = 040755;
  Fields link;
  link.path = "Library/link";
  link.mode = 0120755;
  link.link = Text("/var/mobile/Library");
  const std::string bytes = kHeader + Record(file) + Record(folder) + Record(link);
  std::vector<MbdbRecord> records;
  MbdbError error;
  ASSERT_TRUE(ParseMbdb(bytes, &records, &error)) << error.what;
  ASSERT_EQ(3u, records.size());
  const MbdbRecord& r = records[0];
  EXPECT_EQ("HomeDomain", r.domain);
  EXPECT_EQ("Library/SMS/sms.db", r.path);
  EXPECT_EQ("", r.link_target);
  EXPECT_EQ(std::string(20, 'h'), r.digest);
  EXPECT_EQ(44u, r.encryption_key.size());
  EXPECT_EQ(0x0102030405060708u, r.inode);
  EXPECT_EQ(501u, r.user_id);
  EXPECT_EQ(20u, r.group_id);
  EXPECT_EQ(1364000001u, r.modified);
  EXPECT_EQ(1364000002u, r.accessed);
  EXPECT_EQ(1364000003u, r.created);
  EXPECT_EQ(123456789012u, r.size);
  EXPECT_EQ(3, r.protection_class);
  EXPECT_EQ(file.properties, r.properties);
  EXPECT_EQ(6u, r.offset);
  EXPECT_TRUE(r.IsFile());
  EXPECT_TRUE(records[1].IsFolder());
  EXPECT_EQ(6 + Record(file).size(), records[1].offset);
  EXPECT_TRUE(records[2].IsLink());
  EXPECT_EQ("/var/mobile/Library", records[2].link_target);
}

TEST(MbdbRecordsTest, RefusesHostileManifestsAtTheFault) {
  const std::string good = Record(Fields{});
  Fields dots, absolute, nul, backslash_dots, drive, no_domain;
  dots.path = "Library/../../etc/passwd";
  absolute.path = "/etc/passwd";
  nul.path = std::string("Library/a\0b", 11);
  backslash_dots.path = "Library\\..\\..\\x";
  drive.path = "C:/Windows";
  no_domain.domain = "";
  const size_t second = 6 + good.size();
  const struct {
    const char* name;
    std::string bytes;
    size_t offset;
    const char* what;
  } cases[] = {
      {"no header", "mbdx\x05", 0, "no \"mbdb\" header"},
      {"other version", std::string("mbdb\x04\x00", 6) + good, 4, "unknown version 4.0"},
      {"path past the end", kHeader + good + Big(3, 2) + "abc" + Big(900, 2) + "xy", second + 5,
       "the path of 900 bytes runs past the end"},
      // A record without properties ends with its size, class and count.
      {"cut in the size", kHeader + good + good.substr(0, good.size() - 5),
       second + good.size() - 10, "the size runs past the end"},
      {"property past the end",
       kHeader + good.substr(0, good.size() - 1) + Big(2, 1) + Text("a") + Text("b"),
       6 + good.size() + 6, "the property name runs past the end"},
      {"dot dot", kHeader + good + Record(dots), second, "a record whose path leaves its domain"},
      {"absolute", kHeader + Record(absolute), 6, "a record whose path leaves its domain"},
      {"NUL", kHeader + Record(nul), 6, "a record whose path leaves its domain"},
      {"backslash dot dot", kHeader + Record(backslash_dots), 6,
       "a record whose path leaves its domain"},
      {"drive", kHeader + Record(drive), 6, "a record whose path leaves its domain"},
      {"no domain", kHeader + Record(no_domain), 6, "a record without a domain"},
  };
  for (const auto& c : cases) {
    std::vector<MbdbRecord> records;
    MbdbError error;
    EXPECT_FALSE(ParseMbdb(c.bytes, &records, &error)) << c.name;
    EXPECT_EQ(c.offset, error.offset) << c.name;
    EXPECT_EQ(c.what, error.what) << c.name;
    EXPECT_TRUE(records.empty()) << c.name;
  }
}

// A manifest cut at any byte is refused, unless the cut falls where a
// record ends: then it holds the records before (none after the header).
TEST(MbdbRecordsTest, AManifestCutAtAnyByteIsRefused) {
  Fields file;
  file.properties = {{"name", "value"}};
  const std::string bytes = kHeader + Record(file) + Record(Fields{});
  const size_t boundaries[] = {6, 6 + Record(file).size()};
  for (size_t length = 0; length < bytes.size(); ++length) {
    std::vector<MbdbRecord> records(1);
    MbdbError error;
    const bool whole = length == boundaries[0] || length == boundaries[1];
    EXPECT_EQ(whole, ParseMbdb(bytes.substr(0, length), &records, &error)) << length;
    if (whole) {
      EXPECT_EQ(length == boundaries[0] ? 0u : 1u, records.size()) << length;
      continue;
    }
    EXPECT_LE(error.offset, length) << length;
    EXPECT_FALSE(error.what.empty()) << length;
  }
}

}  // namespace
