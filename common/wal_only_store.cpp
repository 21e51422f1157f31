#include "common/wal_only_store.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>

namespace kx {

namespace {

namespace fs = std::filesystem;

// The write-ahead log's layout: a 32-byte header (magic, version, page
// size, checkpoint sequence, two salts, two checksums), then frames of a
// 24-byte header (page number, database size after a commit or 0, the two
// salts, two checksums) and one page.
constexpr size_t kWalHeaderSize = 32;
constexpr size_t kFrameHeaderSize = 24;
constexpr uint32_t kWalMagicLittle = 0x377f0682;
constexpr uint32_t kWalMagicBig = 0x377f0683;

uint32_t BigEndian32(const unsigned char* bytes) {
  return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
         (static_cast<uint32_t>(bytes[2]) << 8) | static_cast<uint32_t>(bytes[3]);
}

// The page size the header gives (1 stands for 65536); 0 when it is none.
uint32_t PageSize(const unsigned char* header) {
  const uint32_t size = BigEndian32(header + 8);
  if (size == 1) return 65536;
  const bool power_of_two = size != 0 && (size & (size - 1)) == 0;
  return power_of_two && size >= 512 && size <= 32768 ? size : 0;
}

}  // namespace

bool SeedEmptyStoreFromWal(const fs::path& store, const fs::path& wal) {
  std::error_code error;
  if (fs::file_size(store, error) != 0 || error) return true;
  const uintmax_t wal_size = fs::file_size(wal, error);
  if (error || wal_size < kWalHeaderSize) return true;
  std::ifstream in(wal, std::ios::binary);
  unsigned char header[kWalHeaderSize];
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return true;
  const uint32_t magic = BigEndian32(header);
  const uint32_t page_size = PageSize(header);
  if ((magic != kWalMagicLittle && magic != kWalMagicBig) || page_size == 0) return true;

  // The newest image of page 1 that a commit frame closes; frames whose
  // salts are not the header's belong to an earlier use of the file.
  const uintmax_t frame_size = kFrameHeaderSize + page_size;
  uintmax_t pending = 0, committed = 0;
  for (uintmax_t offset = kWalHeaderSize; offset + frame_size <= wal_size; offset += frame_size) {
    unsigned char frame[kFrameHeaderSize];
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in.read(reinterpret_cast<char*>(frame), sizeof frame)) break;
    if (std::memcmp(frame + 8, header + 16, 8) != 0) break;
    if (BigEndian32(frame) == 1) pending = offset + kFrameHeaderSize;
    if (BigEndian32(frame + 4) != 0 && pending != 0) committed = pending;
  }
  if (committed == 0) return true;
  std::string page(page_size, '\0');
  in.seekg(static_cast<std::streamoff>(committed));
  if (!in.read(page.data(), static_cast<std::streamsize>(page.size()))) return true;
  std::ofstream out(store, std::ios::binary | std::ios::trunc);
  out.write(page.data(), static_cast<std::streamsize>(page.size()));
  return static_cast<bool>(out);
}

}  // namespace kx
