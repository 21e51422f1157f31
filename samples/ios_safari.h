// Generators of Safari's stores in an iOS backup: Bookmarks.db (table
// bookmarks, folders and bookmarks in one tree) and History.db
// (history_items and their history_visits).
#ifndef KX_SAMPLES_IOS_SAFARI_H_
#define KX_SAMPLES_IOS_SAFARI_H_

#include <string>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Bookmarks.db versions, oldest first:
//  1  iOS 8-10: up to icon; no sync generation, archive or filter state;
//  2  iOS 11-15: dav_generation, locally_added, archive_status, syncable,
//     web_filter_status, modified_attributes;
//  3  iOS 16 on: date_closed, last_selected_child, subtype (tab groups).
constexpr int kIosBookmarksOldestSchema = 1;
constexpr int kIosBookmarksNewestSchema = 3;
std::string IosBookmarksSql(int schema_version);

// History.db versions, oldest first:
//  1  iOS 8-10: history_items and history_visits without iCloud history;
//  2  iOS 11-16: status_code; the visits' origin, generation, attributes;
//     tombstones and the sync bookkeeping tables;
//  3  iOS 17 on: the visits' score, tags of items.
constexpr int kIosHistoryOldestSchema = 1;
constexpr int kIosHistoryNewestSchema = 3;
std::string IosHistorySql(int schema_version);

constexpr char kIosSafariDomain[] = "HomeDomain";
constexpr char kIosBookmarksPath[] = "Library/Safari/Bookmarks.db";
constexpr char kIosHistoryPath[] = "Library/Safari/History.db";

// A fresh Bookmarks.db at `path`: the built-in folders, two folders of the
// user (one inside the other) and bookmarks in each and at the top. The
// older copy also holds a bookmark deleted since. False when the file
// cannot be written.
bool WriteIosBookmarks(const std::string& path, const IosSampleOptions& options);

// A fresh History.db at `path`: items with visits (some untitled). The
// older copy also holds an item cleared since. False when the file cannot
// be written.
bool WriteIosHistory(const std::string& path, const IosSampleOptions& options);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_SAFARI_H_
