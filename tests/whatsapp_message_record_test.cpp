// What the WhatsApp packagers write: the message record of the newer layout
// (its members read and convert as the equivalent Json::Value members do,
// and it is written as WriteJson writes the equivalent tree), side files and
// batch files.
#include "kit/whatsapp_message_record.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "common/result_row.h"
#include "common/sqlite_wrapper.h"
#include "kit/chat_batches.h"
#include "kit/whatsapp_rules.h"
#include "package_capture.h"
#include "test_support.h"

namespace kx {
namespace {

struct Scalar {
  MemberValue member;
  Json::Value tree;
};

std::vector<Scalar> Scalars() {
  std::vector<Scalar> scalars;
  const auto add = [&](auto set, const Json::Value& tree) {
    scalars.emplace_back();
    set(scalars.back().member);
    scalars.back().tree = tree;
  };
  for (int64_t value : {int64_t{0}, int64_t{-5}, int64_t{42}, std::numeric_limits<int64_t>::max(),
                        std::numeric_limits<int64_t>::min()}) {
    add([value](MemberValue& m) { m.SetInteger(value); }, Json::Int64(value));
  }
  for (uint64_t value : {uint64_t{0}, uint64_t{4294967295u}, uint64_t{9223372036854775808u},
                         std::numeric_limits<uint64_t>::max()}) {
    add([value](MemberValue& m) { m.SetUnsigned(value); }, Json::UInt64(value));
  }
  for (double value :
       {3.0, -2.0, 2.5, -0.0, 1e19, -1e19, 9223372036854775808.0, 1e300,
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(), 5e-324}) {
    // A number JSON cannot hold stands in a tree as null.
    add([value](MemberValue& m) { m.SetReal(value); }, JsonDouble(value));
  }
  for (const std::string& value :
       {std::string("42"), std::string(" 7x"), std::string("-12"), std::string("abc"),
        std::string(""), std::string("99999999999999999999"), std::string("5\0 6", 4),
        std::string("Grüße 😊")}) {
    add([&value](MemberValue& m) { m.SetText(value); },
        Json::Value(value.data(), value.data() + value.size()));
  }
  return scalars;
}

// The member written as the only member "value" of an object.
std::string WrittenAsObject(const MemberValue& member) {
  return test::WrittenText<TextBuffer>([&](JsonBufferWriter* writer) {
    writer->BeginObject();
    writer->Name("value");
    member.Write(writer);
    writer->EndObject();
  });
}

TEST(WhatsAppMessageRecordTest, MembersConvertAsTreeMembersDo) {
  for (const Scalar& scalar : Scalars()) {
    Json::Value object(Json::objectValue);
    object["value"] = scalar.tree;
    const std::string shown = WriteJson(object);
    EXPECT_EQ(MemberAsInteger(object, "value"), scalar.member.AsInteger()) << shown;
    EXPECT_EQ(scalar.tree.asString(), scalar.member.AsString()) << shown;
    EXPECT_EQ(scalar.tree.isIntegral(), scalar.member.IsIntegral()) << shown;
    EXPECT_EQ(shown, WrittenAsObject(scalar.member));
  }
  MemberValue absent;
  EXPECT_FALSE(absent.present());
  EXPECT_EQ(0, absent.AsInteger());
  EXPECT_EQ("", absent.AsString());
  EXPECT_FALSE(absent.IsIntegral());
}

TEST(WhatsAppMessageRecordTest, ColumnsAreReadAsReadColumnIntoJsonReadsThem) {
  test::TempDir dir;
  const std::string path = dir.File("values.db");
  test::RunSql(path,
               "CREATE TABLE v (a);"
               "INSERT INTO v VALUES (7), (-9223372036854775808), (2.5), ('text'), (''), "
               "(X'00FF'), (NULL), ('Grüße'), (1e300);");
  SQLite3Wrapper db(path);
  ASSERT_EQ(SQLITE_OK, db.Open(OpenMode::kReadOnly));
  SqliteStatement query = PrepareStatement(db, "select a as value from v order by rowid");
  int rows = 0;
  while (query.Step() == SQLITE_ROW) {
    ++rows;
    Json::Value object(Json::objectValue);
    ReadColumnIntoJson(query, 0, &object);
    MemberValue member;
    member.SetText("left over from the row before");
    member.ReadColumn(query, 0);
    ASSERT_EQ(object.isMember("value"), member.present()) << rows;
    if (member.present()) {
      EXPECT_EQ(WriteJson(object), WrittenAsObject(member)) << rows;
    }
  }
  EXPECT_EQ(9, rows);
}

// A message of every member, one with an empty quote, and a bare one, next
// to the trees the packager built before.
TEST(WhatsAppMessageRecordTest, RecordsAreWrittenAsTheTreeWriterWritesThem) {
  std::vector<MessageRecord> records(3);
  Json::Value trees(Json::arrayValue);

  MessageRecord& full = records[0];
  Json::Value tree(Json::objectValue);
  for (int i = 0; i < kMessageMemberCount; ++i) {
    if (i == kMemberQuoteContent || i == kMemberUrlLinks) continue;
    const std::string name(kMessageMemberNames[i]);
    if (i % 3 == 0) {
      full[static_cast<MessageMember>(i)].SetText(name + " \"é\" 😊");
      tree[name] = name + " \"é\" 😊";
    } else if (i % 3 == 1) {
      full[static_cast<MessageMember>(i)].SetUnsigned(4294967295u);
      tree[name] = Json::UInt64(4294967295u);
    } else {
      full[static_cast<MessageMember>(i)].SetInteger(-i);
      tree[name] = Json::Int64(-i);
    }
  }
  QuoteRecord& quote = *full.StartQuote();
  Json::Value quote_tree(Json::objectValue);
  for (int i = 0; i < kQuoteMemberCount; ++i) {
    const std::string name(kQuoteMemberNames[i]);
    quote[static_cast<QuoteMember>(i)].SetText(name);
    quote_tree[name] = name;
  }
  quote[kQuoteMediaDuration].SetReal(1.5);
  quote_tree["q_media_duration"] = 1.5;
  tree["quote_content"] = quote_tree;
  AppendUrlLinks("https://example.org/wiki/Z%C3%BCrich?lang=de http://example.com/a https://x.y/😊",
                 full.url_links());
  for (const std::string& link : *full.url_links()) tree["url_links"].append(link);
  trees.append(tree);

  records[1][kMemberRowId].SetInteger(2);
  records[1].StartQuote();
  Json::Value empty_quote(Json::objectValue);
  empty_quote["row_id"] = 2;
  empty_quote["quote_content"] = Json::Value(Json::objectValue);
  trees.append(empty_quote);

  records[2][kMemberRowId].SetInteger(3);
  records[2][kMemberContent].SetText("");
  Json::Value bare(Json::objectValue);
  bare["row_id"] = 3;
  bare["content"] = "";
  trees.append(bare);

  EXPECT_EQ(WriteJson(trees), test::WrittenText<TextBuffer>([&](JsonBufferWriter* writer) {
              writer->BeginArray();
              for (const MessageRecord& record : records) record.Write(writer);
              writer->EndArray();
            }));

  records[0].Clear();
  EXPECT_FALSE(records[0].has_quote());
  EXPECT_TRUE(records[0].url_links()->empty());
  EXPECT_FALSE(records[0][kMemberRowId].present());
}

// Side files of the WhatsApp packager (one file per thumbnail or card, the
// same bytes shared through hard links) and the batch files of the
// packagers.

using test::ReadFileBytes;

const std::string kPicture("\xFF\xD8\xFF\xE0 picture \x00\x01", 16);
const std::string kCard = "BEGIN:VCARD\nFN:José\nEND:VCARD\n";

class SideFileWriterTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  SideFileWriter files_{dir_.path()};
};

TEST_F(SideFileWriterTest, EveryNameHoldsItsBytes) {
  std::vector<std::string> paths;
  for (int i = 0; i < 5; ++i) {
    paths.push_back(files_.Write("picture" + std::to_string(i) + ".thumb", kPicture));
    paths.push_back(files_.Write("card" + std::to_string(i) + ".vcf", kCard));
  }
  for (size_t i = 0; i < paths.size(); ++i) {
    ASSERT_FALSE(paths[i].empty());
    EXPECT_EQ(dir_.path(), PathToUtf8(PathFromUtf8(paths[i]).parent_path()));
    EXPECT_EQ(i % 2 == 0 ? kPicture : kCard, ReadFileBytes(paths[i])) << paths[i];
  }
  EXPECT_EQ(10, std::distance(std::filesystem::directory_iterator(dir_.path()),
                              std::filesystem::directory_iterator()));
}

// Equal bytes share one file; a name written again with other bytes gets a
// file of its own and leaves the names that shared its old file alone.
TEST_F(SideFileWriterTest, ReplacingASharedNameLeavesTheOthersAlone) {
  const std::string first = files_.Write("a.thumb", kPicture);
  const std::string second = files_.Write("b.thumb", kPicture);
  const std::string third = files_.Write("c.thumb", kPicture);
  ASSERT_EQ(first, files_.Write("a.thumb", "other bytes"));
  EXPECT_EQ("other bytes", ReadFileBytes(first));
  EXPECT_EQ(kPicture, ReadFileBytes(second));
  EXPECT_EQ(kPicture, ReadFileBytes(third));

  // The picture again, and the first name's new bytes again.
  const std::string fourth = files_.Write("d.thumb", kPicture);
  const std::string fifth = files_.Write("e.thumb", "other bytes");
  ASSERT_EQ(third, files_.Write("c.thumb", kCard));
  EXPECT_EQ(kPicture, ReadFileBytes(second));
  EXPECT_EQ(kPicture, ReadFileBytes(fourth));
  EXPECT_EQ("other bytes", ReadFileBytes(fifth));
  EXPECT_EQ(kCard, ReadFileBytes(third));
  // The same bytes under the same name again.
  ASSERT_EQ(second, files_.Write("b.thumb", kPicture));
  EXPECT_EQ(kPicture, ReadFileBytes(second));
  EXPECT_EQ(kPicture, ReadFileBytes(fourth));
}

// A file left by an earlier run that shares its bytes with others is
// replaced, not written through.
TEST_F(SideFileWriterTest, AnEarlierRunsLinkedFileIsReplaced) {
  const std::string kept = dir_.File("kept.thumb");
  test::WriteFileBytes(kept, kPicture);
  std::filesystem::create_hard_link(kept, dir_.File("old.thumb"));
  EXPECT_EQ(dir_.File("old.thumb"), files_.Write("old.thumb", kCard));
  EXPECT_EQ(kPicture, ReadFileBytes(kept));
  EXPECT_EQ(kCard, ReadFileBytes(dir_.File("old.thumb")));
}

// Far more files than the writer keeps for comparison, some of them
// larger than it compares, with names written again with other bytes: every
// name ends holding the bytes it was given last.
TEST_F(SideFileWriterTest, ManyFilesAndRewrittenNamesEachHoldTheirLastBytes) {
  std::map<std::string, std::string> expected;
  for (int i = 0; i < 900; ++i) {
    // 100 contents, each sent nine times; one in three of 60 KB (together
    // more than the 4 MB the writer keeps), one in 47 of 70 KB (too large
    // to be compared at all).
    const int content = i % 100;
    const size_t size = content % 47 == 0 ? 70000 : content % 3 == 0 ? 60000 : 64 + content;
    const std::string bytes =
        std::string(size, static_cast<char>('a' + content % 26)) + std::to_string(content);
    // One write in seven goes to an earlier name.
    const std::string name = "m" + std::to_string(i % 7 == 6 ? i / 3 : i) + ".thumb";
    const std::string path = files_.Write(name, bytes);
    ASSERT_FALSE(path.empty()) << name;
    expected[path] = bytes;
  }
  for (const auto& [path, bytes] : expected) ASSERT_EQ(bytes, ReadFileBytes(path)) << path;
}

Json::Value Record(int id) {
  Json::Value record(Json::objectValue);
  record["id"] = id;
  record["text"] = "record " + std::to_string(id);
  return record;
}

// A batch file holds the text WriteJson gives for the same document, a bare
// array or one member's array, and is listed in the order written.
TEST(BatchWriterTest, BatchesAreTheirDocumentsAsWriteJsonLaysThemOut) {
  test::TempDir dir;
  for (const char* member : {static_cast<const char*>(nullptr), "messages"}) {
    BatchWriter batches(dir.path(), member);
    Json::Value list(Json::arrayValue);
    for (int file = 0; file < 3; ++file) {
      Json::Value records(Json::arrayValue);
      for (int id = 0; id <= file; ++id) {
        records.append(Record(id));
        batches.Add(Record(id));
      }
      EXPECT_EQ(file + 1, batches.size());
      const std::string name = (member != nullptr ? "member" : "bare") + std::to_string(file);
      ASSERT_TRUE(batches.WriteListed(name, &list));
      EXPECT_EQ(0, batches.size());
      Json::Value document = records;
      if (member != nullptr) {
        document = Json::Value(Json::objectValue);
        document[member] = records;
      }
      EXPECT_EQ(dir.File(name), list[file].asString());
      EXPECT_EQ(WriteJson(document), ReadFileBytes(dir.File(name)));
    }
  }
}

// Error paths follow.

TEST(BatchWriterTest, ABatchNotWrittenIsLeftOutOfTheList) {
  test::TempDir dir;
  Json::Value list(Json::arrayValue);
  BatchWriter missing_folder(dir.File("removed"));
  missing_folder.Add(Record(1));
  EXPECT_FALSE(missing_folder.WriteListed("a.json", &list));

  BatchWriter batches(dir.path());
  batches.Next()->String("not an object");
  EXPECT_FALSE(batches.WriteListed("b.json", &list));
  EXPECT_FALSE(std::filesystem::exists(dir.File("b.json")));
  batches.Add(Record(2));
  EXPECT_TRUE(batches.WriteListed("c.json", &list));
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ("[\n   {\n      \"id\" : 2,\n      \"text\" : \"record 2\"\n   }\n]",
            ReadFileBytes(list[0].asString()));
}

TEST_F(SideFileWriterTest, NothingIsWrittenForNoBytesOrAnUnwritableFolder) {
  EXPECT_EQ("", files_.Write("empty.thumb", ""));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("empty.thumb")));

  SideFileWriter missing_folder(dir_.File("removed"));
  EXPECT_EQ("", missing_folder.Write("a.thumb", kPicture));
  EXPECT_EQ("", missing_folder.Write("b.thumb", kPicture));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("removed")));
}

TEST_F(SideFileWriterTest, HostileNamesStayInTheFolder) {
  for (const char* name : {"../../../evil.thumb", ".."}) {
    const std::string path = files_.Write(name, kPicture);
    ASSERT_FALSE(path.empty()) << name;
    EXPECT_EQ(dir_.path(), PathToUtf8(PathFromUtf8(path).parent_path())) << name;
    EXPECT_EQ(kPicture, ReadFileBytes(path)) << name;
  }
}

}  // namespace
}  // namespace kx
