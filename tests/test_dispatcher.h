// A dispatcher of a test's own: a registry over the built-in data-type
// table with rows replaced by test doubles, its own stop flag and
// configuration folder, driven the way the library's entry points drive
// theirs. The library's own table is never touched.
#ifndef KX_TESTS_TEST_DISPATCHER_H_
#define KX_TESTS_TEST_DISPATCHER_H_

#include <atomic>
#include <string>

#include "common/status.h"
#include "sdk/data_type_table.h"
#include "sdk/registry.h"
#include "test_support.h"

namespace kx::test {

class TestDispatcher {
 public:
  // Rows may change only while no call runs.
  void SetRow(int data_type, const DataTypeEntry& entry) { table_.SetRow(data_type, entry); }
  void RestoreRow(int data_type) { table_.SetRow(data_type, *FindDataType(data_type)); }

  // What InitKxDataPackage does to the library: no records, no stop.
  void Reset(const std::string& config_folder = ConfigFolder()) {
    config_folder_ = config_folder;
    registry_.Reset();
    stop_ = 0;
  }
  void Stop() { stop_ = kStopRequested; }
  int stop() const { return stop_.load(); }

  int Filter(const char* text, int length) {
    return registry_.FilterText(text, length, config_folder_, &stop_);
  }
  int Filter(const std::string& text) {
    return Filter(text.c_str(), static_cast<int>(text.size()));
  }
  int PackageOne(ResultCallback callback, int data_type) {
    return registry_.PackageOne(callback, data_type, &stop_);
  }
  int PackageAll(ResultCallback callback) { return registry_.PackageAll(callback, &stop_); }
  int State(int data_type) { return registry_.StateOf(data_type); }

 private:
  DataTypeTable table_ = DataTypeTable::BuiltIn();
  Registry registry_{&table_};
  std::atomic<int> stop_{0};
  std::string config_folder_ = ConfigFolder();
};

}  // namespace kx::test

#endif  // KX_TESTS_TEST_DISPATCHER_H_
