#include "ios/safari_history.h"

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "packager/merge_filter.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kPrimaryFileKey[] = "safariHis_file_path";
constexpr char kSecondFilesKey[] = "safariHis_files_path";
constexpr char kItemTable[] = "history_items";
constexpr char kRunTogetherMark = '\xE8';
constexpr int kHistoryType = 2;

const std::vector<SelectedColumn> kItemColumns = {
    {"url", "Url"},
    {"domain_expansion", "domain"},
    {"id", nullptr},
    {"is_deleted", nullptr},
};

// Item id -> the title of its last titled visit. The titles lie in one
// block of text and the ids in one open-addressed array: a hundred thousand
// pages cost two blocks instead of two allocations each. A title that
// changes is appended again; one that repeats the item's title is not.
class Titles {
 public:
  // A title that finds no room (memory ran out) leaves the item's title
  // as it was.
  void Set(int64_t item, std::string_view title) {
    if ((used_ + 1) * 4 > slots_.size() * 3) Grow();
    Slot& slot = slots_[IndexOf(item)];
    if (slot.size != kNoTitle && Text(slot) == title) return;
    const size_t offset = text_.size();
    text_.append(title);
    if (text_.size() != offset + title.size() || text_.size() >= kNoTitle) return;
    if (slot.size == kNoTitle) ++used_;
    slot.item = item;
    slot.offset = static_cast<uint32_t>(offset);
    slot.size = static_cast<uint32_t>(title.size());
  }

  // False when the item has no title.
  bool Find(int64_t item, std::string_view* title) const {
    if (slots_.empty()) return false;
    const Slot& slot = slots_[IndexOf(item)];
    if (slot.size == kNoTitle) return false;
    *title = Text(slot);
    return true;
  }

 private:
  static constexpr uint32_t kNoTitle = 0xFFFFFFFF;
  struct Slot {
    int64_t item = 0;
    uint32_t offset = 0;
    uint32_t size = kNoTitle;  // kNoTitle: the slot is free
  };

  std::string_view Text(const Slot& slot) const {
    return text_.view().substr(slot.offset, slot.size);
  }

  // The item's slot, or the free slot where it would go.
  size_t IndexOf(int64_t item) const {
    const size_t mask = slots_.size() - 1;
    size_t at =
        static_cast<size_t>((static_cast<uint64_t>(item) * 0x9E3779B97F4A7C15ull) >> 20) & mask;
    while (slots_[at].size != kNoTitle && slots_[at].item != item) at = (at + 1) & mask;
    return at;
  }

  void Grow() {
    std::vector<Slot> old(slots_.empty() ? 1024 : slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.size != kNoTitle) slots_[IndexOf(slot.item)] = slot;
    }
  }

  std::vector<Slot> slots_;  // a power of two of them, at most three quarters used
  size_t used_ = 0;
  TextBuffer text_;
};

