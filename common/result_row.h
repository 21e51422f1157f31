// The one reading of a result column as a member of a packaged object, and
// one result row kept by column name.
#ifndef KX_COMMON_RESULT_ROW_H_
#define KX_COMMON_RESULT_ROW_H_

#include <json/json.h>
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/json_text_writer.h"
#include "common/sqlite_wrapper.h"
#include "common/text.h"

namespace kx {

// A column of the current row as a packaged object takes it: an integer, a
// floating-point number or a non-empty text. NULL, a blob and an empty text
// are absent: such a column sets no member. `text` is SQLite's own buffer,
// valid until the statement moves on.
struct ColumnValue {
  enum class Kind : uint8_t { kAbsent, kInteger, kReal, kText };

  Kind kind = Kind::kAbsent;
  int64_t integer = 0;
  double real = 0.0;
  std::string_view text;

  bool present() const { return kind != Kind::kAbsent; }
};

// Column `index` of the current row of `row` (null: absent), whose
// sqlite3_column_type the caller already read as `storage_class`: reading a
// value in another form first may convert it.
inline ColumnValue ReadColumnValue(sqlite3_stmt* row, int index, int storage_class) {
  ColumnValue value;
  if (row == nullptr) return value;
  switch (storage_class) {
    case SQLITE_INTEGER:
      value.kind = ColumnValue::Kind::kInteger;
      value.integer = sqlite3_column_int64(row, index);
      break;
    case SQLITE_FLOAT:
      value.kind = ColumnValue::Kind::kReal;
      value.real = sqlite3_column_double(row, index);
      break;
    case SQLITE_TEXT: {
      const unsigned char* text = sqlite3_column_text(row, index);
      const int size = sqlite3_column_bytes(row, index);
      if (text == nullptr || size <= 0) break;
      value.kind = ColumnValue::Kind::kText;
      value.text = std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(size));
      break;
    }
    default:  // blobs and NULL are left out
      break;
  }
  return value;
}

inline ColumnValue ReadColumnValue(sqlite3_stmt* row, int index) {
  return ReadColumnValue(row, index,
                         row == nullptr ? SQLITE_NULL : sqlite3_column_type(row, index));
}

// A present value as member `name` (a string or a JsonName) of the open
// object of `writer`; an absent one writes nothing.
template <typename Text, typename Name>
void WriteColumnMember(const ColumnValue& value, const Name& name,
                       BasicJsonTextWriter<Text>* writer) {
  switch (value.kind) {
    case ColumnValue::Kind::kInteger:
      writer->Name(name);
      writer->Int(value.integer);
      break;
    case ColumnValue::Kind::kReal:
      writer->Name(name);
      writer->Double(value.real);
      break;
    case ColumnValue::Kind::kText:
      writer->Name(name);
      writer->String(value.text);
      break;
    case ColumnValue::Kind::kAbsent:
      break;
  }
}

// A present value as member `name` of `object`; an absent one sets nothing.
void SetColumnMember(const ColumnValue& value, const std::string& name, Json::Value* object);

// One column straight into a member named after it (ReadColumnValue's rule).
void ReadColumnIntoJson(const SqliteStatement& statement, int index, Json::Value* object);

// Value kinds as GetValueKind reports them.
constexpr int kValueInteger = 0;
constexpr int kValueReal = 1;
constexpr int kValueText = 2;
constexpr int kValueBlob = 3;
constexpr int kValueAbsent = -1;

// A NULL column stands in no map.
class ResultRow {
 public:
  std::unordered_map<std::string, std::string> texts;
  std::unordered_map<std::string, int64_t> integers;
  std::unordered_map<std::string, double> reals;
  std::unordered_map<std::string, std::vector<uint8_t>> blobs;

  // "" / 0 / 0.0 / empty when absent.
  std::string GetText(const std::string& name) const;
  int64_t GetInteger(const std::string& name) const;
  double GetReal(const std::string& name) const;
  std::vector<uint8_t> GetBlob(const std::string& name) const;
  // Looks in text, integer, real, blob order; the first hit wins.
  int GetValueKind(const std::string& name) const;
  void Clear();
};

// Reads column `index` of the current row into `row` by its storage class.
void ReadColumnIntoRow(const SqliteStatement& statement, int index, ResultRow* row);

// Integers, reals, texts, then blobs (as Base64) into members of `object`.
void RowToJson(const ResultRow& row, Json::Value* object);

// Every column of the current row into a member named after it, as
// ReadColumnIntoRow and RowToJson would set it (an empty text kept, a blob
// as Base64, NULL left out), without building the row's maps.
void ReadRowIntoJson(const SqliteStatement& statement, Json::Value* object);
// One column of the current row by that rule.
void ReadRowColumnIntoJson(const SqliteStatement& statement, int index, Json::Value* object);
// The same member written as member `name` of the open object of `writer`
// (a JsonTextWriter or a JsonBufferWriter).
template <typename Writer>
void WriteRowColumnMember(const SqliteStatement& statement, int index, const JsonName& name,
                          Writer* writer) {
  switch (statement.ColumnType(index)) {
    case SQLITE_INTEGER:
      writer->Name(name);
      writer->Int(statement.ColumnInt64(index));
      break;
    case SQLITE_FLOAT: {
      const double value = statement.ColumnDouble(index);
      writer->Name(name);
      if (std::isfinite(value)) {
        writer->Double(value);
      } else {
        writer->Null();
      }
      break;
    }
    case SQLITE_TEXT:
      writer->Name(name);
      writer->String(statement.ColumnTextView(index));
      break;
    case SQLITE_BLOB: {
      const std::string_view bytes = statement.ColumnBlobView(index);
      writer->Name(name);
      writer->String(Base64Encode(bytes.data(), bytes.size()));
      break;
    }
    default:  // NULL writes no member
      break;
  }
}
// The same members into `members`, for objects streamed without a tree;
// the columns before `first_column` are left out.
void ReadRowIntoMembers(const SqliteStatement& statement, JsonMembers* members,
                        int first_column = 0);
// One column of the current row into `members` by that rule.
void ReadColumnIntoMembers(const SqliteStatement& statement, int index, JsonMembers* members);

}  // namespace kx

#endif  // KX_COMMON_RESULT_ROW_H_
