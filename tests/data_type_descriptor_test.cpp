// The descriptor table: every row reaches its packager through the entry
// points its kind allows and no other, and kxpackage knows every data type
// the table lists and hands it the request keys the row reads.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/json_util.h"
#include "package_capture.h"
#include "sdk/data_type_table.h"
#include "sdk/library.h"
#include "test_support.h"
#include "tools/kxpackage/android_types.h"
#include "tools/kxpackage/ios_types.h"

namespace kx {
namespace {

class DataTypeDescriptorTest : public test::LibraryTest {
 protected:
  std::string Request(int data_type) {
    return WriteJson(
        test::MakeRequest(data_type, temp_.File("type_" + std::to_string(data_type)), {}));
  }
  bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }

  test::TempDir temp_;
};

// Without a source file no packager gets far; reaching one shows in its
// first log line.
TEST_F(DataTypeDescriptorTest, EveryRowIsReachedThroughTheEntryPointsItsKindAllows) {
  for (const DataTypeDescriptor& row : BuiltInDescriptors()) {
    SCOPED_TRACE(row.name);
    Reset();
    const std::string request = Request(row.data_type);
    const std::string type = "type " + std::to_string(row.data_type);
    const int filtered = FilterDataType(request.c_str(), static_cast<int>(request.size()));
    if (row.Takes(kFilterCalls)) {
      EXPECT_EQ(kStatusOk, filtered);
      const int packaged = PackageDataType(test::CaptureResult, row.data_type);
      EXPECT_EQ(row.package != nullptr, Logged(type + " KxDataPackage start"));
      if (row.package == nullptr) {
        EXPECT_EQ(kStatusMissingInput, packaged);
      }
    } else {
      EXPECT_EQ(kStatusMissingInput, filtered);
      EXPECT_TRUE(
          Logged("package_type " + std::to_string(row.data_type) + " is not a known data type"));
    }
    const int staged = PackageStaged(request.c_str(), static_cast<int>(request.size()), nullptr);
    EXPECT_EQ(row.Takes(kStagedCall),
              Logged("Check Param begin: type[" + std::to_string(row.data_type) + "]"));
    if (!row.Takes(kStagedCall)) {
      EXPECT_EQ(kStatusOk, staged);
    }
    EXPECT_EQ(row.Takes(kStagedCall), row.create != nullptr && row.staged_key != nullptr);
  }
}

TEST_F(DataTypeDescriptorTest, EveryRowHasOneNumberAndOneName) {
  std::set<int> numbers;
  std::set<std::string> names;
  for (const DataTypeDescriptor& row : BuiltInDescriptors()) {
    EXPECT_TRUE(numbers.insert(row.data_type).second) << row.data_type;
    EXPECT_TRUE(names.insert(row.name).second) << row.name;
    EXPECT_EQ(row.name, kxpackage::DataTypeName(row.data_type));
  }
}

// A request key the host fills and the row does not read is lost without a
// word: the host's queues must be the row's, its staged source the row's.
TEST(DataTypeDescriptorHostTest, HostKnowsEveryDataTypeAndItsRequestKeys) {
  std::set<int> known;
  std::set<std::string> queues;
  const auto check_queue = [&](int data_type, const std::string& key) {
    if (key.empty()) return;
    queues.insert(key);
    const DataTypeDescriptor* row = BuiltInDescriptors().Find(data_type);
    ASSERT_NE(nullptr, row) << data_type;
    bool read = false;
    for (const char* queue : row->second_keys) read = read || (queue != nullptr && key == queue);
    // A companion's queue travels in its main type's request.
    for (const DataTypeDescriptor& other : BuiltInDescriptors()) {
      if (other.package == nullptr && other.second_keys[0] != nullptr &&
          key == other.second_keys[0]) {
        read = true;
      }
    }
    EXPECT_TRUE(read) << data_type << " " << key;
  };
  for (const kxpackage::AndroidType& type : kxpackage::AndroidTypes()) {
    known.insert(type.data_type);
    const DataTypeDescriptor* row = BuiltInDescriptors().Find(type.data_type);
    ASSERT_NE(nullptr, row) << type.name;
    EXPECT_EQ(row->name, type.name);
    if (type.staged) {
      EXPECT_EQ(row->staged_key, type.source.primary_key);
    }
    check_queue(type.data_type, type.source.second_key);
    for (const kxpackage::SourcePattern& companion : type.companions) {
      check_queue(type.data_type, companion.second_key);
    }
  }
  for (const kxpackage::IosType& type : kxpackage::IosTypes()) {
    known.insert(type.data_type);
    const DataTypeDescriptor* row = BuiltInDescriptors().Find(type.data_type);
    ASSERT_NE(nullptr, row) << type.name;
    EXPECT_EQ(row->name, type.name);
    if (type.staged) {
      EXPECT_EQ(row->staged_key, type.files.at(0).primary_key);
    }
    for (const kxpackage::BackupFileSpec& file : type.files)
      check_queue(type.data_type, file.second_key);
  }
  for (const DataTypeDescriptor& row : BuiltInDescriptors()) {
    // A type without steps of its own is known through the queue it fills.
    const bool companion = row.package == nullptr && row.create == nullptr;
    EXPECT_TRUE(known.count(row.data_type) == 1 ||
                (companion && queues.count(row.second_keys[0]) == 1))
        << row.name;
  }
}

}  // namespace
}  // namespace kx