// False on a stop. A store without visits leaves every item untitled.
bool ReadTitles(const SQLite3Wrapper& db, const PackageContext& context, Titles* titles) {
  SqliteStatement query = PrepareStatement(
      db, "select history_item,title from history_visits where title is not null and title!=\"\"");
  if (!query.prepared()) {
    KX_LOG_AT(kLogProblem, context.stem, "No visit titles: %s.", db.ErrorMessage().c_str());
    return true;
  }
  while (query.Step() == SQLITE_ROW) {
    titles->Set(query.ColumnInt64(0), query.ColumnTextView(1));
    if (context.StopRequested()) return false;
  }
  return true;
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// The history items as one JSON array, each object written as its row
// comes: a store can hold a hundred thousand pages.
class HistoryDocument {
 public:
  HistoryDocument()
      : writer_(&text_),
        url_("Url"),
        domain_("domain"),
        tag_("tag"),
        title_("title"),
        type_("type") {
    writer_.BeginArray();
  }

  // The item of the current row of `row` (its URL and domain in columns 0
  // and 1), or the copies a deleted item's run-together URL stands for.
  // `title` is null when the item has none.
  void Add(sqlite3_stmt* row, bool deleted, const std::string_view* title) {
    const ColumnValue url = ReadColumnValue(row, 0);
    const ColumnValue domain = ReadColumnValue(row, 1);
    if (!deleted || url.kind != ColumnValue::Kind::kText ||
        url.text.find(kRunTogetherMark) == std::string_view::npos) {
      if (url.present() || title != nullptr) Write(url, domain, deleted, title);
      return;
    }
    for (const std::string& one : SplitDeletedUrl(std::string(url.text))) {
      if (one.empty() && title == nullptr) continue;
      ColumnValue piece;
      piece.kind = ColumnValue::Kind::kText;
      piece.text = one;
      Write(piece, domain, deleted, title);
    }
  }

  // The document's text; empty when it could not be written.
  std::string_view Finish() {
    if (count_ == 0) {
      empty_ = WriteJson(Json::Value(Json::arrayValue));
      return empty_;
    }
    writer_.EndArray();
    if (!writer_.complete() || text_.failed()) return std::string_view();
    return text_.view();
  }

 private:
  // `url` is written even when empty: a split URL can be "".
  void Write(const ColumnValue& url, const ColumnValue& domain, bool deleted,
             const std::string_view* title) {
    ++count_;
    writer_.BeginObject();
    if (url.kind == ColumnValue::Kind::kText) {
      writer_.Name(url_);
      writer_.String(url.text);
    } else {
      WriteColumnMember(url, url_, &writer_);
    }
    WriteColumnMember(domain, domain_, &writer_);
    if (deleted) {
      writer_.Name(tag_);
      writer_.String("deleted");
    }
    if (title != nullptr) {
      writer_.Name(title_);
      writer_.String(*title);
    }
    writer_.Name(type_);
    writer_.Int(kHistoryType);
    writer_.EndObject();
  }

  TextBuffer text_;
  JsonBufferWriter writer_;
  const JsonName url_;
  const JsonName domain_;
  const JsonName tag_;
  const JsonName title_;
  const JsonName type_;
  std::string empty_;
  size_t count_ = 0;
};

}  // namespace

std::vector<std::string> SplitDeletedUrl(const std::string& url) {
  std::string cleaned;
  for (const char c : url) {
    if (c != kRunTogetherMark) cleaned += c;
  }
  if (IsBlank(cleaned)) return {std::string()};
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t found = cleaned.find("http"); found != std::string::npos;
       found = cleaned.find("http", start)) {
    pieces.push_back(cleaned.substr(start, found - start));
    start = found + 4;
  }
  pieces.push_back(cleaned.substr(start));
  if (pieces.size() < 2) return {cleaned};
  std::vector<std::string> urls;
  for (const std::string& piece : pieces) {
    if (!piece.empty() && piece != "s") urls.push_back("http" + piece);
  }
  return urls;
}

int IosSafariHisDataFilter(DataTypeRecord* record, SqliteConfig* config,
                           const PackageContext& context) {
  static const MergeRule kMergeRule = {
      kPrimaryFileKey, kSecondFilesKey, "No primary file.", "No primary file.",
      false,           kSystemIos,      kConfigSafariHis,   true};
  return RunMergeFilter(kMergeRule, record, config, context);
}

int IosSafariHisDataPackage(DataTypeRecord* record, const PackageContext& context) {
  PackageSource db(*record, context, kPrimaryFileKey);
  if (db.status() != kStatusOk) return db.status();
  const TableColumns columns(db, kItemTable);
  if (!columns.exists()) {
    KX_LOG_AT(kLogError, context.stem, "sqlite error message : no such table: %s.", kItemTable);
    return kStatusPrepareFailed;
  }
  std::string missing;
  const std::string list = columns.SelectList(kItemColumns, &missing);
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "%s has no column %s: read as NULL.", kItemTable,
              missing.c_str());
  }
  HistoryDocument document;
  {
    const ReadTransaction transaction(db);
    Titles titles;
    if (!ReadTitles(db, context, &titles)) return PackageStopped(context);
    SqliteStatement query = PrepareStatement(db, "select " + list + " from history_items");
    while (query.Step() == SQLITE_ROW) {
      const bool deleted = query.ColumnInt64(3) != 0;
      std::string_view title;
      const bool titled = titles.Find(query.ColumnInt64(2), &title);
      document.Add(query.handle(), deleted, titled ? &title : nullptr);
      if (context.StopRequested()) return PackageStopped(context);
    }
  }
  const std::string_view text = document.Finish();
  if (text.empty()) {
    KX_LOG_AT(kLogError, context.stem, "package text could not be written.");
    return kStatusStepFailed;
  }
  return FinishPackage(db, context, text);
}

}  // namespace kx
