// The streaming JSON writer: byte for byte the text of WriteJson for the
// same document, for fixed tricky cases and for many random documents, and
// the calls it refuses.
#include "common/json_text_writer.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "common/json_util.h"
#include "common/text.h"
#include "package_capture.h"

namespace kx {
namespace {

using test::WrittenText;

std::string Streamed(const Json::Value& value) {
  return WrittenText([&](JsonTextWriter* writer) { WriteJsonValue(value, writer); });
}

Json::Value Text(const std::string& bytes) {
  return Json::Value(bytes.data(), bytes.data() + bytes.size());
}

TEST(JsonTextWriterTest, WritesWhatTheTreeWriterWritesForFixedCases) {
  Json::Value document(Json::objectValue);
  document["empty_list"] = Json::Value(Json::arrayValue);
  document["empty_object"] = Json::Value(Json::objectValue);
  Json::Value& calls = document["callhistory"] = Json::Value(Json::arrayValue);
  Json::Value call(Json::objectValue);
  call["number"] = "+1 (555) 010-4477";
  call["name"] = "Zoë \"Big\" O'Brien \\ 🐱 שלום";
  call["duration"] = Json::Int64(-9223372036854775807LL - 1);
  call["ratio"] = 3.0;
  call["tiny"] = 5e-324;
  // Numbers JSON cannot hold reach a tree as null, and are streamed so.
  const double odd_numbers[] = {std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  call["big"] = JsonDouble(odd_numbers[0]);
  call["minus_big"] = JsonDouble(odd_numbers[1]);
  call["not_a_number"] = JsonDouble(odd_numbers[2]);
  for (double odd : odd_numbers) {
    std::string text;
    AppendJsonDouble(odd, &text);
    EXPECT_EQ("null", text) << odd;
  }
  call["negative_zero"] = -0.0;
  // Whole numbers on either side of the plain form's limit.
  Json::Value& wholes = call["wholes"];
  for (const double whole : {0.0, -7.0, 999999999999999.0, 1e15, -1e16, 123456789012345678.0}) {
    wholes[std::to_string(wholes.size())] = whole;
  }
  call["controls"] = Text(std::string("\0\x01\b\f\n\r\t\x1f\x7f", 9));
  call["broken"] = Text(
      "\x80"
      "A\xc0\x80\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82");
  call[std::string("k\xc3\xa9y\x01", 5)] = "named oddly";
  call[""] = "";
  call["biggest"] = Json::UInt64(18446744073709551615ull);
  call["high_bit"] = Json::UInt64(9223372036854775808ull);
  call["small"] = Json::UInt64(4294967295u);
  call["zero"] = Json::UInt64(0);
  call["yes"] = true;
  call["no"] = false;
  call["nothing"] = Json::Value();
  // Integer arrays: on one line, one element per line by length and by
  // count, and past the signed range.
  for (const int count : {3, 8, 25}) {
    Json::Value& ids = call["ids" + std::to_string(count)] = Json::Value(Json::arrayValue);
    for (int i = 0; i < count; ++i)
      ids.append(count == 8 ? -(Json::Int64(1) << 40) : Json::Int64(i));
  }
  call["huge_ids"].append(Json::UInt64(18446744073709551615ull));
  call["huge_ids"].append(Json::UInt64(1));
  calls.append(call);
  Json::Value nested(Json::objectValue);
  nested["inner"]["deeper"] = Json::Value(Json::arrayValue);
  nested["inner"]["deeper"].append(call);
  calls.append(nested);
  EXPECT_EQ(WriteJson(document), Streamed(document));

  for (const Json::Value& root :
       {Json::Value(Json::objectValue), Json::Value(Json::arrayValue), Json::Value("only text"),
        Json::Value(Json::Int64(7)), Json::Value(1.25), Json::Value(Json::UInt64(7)),
        Json::Value(true), Json::Value()}) {
    EXPECT_EQ(WriteJson(root), Streamed(root));
  }
}

// SplitMix64, so that a failure can be replayed from its seed.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int bound) { return static_cast<int>(Next() % static_cast<uint64_t>(bound)); }

 private:
  uint64_t state_;
};

std::string RandomBytes(Random& random) {
  // clang-format off
  static const char* const kPieces[] = {
      "a", "Z", " ", "\"", "\\", "/", "\n", "\t", "\x01", "\x7f", "é", "€", "😀", "ש",
      "\x80", "\xc3", "\xe2\x82", "\xf0\x9f\x98", "\xed\xa0\x80", "\xc0\x80",
      "\xf8\x88\x80\x80\x80", "\xff"};
  // clang-format on
  std::string bytes;
  const int count = random.Below(12);
  for (int i = 0; i < count; ++i) {
    if (random.Below(8) == 0) {
      bytes.push_back(static_cast<char>(random.Below(256)));
    } else {
      bytes += kPieces[random.Below(sizeof(kPieces) / sizeof(kPieces[0]))];
    }
  }
  return bytes;
}

double RandomDouble(Random& random) {
  switch (random.Below(4)) {
    case 0: {
      const uint64_t bits = random.Next();
      double value;
      std::memcpy(&value, &bits, sizeof(value));
      return value;
    }
    case 1:
      return static_cast<double>(random.Below(2000) - 1000);
    case 2:
      return (random.Below(2000) - 1000) / 8.0;
    default:
      return static_cast<double>(static_cast<int64_t>(random.Next())) / 3.0;
  }
}

// Every kind of double (subnormal, huge, negative, whole, fractional) is
// written as the tree writer writes it.
TEST(JsonTextWriterTest, DoublesAreWrittenAsTheTreeWriterWritesThem) {
  Random random(7);
  for (int i = 0; i < 20000; ++i) {
    const double value = RandomDouble(random);
    std::string text;
    AppendJsonDouble(value, &text);
    ASSERT_EQ(WriteJson(Json::Value(value)), text) << i;
  }
}

TEST(JsonTextWriterTest, MembersAreWrittenInNameOrderAndReplaced) {
  JsonMembers members;
  Json::Value tree(Json::objectValue);
  members.SetString("type", "inbox");
  members.SetInt("date", 5);
  members.SetString("body", "first");
  members.SetDouble("size", 2.5);
  members.SetString("body", "second");
  members.SetString("date", "03 - 14 - 2021 09:26 : 33");
  members.SetNull("rate");
  members.SetString("media", "set, then given way to the nested member");
  tree["type"] = "inbox";
  tree["body"] = "second";
  tree["size"] = 2.5;
  tree["date"] = "03 - 14 - 2021 09:26 : 33";
  tree["rate"] = Json::Value();
  tree["media"][0]["name"] = "a.jpg";
  EXPECT_TRUE(members.Has("size"));
  EXPECT_FALSE(members.Has("tag"));
  EXPECT_EQ(2, members.IntegerOf("size"));
  EXPECT_EQ(0, members.IntegerOf("date"));
  EXPECT_EQ("second", members.StringOf("body"));
  EXPECT_EQ("", members.StringOf("size"));

  // The object is written ahead at the depth of an element of "messages",
  // then placed; at another depth it is refused.
  JsonMembers attachment;
  attachment.SetString("name", "a.jpg");
  const std::string ahead = WrittenText(
      [&](JsonTextWriter* writer) {
        members.WriteObject(writer, "media", [&] {
          writer->BeginArray();
          attachment.WriteObject(writer);
          writer->EndArray();
        });
      },
      2);

  Json::Value document(Json::objectValue);
  document["messages"].append(tree);
  document["messages"].append(tree);
  EXPECT_EQ(WriteJson(document), WrittenText([&](JsonTextWriter* writer) {
              writer->BeginObject();
              writer->Name("messages");
              writer->BeginArray();
              writer->Element(ahead, 2);
              writer->Element(ahead, 2);
              writer->EndArray();
              writer->EndObject();
            }));

  std::string misplaced_text;
  JsonTextWriter misplaced(&misplaced_text);
  misplaced.BeginArray();
  misplaced.Element(ahead, 2);
  EXPECT_FALSE(misplaced.ok());

  members.Clear();
  EXPECT_TRUE(members.empty());
}

// One JsonMembers serves row after row of a query; rows leave out their
// NULL columns, so the names shift between objects, and a name set again
// must replace its value, never stand twice.
TEST(JsonTextWriterTest, MembersServeObjectAfterObjectWhoseNamesShift) {
  const std::vector<std::vector<std::pair<std::string, int64_t>>> objects = {
      {{"a", 1}, {"x", 2}, {"b", 3}},
      {{"x", 4}, {"x", 5}, {"b", 6}},
      {{"a", 7}, {"x", 8}, {"b", 9}, {"a", 10}},
      {{"a", 11}, {"x", 12}},
      {{"a", 13}, {"x", 14}, {"b", 15}, {"c", 16}, {"x", 17}},
      {{"x", 18}, {"a", 19}},
      {{"x", 20}, {"a", 21}},
      {{"b", 22}, {"a", 23}},
  };
  JsonMembers members;
  for (const auto& object : objects) {
    members.Clear();
    Json::Value tree(Json::objectValue);
    for (const auto& [name, value] : object) {
      members.SetInt(name, value);
      tree[name] = Json::Int64(value);
    }
    EXPECT_EQ(WriteJson(tree),
              WrittenText([&](JsonTextWriter* writer) { members.WriteObject(writer); }));
  }
  // Names from the data, a new one in every object: the names of earlier
  // objects are never present, and are dropped in time.
  for (int i = 0; i < 200; ++i) {
    members.Clear();
    const std::string name = "n" + std::to_string(i);
    members.SetString(name, "v");
    members.SetInt("a", i);
    EXPECT_FALSE(members.Has("n" + std::to_string(i - 1)));
    EXPECT_EQ(i, members.IntegerOf("a"));
    Json::Value tree(Json::objectValue);
    tree[name] = "v";
    tree["a"] = i;
    ASSERT_EQ(WriteJson(tree),
              WrittenText([&](JsonTextWriter* writer) { members.WriteObject(writer); }));
  }
}

TEST(JsonTextWriterTest, CrLfLineEndsEverywhereALineEnds) {
  Json::Value tree(Json::objectValue);
  tree["list"].append("one");
  tree["objects"][0]["name"] = "a\nb";
  EXPECT_EQ(ReplaceAll(WriteJson(tree), "\n", "\r\n"), WrittenText([&](JsonTextWriter* writer) {
              writer->UseCrLf();
              WriteJsonValue(tree, writer);
            }));
}

// Every byte value at every place of a text long enough to be scanned a
// word at a time, alone and beside another.
TEST(JsonTextWriterTest, EscapesEveryByteWhereverItStands) {
  for (int byte = 0; byte < 256; ++byte) {
    for (size_t place = 0; place < 19; ++place) {
      std::string text(19, 'p');
      text[place] = static_cast<char>(byte);
      if (place + 1 < text.size()) text[place + 1] = static_cast<char>(byte ^ 0x80);
      std::string streamed;
      AppendJsonString(text, &streamed);
      ASSERT_EQ(WriteJson(Json::Value(text)), streamed) << byte << " at " << place;
    }
  }
}

Json::Value RandomStringArray(Random& random) {
  Json::Value list(Json::arrayValue);
  const int count = random.Below(4) == 0 ? random.Below(30) : random.Below(6);
  for (int i = 0; i < count; ++i) {
    std::string text = RandomBytes(random);
    // Long enough, now and then, to cross the margin.
    text.append(static_cast<size_t>(random.Below(4) == 0 ? random.Below(70) : 0), 'w');
    list.append(Text(text));
  }
  return list;
}

Json::Value RandomObject(Random& random, int depth, bool allow_empty);

Json::Value RandomMemberValue(Random& random, int depth) {
  switch (random.Below(depth > 0 ? 9 : 7)) {
    case 0:
      return Text(RandomBytes(random));
    case 1:
      return Json::Value(Json::Int64(static_cast<int64_t>(random.Next())));
    case 2:
      return Json::Value(RandomDouble(random));
    case 3:
      return RandomStringArray(random);
    case 4:
      return Json::Value(Json::UInt64(random.Next()));
    case 5:
      return Json::Value(random.Below(2) == 0);
    case 6:
      return Json::Value();
    case 7:
      return RandomObject(random, depth - 1, true);
    default: {
      Json::Value list(Json::arrayValue);
      const int count = random.Below(4);
      for (int i = 0; i < count; ++i) list.append(RandomObject(random, depth - 1, false));
      return list;
    }
  }
}

Json::Value RandomObject(Random& random, int depth, bool allow_empty) {
  Json::Value object(Json::objectValue);
  const int count = random.Below(5) + (allow_empty ? 0 : 1);
  for (int i = 0; i < count; ++i) {
    object[RandomBytes(random)] = RandomMemberValue(random, depth);
  }
  return object;
}

TEST(JsonTextWriterTest, WritesWhatTheTreeWriterWritesForRandomDocuments) {
  for (uint64_t seed = 1; seed <= 4000; ++seed) {
    Random random(seed);
    const Json::Value document = RandomObject(random, 3, true);
    ASSERT_EQ(WriteJson(document), Streamed(document)) << "seed " << seed;
  }
}

// The trees WriteJsonValue writes whole, as told beforehand: the random
// documents above, and none that holds an array it would refuse, however
// deep.
TEST(JsonTextWriterTest, TellsWhichTreesItWritesWhole) {
  for (uint64_t seed = 1; seed <= 200; ++seed) {
    Random random(seed);
    EXPECT_TRUE(StreamableJsonValue(RandomObject(random, 3, true))) << "seed " << seed;
  }
  const char* refused[] = {
      R"({"a" : [1, "x"]})",
      R"({"a" : [{}]})",
      R"({"a" : [[1]]})",
      R"({"a" : [1.5]})",
      R"({"a" : [null]})",
      R"({"a" : [true]})",
      R"({"a" : [{"b" : 1}, 2]})",
      R"({"a" : {"b" : [{"c" : [{}]}]}})",
      R"({"a" : [{"b" : [["x"]]}]})",
  };
  for (const char* text : refused) {
    EXPECT_FALSE(StreamableJsonValue(test::Parsed(text))) << text;
  }
  const char* written[] = {R"({"a" : [], "b" : {}, "c" : [{"d" : ["x", "y"]}], "e" : [1, 2]})",
                           R"({"a" : [18446744073709551615]})", R"("text")"};
  for (const char* text : written) {
    const Json::Value tree = test::Parsed(text);
    EXPECT_TRUE(StreamableJsonValue(tree)) << text;
    EXPECT_EQ(WriteJson(tree), Streamed(tree)) << text;
  }
}

// Calls the writer refuses follow.

// Replays `calls`, one writer call per character: { } [ ] begin and end,
// i an Int, a and b a Name, s a one-element StringArray.
void Replay(const std::string& calls, JsonTextWriter* writer) {
  for (char call : calls) {
    if (call == '{') {
      writer->BeginObject();
    } else if (call == '}') {
      writer->EndObject();
    } else if (call == '[') {
      writer->BeginArray();
    } else if (call == ']') {
      writer->EndArray();
    } else if (call == 'i') {
      writer->Int(1);
    } else if (call == 's') {
      writer->StringArray({"a"});
    } else {
      writer->Name(std::string(1, call));
    }
  }
}

TEST(JsonTextWriterTest, RefusesWhatItCannotWriteLikeTheTreeWriter) {
  const std::pair<const char*, const char*> cases[] = {
      {"scalar in array", "[i"},
      {"array in array", "[["},
      {"empty object in array", "[{}"},
      {"names out of order", "{bia"},
      {"repeated name", "{aia"},
      {"value without name", "{i"},
      {"name without value", "{a}"},
      {"unbalanced end", "{]"},
      {"second root", "ii"},
      {"name outside object", "a"},
      {"string array in array", "[s"},
      {"string array without name", "{s"},
  };
  for (const auto& [name, calls] : cases) {
    std::string text;
    JsonTextWriter writer(&text);
    Replay(calls, &writer);
    EXPECT_FALSE(writer.ok()) << name;
    EXPECT_FALSE(writer.complete()) << name;
  }
  std::string open_text;
  JsonTextWriter open(&open_text);
  open.BeginObject();
  EXPECT_TRUE(open.ok());
  EXPECT_FALSE(open.complete());
}

// The buffer writer gives the string writer's bytes, also for documents
// past the sizes where the buffer prepares its pages ahead.
TEST(JsonTextWriterTest, BufferWriterGivesTheSameBytes) {
  Json::Value document(Json::objectValue);
  Json::Value& rows = document["rows"] = Json::Value(Json::arrayValue);
  for (int i = 0; i < 120000; ++i) {
    Json::Value row(Json::objectValue);
    row["n"] = i;
    row["text"] =
        std::string(static_cast<size_t>(i % 97), static_cast<char>('a' + i % 26)) + "\"\n\xc3\xa9";
    rows.append(row);
  }
  TextBuffer text;
  JsonBufferWriter writer(&text);
  WriteJsonValue(document, &writer);
  ASSERT_TRUE(writer.complete());
  ASSERT_FALSE(text.failed());
  const std::string expected = WriteJson(document);
  ASSERT_GT(expected.size(), 10u << 20);
  EXPECT_EQ(expected.size(), text.size());
  EXPECT_TRUE(expected == text.view());
  EXPECT_EQ('\0', text.c_str()[text.size()]);
}

TEST(JsonTextWriterTest, BufferStopsAtItsLimitKeepingWhatItHeld) {
  TextBuffer text(10);
  text.append("0123456789");
  EXPECT_FALSE(text.failed());
  text.push_back('x');
  EXPECT_TRUE(text.failed());
  text.append("more");
  EXPECT_EQ("0123456789", text.view());
  TextBuffer moved(std::move(text));
  EXPECT_EQ("0123456789", moved.view());
  EXPECT_TRUE(moved.failed());
  EXPECT_EQ(0u, text.size());  // NOLINT(bugprone-use-after-move): moved-from is empty
  // A cleared buffer starts again: one batch too long fails that batch only.
  moved.clear();
  EXPECT_FALSE(moved.failed());
  moved.reserve(100);  // beyond the limit: no room is taken
  moved.append("abc");
  EXPECT_EQ("abc", moved.view());
  EXPECT_FALSE(moved.failed());
}

}  // namespace
}  // namespace kx
