// The pieces of an `adb backup` file, built byte for byte: its header, the
// master key's checksum password, the tar stream inside (and every hostile
// form of it), and the telephony provider's message backups.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"
#include "tools/kxpackage/ab_stream.h"
#include "tools/kxpackage/android_backup.h"
#include "tools/kxpackage/tar_reader.h"

namespace {

using kxpackage::AbHeader;
using kxpackage::TarMember;
using kxpackage::TarReader;

// The bytes of a string, a few at a time, as a file or an inflater hands
// them over.
class MemorySource : public kxpackage::ByteSource {
 public:
  explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
  bool Read(char* buffer, size_t capacity, size_t* got) override {
    *got = std::min({capacity, bytes_.size() - at_, size_t{777}});
    std::memcpy(buffer, bytes_.data() + at_, *got);
    at_ += *got;
    return true;
  }
  std::string error() const override { return "memory"; }

 private:
  std::string bytes_;
  size_t at_ = 0;
};

std::string Header(const std::string& name, uint64_t size, char type = '0',
                   const std::string& link = "", const std::string& prefix = "") {
  char block[512] = {};
  std::memcpy(block, name.data(), std::min<size_t>(name.size(), 100));
  std::snprintf(block + 100, 8, "%07o", 0600);
  std::snprintf(block + 124, 12, "%011llo", static_cast<unsigned long long>(size));
  block[156] = type;
  std::memcpy(block + 157, link.data(), std::min<size_t>(link.size(), 100));
  std::memcpy(block + 257,
              "ustar\0"
              "00",
              8);
  std::memcpy(block + 345, prefix.data(), std::min<size_t>(prefix.size(), 155));
  std::memset(block + 148, ' ', 8);
  unsigned sum = 0;
  for (const char c : block) sum += static_cast<unsigned char>(c);
  std::snprintf(block + 148, 8, "%06o", sum);
  return std::string(block, 512);
}
std::string Member(const std::string& name, const std::string& content, char type = '0') {
  return Header(name, content.size(), type) + content +
         std::string((512 - content.size() % 512) % 512, '\0');
}
const std::string kEnd(1024, '\0');

struct Read {
  std::vector<std::string> names, contents;
  std::string error;
};

Read ReadTar(const std::string& bytes) {
  MemorySource source(bytes);
  TarReader tar(&source, "test.ab");
  Read read;
  TarMember member;
  for (TarReader::Step step; (step = tar.Next(&member)) != TarReader::Step::kEnd;) {
    if (step == TarReader::Step::kError) {
      read.error = tar.error();
      break;
    }
    std::string content;
    if (!tar.ReadAll(&content, 1 << 20)) {
      read.error = tar.error();
      break;
    }
    read.names.push_back(member.name + (member.is_folder ? "/" : ""));
    read.contents.push_back(content);
  }
  return read;
}

TEST(AndroidBackupHeaderTest, VersionsCompressionAndEncryption) {
  const std::string keys = "AES-256\n0A0B\nC0FFEE\n10000\n" + std::string(32, 'A') + "\n99AA\n";
  const struct {
    std::string bytes;
    int version;
    bool compressed, encrypted;
    std::string error;
  } cases[] = {
      {"ANDROID BACKUP\n1\n0\nnone\nTAR", 1, false, false, ""},
      {"ANDROID BACKUP\n5\n1\nnone\n", 5, true, false, ""},
      {"ANDROID BACKUP\n3\n1\n" + keys + "x", 3, true, true, ""},
      {"ANDROID BACKUP\n6\n1\nnone\n", 0, false, false,
       "at offset 15: unknown format version \"6\""},
      {"ANDROID BACKUP\n0\n1\nnone\n", 0, false, false,
       "at offset 15: unknown format version \"0\""},
      {"ANDROID BACKUP\n5\n2\nnone\n", 0, false, false, "at offset 17: no compression flag"},
      {"ANDROID BACKUP\n5\n1\nAES-128\n", 0, false, false,
       "at offset 19: unknown encryption \"AES-128\""},
      {"ANDROID BACKUP\n5\n1\nAES-256\nXY\n", 0, false, false,
       "at offset 27: the user key salt is not hexadecimal"},
      {"ANDROID BACKUP\n5\n1\nAES-256\n0A\n0B\n0\n", 0, false, false,
       "at offset 33: rounds out of range"},
      {"ANDROID BACKUP\n5\n1\nAES-256\n0A\n0B\n99999999999\n", 0, false, false,
       "at offset 33: rounds out of range"},
      {"ANDROID BACKUP\n5\n1\nAES-256\n0A\n0B\n5\n00\n", 0, false, false,
       "at offset 38: no master key blob"},
      {"ANDROID BACKUP\n5\n1", 0, false, false, "at offset 17: no compression flag"},
      {"ANDROID BACKUP 5\n", 0, false, false, "at offset 0: no ANDROID BACKUP header"},
  };
  for (const auto& c : cases) {
    AbHeader header;
    std::string message;
    EXPECT_EQ(c.error.empty(), kxpackage::ParseAbHeader(c.bytes, &header, &message)) << c.bytes;
    EXPECT_EQ(c.error, message) << c.bytes;
    if (!c.error.empty()) continue;
    EXPECT_EQ(c.version, header.version);
    EXPECT_EQ(c.compressed, header.compressed);
    EXPECT_EQ(c.encrypted, header.encrypted);
    EXPECT_EQ(c.bytes.size() - (c.version == 1 ? 3 : c.encrypted ? 1 : 0), header.payload_offset);
  }
}

TEST(AndroidBackupHeaderTest, ChecksumPasswordIsTheKeyAsJavaCharacters) {
  const std::string key("A\x7f\x80\xff", 4);
  EXPECT_EQ(key, kxpackage::AbChecksumPassword(key, 1));
  // From version 2 on each byte is a sign-extended char, UTF-8 encoded:
  // 0x80 is U+FF80, 0xFF is U+FFFF.
  EXPECT_EQ(std::string("A\x7f\xef\xbe\x80\xef\xbf\xbf"), kxpackage::AbChecksumPassword(key, 2));
  EXPECT_EQ(kxpackage::AbChecksumPassword(key, 2), kxpackage::AbChecksumPassword(key, 5));
}

TEST(TarReaderTest, ReadsFilesFoldersAndLongNames) {
  const std::string pax_record = "30 path=apps/a/db/" + std::string(8, 'n') + ".db\n";
  const std::string tar = Member("apps/a/", "", '5') + Member("apps/a/db/one.db", "first") +
                          Member("apps/a/f/big", std::string(1300, 'x')) +
                          Member("", pax_record, 'x') + Member("ignored", "long") +
                          Header("two.db", 3, '0', "", "apps/b/db") + "two" +
                          std::string(509, '\0') + Member("apps/a/empty", "") + kEnd;
  const Read read = ReadTar(tar);
  EXPECT_EQ("", read.error);
  EXPECT_EQ((std::vector<std::string>{"apps/a/", "apps/a/db/one.db", "apps/a/f/big",
                                      "apps/a/db/nnnnnnnn.db", "apps/b/db/two.db", "apps/a/empty"}),
            read.names);
  EXPECT_EQ((std::vector<std::string>{"", "first", std::string(1300, 'x'), "long", "two", ""}),
            read.contents);
  // Without its closing blocks the stream still ends cleanly.
  EXPECT_EQ(6u, ReadTar(tar.substr(0, tar.size() - kEnd.size())).names.size());
}

TEST(TarReaderTest, RefusesHostileMembersAtTheirOffset) {
  const std::string good = Member("apps/a/db/one.db", "first");
  std::string bad_sum = Member("apps/a/db/x", "y");
  bad_sum[0] = 'b';
  std::string bad_size = Member("apps/a/db/x", "y");
  std::memcpy(&bad_size[124], "9999", 4);
  const struct {
    std::string bytes;
    std::string error;
  } cases[] = {
      {good + Member("apps/a/../../etc/passwd", "x") + kEnd,
       "tar stream at offset 1024: the member name \"apps/a/../../etc/passwd\" leaves the archive"},
      {good + Member("/etc/passwd", "x") + kEnd, "offset 1024: the member name \"/etc/passwd\""},
      {good + Member(std::string("apps/a\\..\\x"), "x") + kEnd, "offset 1024: the member name"},
      {good + Header("apps/a/db/link", 0, '2', "/etc/passwd") + kEnd,
       "offset 1024: \"apps/a/db/link\" is a link (/etc/passwd); not followed"},
      {good + Header("apps/a/db/hard", 0, '1', "apps/a/db/one.db") + kEnd,
       "offset 1024: \"apps/a/db/hard\" is a link"},
      {good + Header("apps/a/dev", 0, '3') + kEnd, "offset 1024: \"apps/a/dev\" is of type '3'"},
      {good + bad_sum + kEnd, "offset 1024: a header whose checksum does not match"},
      {bad_size + kEnd, "offset 0: a header whose checksum does not match"},
      {good + Header("apps/a/db/huge.db", 5000) + "only this", "a member runs past the end"},
      {good + Header("apps/a/db/x", 5),
       "a member runs past the end of the archive (5 bytes missing)"},
      {good + good.substr(0, 300), "offset 1024: the archive ends inside a header"},
      {good + Member("", "99 path=x\n", 'x') + good, "offset 1536: a damaged pax record"},
      {"no tar at all" + std::string(600, 'z'), "offset 0: a header whose checksum does not match"},
  };
  for (const auto& c : cases) {
    const Read read = ReadTar(c.bytes);
    EXPECT_NE(std::string::npos, read.error.find("test.ab: ")) << c.error;
    EXPECT_NE(std::string::npos, read.error.find(c.error))
        << read.error << "\n  wanted: " << c.error;
  }
}

TEST(TarReaderTest, AStreamCutAtAnyByteEndsOrIsRefused) {
  const std::string tar =
      Member("apps/a/db/one.db", std::string(700, 'x')) + Member("apps/b", "") + kEnd;
  for (size_t length = 0; length < tar.size(); ++length) {
    const Read read = ReadTar(tar.substr(0, length));
    // Whole members are read, a cut one is refused; past the first closing
    // block the stream has ended.
    EXPECT_TRUE(!read.error.empty() || length % 512 == 0 || length >= tar.size() - 512) << length;
    for (const std::string& content : read.contents)
      EXPECT_TRUE(content.empty() || content.size() == 700);
  }
}

std::string Deflated(const std::string& plain) {
  uLongf length = compressBound(static_cast<uLong>(plain.size()));
  std::string out(length, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &length,
           reinterpret_cast<const Bytef*>(plain.data()), static_cast<uLong>(plain.size()));
  out.resize(length);
  return out;
}

TEST(TelephonyBackupTest, MessagesBecomeTheProvidersTables) {
  kx::test::TempDir dir;
  const std::string db = dir.File("mmssms.db");
  int added = 0;
  std::string message;
  ASSERT_TRUE(kxpackage::AddTelephonyBackup(
      Deflated(R"([{"address":"+1 555","body":"hi","date":"1600000000123","date_sent":"0",
                    "type":"1","read":"1","status":"-1","recipients":["+1 555"]},
                   {"address":"+1 555","body":"back","date":"1600000001000","type":2,"read":1,
                    "recipients":["+1 555"]}])"),
      false, db, &added, &message))
      << message;
  ASSERT_TRUE(kxpackage::AddTelephonyBackup(
      Deflated(R"([{"date":"1600000002","msg_box":"1","sub":"pic","recipients":["+1 555","+2 666"],
                    "mms_addresses":[{"type":137,"address":"+2 666","charset":106}],
                    "mms_body":"look","mms_charset":106}])"),
      true, db, &added, &message))
      << message;
  EXPECT_EQ(3, added);
  EXPECT_EQ(
      (std::vector<std::string>{"1|+1 555|1600000000123|1|hi", "1|+1 555|1600000001000|2|back"}),
      kx::test::QueryColumn(db,
                            "SELECT thread_id||'|'||address||'|'||date||'|'||type||'|'||"
                            "body FROM sms ORDER BY _id"));
  EXPECT_EQ((std::vector<std::string>{"1|1", "2|1 2"}),
            kx::test::QueryColumn(db, "SELECT _id||'|'||recipient_ids FROM threads ORDER BY _id"));
  EXPECT_EQ((std::vector<std::string>{"2|1600000002|pic|text/plain|look|+2 666"}),
            kx::test::QueryColumn(db,
                                  "SELECT thread_id||'|'||date||'|'||sub||'|'||ct||'|'||text||"
                                  "'|'||address FROM pdu JOIN part ON mid = pdu._id "
                                  "JOIN addr ON msg_id = pdu._id"));
  // Not JSON, not an array, not zlib, and a bomb past the cap.
  for (const std::string& bytes :
       {Deflated("{\"a\":1}"), Deflated("[1,"), std::string("plain text"),
        Deflated(std::string((size_t{256} << 20) + 1, ' '))}) {
    EXPECT_FALSE(kxpackage::AddTelephonyBackup(bytes, false, db, &added, &message));
  }
}

}  // namespace
