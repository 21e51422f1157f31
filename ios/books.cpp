#include "ios/books.h"

#include <memory>
#include <string>

#include "common/json_util.h"
#include "common/log.h"
#include "common/property_list.h"
#include "common/status.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kBookListKey[] = "book_plist";
constexpr char kParseError[] = "parse plist error.";
constexpr char kMissingInput[] = "No primary file";

// One element of "Books"; false when it is no dictionary. A missing "Name"
// or "Path" reads as empty text.
bool AppendBook(const CPListArray& books, int64_t index, const std::string& backup_root,
                Json::Value* items) {
  const std::unique_ptr<CPListDictionary> book = books.GetDictionaryAt(index);
  if (book == nullptr) return false;
  std::string name;
  std::string path;
  book->GetString("Name", &name);
  book->GetString("Path", &path);
  Json::Value item(Json::objectValue);
  item["book_name"] = name;
  // The list's paths are relative to the backup root and are joined to it
  // exactly as written: the host knows how its root ends.
  item["book_file_path"] = backup_root + path;
  items->append(std::move(item));
  return true;
}

// The document handed over; "book_items" is null when no book was read,
// since only an append makes it an array.
std::string BookDocument(Json::Value items) {
  Json::Value document(Json::objectValue);
  document["size"] = items.isArray() ? items.size() : 0u;
  document["book_items"] = std::move(items);
  return WriteJson(document);
}

}  // namespace

int IosBookDataPackage(DataTypeRecord* record, const PackageContext& context) {
  const std::string* list_path = BeginPackage(*record, context, kBookListKey, kMissingInput);
  if (list_path == nullptr) return kStatusMissingInput;
  const std::string& backup_root = record->additional_param;
  if (backup_root.empty()) {
    KX_LOG_AT(kLogError, context.stem, "No backup path.");
    return kStatusMissingInput;
  }
  int result = kStatusOk;
  Json::Value items;  // null until the first book
  CPListDictionary list = CPListDictionary::FromBytes({});
  std::unique_ptr<CPListArray> books;
  if (!list.Load(*list_path) || (books = list.GetArray("Books")) == nullptr) {
    KX_LOG_AT(kLogError, context.stem, "%s", kParseError);
    result = kStatusBookListFailed;
  } else {
    for (int64_t index = 0; index < books->Count(); ++index) {
      if (context.StopRequested()) return PackageStopped(context);
      AppendBook(*books, index, backup_root, &items);
    }
  }
  return EndPackage(context, BookDocument(std::move(items)), result);
}

}  // namespace kx
