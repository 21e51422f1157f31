// One result row kept by column name, and its conversion to JSON.
#ifndef KX_COMMON_RESULT_ROW_H_
#define KX_COMMON_RESULT_ROW_H_

#include <json/json.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/sqlite_wrapper.h"

namespace kx {

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

// One column straight into a member named after it: integer, double, or
// non-empty text; NULL, blob and empty text set nothing.
void ReadColumnIntoJson(const SqliteStatement& statement, int index, Json::Value* object);

}  // namespace kx

#endif  // KX_COMMON_RESULT_ROW_H_
