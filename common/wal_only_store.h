// Stores copied before their first checkpoint: the main file is empty and
// every page (the schema too) lies in the "-wal" beside it.
#ifndef KX_COMMON_WAL_ONLY_STORE_H_
#define KX_COMMON_WAL_ONLY_STORE_H_

#include <filesystem>

namespace kx {

// SQLite takes the "-wal" of an empty database for a leftover and deletes
// it, so such a store would read as empty. When `store` is empty and `wal`
// holds a committed image of page 1, that image is written into `store`
// (a staged copy, never a source): SQLite then reads every page from the
// "-wal" as the phone would. True when nothing needed doing or the image was
// written; false when `store` could not be written.
bool SeedEmptyStoreFromWal(const std::filesystem::path& store, const std::filesystem::path& wal);

}  // namespace kx

#endif  // KX_COMMON_WAL_ONLY_STORE_H_
