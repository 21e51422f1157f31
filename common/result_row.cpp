#include "common/result_row.h"

#include <cmath>

#include "common/json_util.h"
#include "common/text.h"

namespace kx {

namespace {

template <typename Map>
typename Map::mapped_type ValueOr(const Map& values, const std::string& name,
                                  typename Map::mapped_type fallback) {
  auto found = values.find(name);
  return found != values.end() ? found->second : fallback;
}

}  // namespace

std::string ResultRow::GetText(const std::string& name) const {
  return ValueOr(texts, name, std::string());
}

int64_t ResultRow::GetInteger(const std::string& name) const {
  return ValueOr(integers, name, int64_t{0});
}

double ResultRow::GetReal(const std::string& name) const { return ValueOr(reals, name, 0.0); }

std::vector<uint8_t> ResultRow::GetBlob(const std::string& name) const {
  return ValueOr(blobs, name, std::vector<uint8_t>());
}

int ResultRow::GetValueKind(const std::string& name) const {
  if (texts.count(name) != 0) return kValueText;
  if (integers.count(name) != 0) return kValueInteger;
  if (reals.count(name) != 0) return kValueReal;
  if (blobs.count(name) != 0) return kValueBlob;
  return kValueAbsent;
}

void ResultRow::Clear() {
  texts.clear();
  integers.clear();
  reals.clear();
  blobs.clear();
}

void ReadColumnIntoRow(const SqliteStatement& statement, int index, ResultRow* row) {
  const std::string name = statement.ColumnName(index);
  switch (statement.ColumnType(index)) {
    case SQLITE_INTEGER:
      row->integers[name] = statement.ColumnInt64(index);
      break;
    case SQLITE_FLOAT:
      row->reals[name] = statement.ColumnDouble(index);
      break;
    case SQLITE_TEXT:
      row->texts[name] = statement.ColumnText(index);
      break;
    case SQLITE_BLOB:
      row->blobs[name] = statement.ColumnBlob(index);
      break;
    default:  // NULL stands in no map
      break;
  }
}

void SetColumnMember(const ColumnValue& value, const std::string& name, Json::Value* object) {
  switch (value.kind) {
    case ColumnValue::Kind::kInteger:
      (*object)[name] = Json::Int64(value.integer);
      break;
    case ColumnValue::Kind::kReal:
      (*object)[name] = JsonDouble(value.real);
      break;
    case ColumnValue::Kind::kText:
      (*object)[name] = std::string(value.text);
      break;
    case ColumnValue::Kind::kAbsent:
      break;
  }
}

void RowToJson(const ResultRow& row, Json::Value* object) {
  for (const auto& entry : row.integers) (*object)[entry.first] = Json::Int64(entry.second);
  for (const auto& entry : row.reals) (*object)[entry.first] = JsonDouble(entry.second);
  for (const auto& entry : row.texts) (*object)[entry.first] = entry.second;
  for (const auto& entry : row.blobs) {
    (*object)[entry.first] = Base64Encode(entry.second.data(), entry.second.size());
  }
}

void ReadRowColumnIntoJson(const SqliteStatement& statement, int index, Json::Value* object) {
  const char* name = sqlite3_column_name(statement.handle(), index);
  if (name == nullptr) return;
  switch (statement.ColumnType(index)) {
    case SQLITE_INTEGER:
      (*object)[name] = Json::Int64(statement.ColumnInt64(index));
      break;
    case SQLITE_FLOAT:
      (*object)[name] = JsonDouble(statement.ColumnDouble(index));
      break;
    case SQLITE_TEXT:
      (*object)[name] = std::string(statement.ColumnTextView(index));
      break;
    case SQLITE_BLOB: {
      const std::string_view bytes = statement.ColumnBlobView(index);
      (*object)[name] = Base64Encode(bytes.data(), bytes.size());
      break;
    }
    default:  // NULL sets no member
      break;
  }
}

void ReadRowIntoJson(const SqliteStatement& statement, Json::Value* object) {
  for (int index = 0; index < statement.ColumnCount(); ++index) {
    ReadRowColumnIntoJson(statement, index, object);
  }
}

void ReadColumnIntoMembers(const SqliteStatement& statement, int index, JsonMembers* members) {
  const char* name = sqlite3_column_name(statement.handle(), index);
  if (name == nullptr) return;
  switch (statement.ColumnType(index)) {
    case SQLITE_INTEGER:
      members->SetInt(name, statement.ColumnInt64(index));
      break;
    case SQLITE_FLOAT: {
      const double value = statement.ColumnDouble(index);
      if (std::isfinite(value)) {
        members->SetDouble(name, value);
      } else {
        members->SetNull(name);
      }
      break;
    }
    case SQLITE_TEXT:
      members->SetString(name, statement.ColumnTextView(index));
      break;
    case SQLITE_BLOB: {
      const std::string_view bytes = statement.ColumnBlobView(index);
      AppendBase64(bytes.data(), bytes.size(), members->SetStringInPlace(name));
      break;
    }
    default:  // NULL sets no member
      break;
  }
}

void ReadRowIntoMembers(const SqliteStatement& statement, JsonMembers* members, int first_column) {
  for (int index = first_column; index < statement.ColumnCount(); ++index) {
    ReadColumnIntoMembers(statement, index, members);
  }
}

void ReadColumnIntoJson(const SqliteStatement& statement, int index, Json::Value* object) {
  const ColumnValue value = ReadColumnValue(statement.handle(), index);
  if (value.present()) SetColumnMember(value, statement.ColumnName(index), object);
}

}  // namespace kx
