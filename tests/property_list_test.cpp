#include "common/property_list.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/keyed_archive.h"
#include "common/property_list_bounds.h"
#include "common/text.h"
#include "package_capture.h"
#include "test_support.h"

namespace kx {
namespace {

using test::TempDir;

constexpr char kXmlHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST "
    "1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n";

std::string XmlList(const std::string& body) { return kXmlHead + body + "\n</plist>\n"; }

// The binary form of an XML list, as the phone writes most of its lists
// (with UIDs of their own type).
std::string ToBinary(const std::string& xml) {
  const CFObjectHandleKeeper root = ReadPropertyListBytes(xml);
  EXPECT_NE(nullptr, root.get());
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(root.get(), &bytes, &length);
  std::string binary(bytes, length);
  plist_to_bin_free(bytes);
  return binary;
}

// Info.plist of a backup, with a value of every kind the readers ask for.
std::string Info() { return XmlList(test::DataFile("ios_backup/info_plist_body.xml")); }

// What a look-up of `key` gives: the value as text, or "-" when it answers
// false (followed, for a text, by what it left in the text).
std::string LookUp(const CPListDictionary& info, char kind, const char* key) {
  std::string text = "stale";
  int32_t number = 0;
  uint32_t uid = 0;
  if (kind == 's') return info.GetString(key, &text) ? text : "-" + text;
  if (kind == 'i') return info.GetInteger(key, &number) ? std::to_string(number) : "-";
  if (kind == 'u') return info.GetUid(key, &uid) ? std::to_string(uid) : "-";
  if (kind == 'a') return info.GetArray(key) != nullptr ? "array" : "-";
  return info.GetDictionary(key) != nullptr ? "dictionary" : "-";
}

struct LookUpCase {
  char kind;  // s string, i integer, u UID, a array, d dictionary
  const char* key;
  const char* gives;
};

TEST(PropertyListTest, TypedLookUpsOnBinaryAndXml) {
  // clang-format off
  const LookUpCase cases[] = {
      {'s', "Device Name", "Ana’s iPhone"}, {'i', "Build", "21"}, {'i', "Negative", "-5"},
      {'i', "Wide", "1"},  // read as a C int
      {'i', "Ratio", "2"}, {'u', "Reference", "7"}, {'a', "Installed Applications", "array"},
      {'d', "Lockdown", "dictionary"},
      // Another type than asked for is false, and the text is left empty.
      {'s', "Build", "-"}, {'i', "Device Name", "-"}, {'i', "Encrypted", "-"},
      {'u', "Build", "-"}, {'a', "Lockdown", "-"}, {'d', "Installed Applications", "-"},
      {'d', "absent", "-"}};
  // clang-format on
  for (const std::string& form : {Info(), ToBinary(Info())}) {
    const CPListDictionary info = CPListDictionary::FromBytes(form);
    for (const LookUpCase& c : cases) {
      EXPECT_EQ(c.gives, LookUp(info, c.kind, c.key)) << c.kind << " " << c.key;
    }
    std::string text;
    uint32_t uid = 0;
    const auto apps = info.GetArray("Installed Applications");
    ASSERT_NE(nullptr, apps);
    EXPECT_EQ(3, apps->Count());
    EXPECT_TRUE(apps->GetStringAt(2, &text));
    EXPECT_EQ("jp.naver.line", text);
    EXPECT_FALSE(apps->GetStringAt(3, &text));
    EXPECT_FALSE(apps->GetStringAt(-1, &text));
    EXPECT_EQ(nullptr, apps->GetDictionaryAt(0));
    EXPECT_NE(nullptr, apps->GetDictionaryAt(1));
    EXPECT_EQ(nullptr, apps->GetDictionaryAt(3));
    EXPECT_FALSE(apps->GetUidAt(0, &uid));

    // A dictionary found inside another borrows it: dropping it first frees
    // nothing of the parent.
    info.GetDictionary("Lockdown").reset();
    const auto lockdown = info.GetDictionary("Lockdown");
    ASSERT_NE(nullptr, lockdown);
    EXPECT_TRUE(lockdown->GetString("DeviceName", &text));
    EXPECT_EQ("Ana", text);
  }
}

TEST(PropertyListTest, XmlOutputReadsBackTheSameValues) {
  const CPListDictionary info = CPListDictionary::FromBytes(ToBinary(Info()));
  std::string xml;
  ASSERT_EQ(xml.size(), info.ToXmlBytes(&xml));
  EXPECT_EQ(0u, xml.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
  const CPListDictionary again = CPListDictionary::FromBytes(xml);
  std::string original;
  std::string round_trip;
  info.ToXmlBytes(&original);
  again.ToXmlBytes(&round_trip);
  EXPECT_EQ(original, round_trip);
  EXPECT_EQ(11u, again.Count());
}

TEST(PropertyListTest, FilesByUtf8AndUtf16PathAndWhatIsNoDictionary) {
  TempDir dir;
  const std::string path = dir.File("Info – ñ.plist");
  test::WriteFileBytes(path, ToBinary(Info()));
  std::string name;
  EXPECT_TRUE(CPListDictionary(path).GetString("Product Version", &name));
  EXPECT_EQ("17.2", name);
  EXPECT_TRUE(CPListDictionary(Utf8ToUtf16(path)).GetString("Product Version", &name));

  // A list whose root is an array, a missing file and an empty path leave
  // an empty dictionary.
  test::WriteFileBytes(dir.File("array.plist"), XmlList("<array><string>x</string></array>"));
  for (const std::string& other :
       {dir.File("array.plist"), dir.File("absent.plist"), std::string()}) {
    CPListDictionary empty(other);
    EXPECT_FALSE(empty.Load(other));
    EXPECT_EQ(0u, empty.Count());
    EXPECT_FALSE(empty.GetString("Product Version", &name));
  }
}

// ---------------------------------------------------------------------------
// Hostile binary lists, built byte by byte.

void PutBigEndian(uint64_t value, size_t width, std::string* out) {
  for (size_t i = width; i > 0; --i) out->push_back(static_cast<char>(value >> (8 * (i - 1))));
}

// A binary list of `objects` (each already encoded, references 4 bytes
// wide), offsets 4 bytes wide, object 0 on top.
std::string BinaryList(const std::vector<std::string>& objects) {
  std::string bytes = "bplist00";
  std::vector<uint64_t> offsets;
  for (const std::string& object : objects) {
    offsets.push_back(bytes.size());
    bytes += object;
  }
  const uint64_t table = bytes.size();
  for (const uint64_t offset : offsets) PutBigEndian(offset, 4, &bytes);
  bytes.append(6, '\0');
  bytes.push_back(4);  // offset width
  bytes.push_back(4);  // reference width
  PutBigEndian(objects.size(), 8, &bytes);
  PutBigEndian(0, 8, &bytes);
  PutBigEndian(table, 8, &bytes);
  return bytes;
}

std::string ArrayOf(const std::vector<uint32_t>& references) {
  std::string object(1, static_cast<char>(0xA0 | references.size()));
  for (const uint32_t reference : references) PutBigEndian(reference, 4, &object);
  return object;
}

std::string NestedArrays(uint32_t levels) {
  std::vector<std::string> objects;
  for (uint32_t i = 0; i + 1 < levels; ++i) objects.push_back(ArrayOf({i + 1}));
  objects.push_back(ArrayOf({}));
  return BinaryList(objects);
}

std::string NestedXmlArrays(int levels) {
  std::string body;
  for (int i = 0; i < levels; ++i) body += "<array>";
  for (int i = 0; i < levels; ++i) body += "</array>";
  return XmlList(body);
}

struct HostileCase {
  const char* name;
  std::string bytes;
};

std::vector<HostileCase> HostileLists() {
  const std::string sound = ToBinary(Info());
  std::string outside = BinaryList({ArrayOf({0})});
  outside[outside.size() - 1] = static_cast<char>(0x7F);  // offset table past the end
  std::string huge_count(1, static_cast<char>(0xAF));
  huge_count += '\x13';
  PutBigEndian(0x7FFFFFFFu, 8, &huge_count);
  std::vector<std::string> doubling;
  for (uint32_t i = 0; i < 40; ++i) doubling.push_back(ArrayOf({i + 1, i + 1}));
  doubling.push_back(ArrayOf({}));
  return {
      {"truncated", sound.substr(0, sound.size() / 2)},
      {"wrong magic", "bplist99" + sound.substr(8)},
      {"empty", ""},
      {"offset table outside", outside},
      {"reference out of range", BinaryList({ArrayOf({5})})},
      {"array holding itself", BinaryList({ArrayOf({0})})},
      {"two arrays holding each other", BinaryList({ArrayOf({1}), ArrayOf({0})})},
      {"2 GB declared length", BinaryList({huge_count})},
      {"one array shared at forty levels", BinaryList(doubling)},
      {"300 nested arrays", NestedArrays(300)},
      {"300 nested XML arrays", NestedXmlArrays(300)},
      {"key holding a NUL", BinaryList({std::string("\xD1\0\0\0\x01\0\0\0\x02", 9),
                                        std::string("\x53"
                                                    "a\0b",
                                                    4),
                                        "\x51v"})},
      {"XML key holding a NUL", XmlList("<dict><key>a&#0;b</key><string>v</string></dict>")},
      {"not a list", "hello"},
  };
}

TEST(PropertyListTest, HostileListsGiveNothing) {
  for (const HostileCase& c : HostileLists()) {
    EXPECT_EQ(nullptr, ReadPropertyListBytes(c.bytes).get()) << c.name;
    const CPListDictionary dictionary = CPListDictionary::FromBytes(c.bytes);
    EXPECT_EQ(0u, dictionary.Count()) << c.name;
  }
  // Within the bounds, nesting and sharing are fine.
  EXPECT_NE(nullptr, ReadPropertyListBytes(NestedArrays(200)).get());
  EXPECT_TRUE(PropertyListWithinBounds(ToBinary(Info())));
}

// The parser itself recurses per level: 100,000 nested arrays in a 700 KB
// file would overflow its stack. The check runs in a child process, so a
// regression fails this test instead of taking the runner down.
TEST(PropertyListDeathTest, DeepNestingNeverReachesTheParser) {
  const std::string deep = NestedArrays(100000);
  EXPECT_EXIT(std::exit(ReadPropertyListBytes(deep).get() == nullptr ? 0 : 1),
              ::testing::ExitedWithCode(0), "");
}

// ---------------------------------------------------------------------------
// Keyed archives

TEST(KeyedArchiveTest, ObjectGraphAsJsonWithLoopsAndBadUidsAsNull) {
  // An NSDictionary {"name": "Ann", "tags": ["a", <itself>], "bad": <UID 99>}
  // as NSKeyedArchiver writes it.
  const std::string archive = test::KeyedArchiveXml(
      "<dict><key>NS.keys</key><array>{UID 2}{UID 4}{UID 9}</array>"
      "<key>NS.objects</key><array>{UID 3}{UID 5}{UID 99}</array><key>$class</key>{UID 6}</dict>"
      "<string>name</string>"
      "<dict><key>NS.string</key><string>Ann</string><key>$class</key>{UID 7}</dict>"
      "<string>tags</string>"
      "<dict><key>NS.objects</key><array>{UID 8}{UID 5}</array><key>$class</key>{UID 10}</dict>"
      "<dict><key>$classname</key><string>NSDictionary</string></dict>"
      "<dict><key>$classname</key><string>NSMutableString</string></dict>"
      "<string>a</string><string>bad</string>"
      "<dict><key>$classname</key><string>NSArray</string></dict>");
  for (const std::string& form : {archive, ToBinary(archive)}) {
    const CPListDictionary root = CPListDictionary::FromBytes(form);
    const KeyedArchive keyed(root);
    ASSERT_TRUE(keyed.valid());
    EXPECT_EQ("NSDictionary", keyed.ClassName(keyed.Top("root")));
    EXPECT_EQ(WriteJson(Json::Value()), WriteJson(keyed.ToJson(keyed.Top("absent"))));
    // The array inside itself is null.
    EXPECT_EQ(test::Formatted(R"({"name": "Ann", "tags": ["a", null], "bad": null})"),
              WriteJson(keyed.ToJson(keyed.Top("root"))));
    // Too deep for the limit: null where the limit is reached.
    EXPECT_EQ(WriteJson(Json::Value()), WriteJson(keyed.ToJson(keyed.Top("root"), 0)));
  }
}

}  // namespace
}  // namespace kx
