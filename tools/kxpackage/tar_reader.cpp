#include "tools/kxpackage/tar_reader.h"

#include <algorithm>
#include <cstring>

namespace kxpackage {

namespace {

constexpr size_t kBlock = 512;
constexpr size_t kBufferBytes = 64 * 1024;
// A pax header holds a few names and times; more is no pax header.
constexpr uint64_t kMaxPaxBytes = 64 * 1024;
// No file of an app comes near this; a size beyond is a damaged header.
constexpr uint64_t kMaxMemberBytes = uint64_t{64} << 30;

// A numeric field: octal digits (space or NUL ended), or base-256 when its
// first byte has the high bit set. False for anything else.
bool ParseNumber(const char* field, size_t length, uint64_t* value) {
  *value = 0;
  if (static_cast<unsigned char>(field[0]) & 0x80) {
    if (static_cast<unsigned char>(field[0]) != 0x80) return false;  // negative or huge
    for (size_t i = 1; i < length; ++i) {
      if (*value >> 56) return false;
      *value = (*value << 8) | static_cast<unsigned char>(field[i]);
    }
    return true;
  }
  size_t i = 0;
  while (i < length && field[i] == ' ') ++i;
  bool digits = false;
  for (; i < length && field[i] >= '0' && field[i] <= '7'; ++i, digits = true) {
    if (*value >> 60) return false;
    *value = *value * 8 + static_cast<uint64_t>(field[i] - '0');
  }
  for (; i < length; ++i) {
    if (field[i] != ' ' && field[i] != '\0') return false;
  }
  return digits;
}

std::string Field(const char* field, size_t length) {
  return std::string(field, strnlen(field, length));
}

bool ChecksumMatches(const char* header) {
  uint64_t recorded = 0;
  if (!ParseNumber(header + 148, 8, &recorded)) return false;
  uint64_t sum = 0;
  for (size_t i = 0; i < kBlock; ++i) {
    sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(header[i]);
  }
  return sum == recorded;
}

}  // namespace

bool IsSafeMemberName(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos ||
      name.find('\\') != std::string::npos || name[0] == '/' ||
      (name.size() > 1 && name[1] == ':')) {
    return false;
  }
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

TarReader::TarReader(ByteSource* source, std::string where)
    : source_(source), where_(std::move(where)), buffer_(kBufferBytes) {}

bool TarReader::Fail(uint64_t at, const std::string& what) {
  if (error_.empty())
    error_ = where_ + ": tar stream at offset " + std::to_string(at) + ": " + what;
  return false;
}

bool TarReader::Fill(char* out, size_t count) {
  while (count > 0) {
    if (used_ == buffered_) {
      size_t got = 0;
      if (!source_->Read(buffer_.data(), buffer_.size(), &got)) {
        if (error_.empty()) error_ = source_->error();
        return false;
      }
      if (got == 0) return false;  // the caller says what ended early
      buffered_ = got;
      used_ = 0;
    }
    const size_t take = std::min(count, buffered_ - used_);
    if (out != nullptr) {
      std::memcpy(out, buffer_.data() + used_, take);
      out += take;
    }
    used_ += take;
    offset_ += take;
    count -= take;
  }
  return true;
}

bool TarReader::Skip(uint64_t count) {
  while (count > 0) {
    const size_t step = static_cast<size_t>(std::min<uint64_t>(count, kBufferBytes));
    if (!Fill(nullptr, step)) return false;
    count -= step;
  }
  return true;
}

bool TarReader::ReadPax(uint64_t size, std::string* path) {
  const uint64_t at = offset_;
  if (size > kMaxPaxBytes) return Fail(at, "a pax header of " + std::to_string(size) + " bytes");
  std::string records(static_cast<size_t>(size), '\0');
  if (!Fill(records.data(), records.size()) || !Skip((kBlock - size % kBlock) % kBlock)) {
    return Fail(at, "the pax header runs past the end of the archive");
  }
  // Records of "<length> <key>=<value>\n".
  size_t start = 0;
  while (start < records.size()) {
    size_t length = 0, i = start;
    while (i < records.size() && records[i] >= '0' && records[i] <= '9' && length < kMaxPaxBytes) {
      length = length * 10 + static_cast<size_t>(records[i++] - '0');
    }
    if (i == start || i >= records.size() || records[i] != ' ' || length <= i - start ||
        length > records.size() - start || records[start + length - 1] != '\n') {
      return Fail(at, "a damaged pax record");
    }
    const std::string record = records.substr(i + 1, start + length - 1 - (i + 1));
    if (record.compare(0, 5, "path=") == 0) *path = record.substr(5);
    start += length;
  }
  return true;
}

TarReader::Step TarReader::Next(TarMember* member) {
  if (!error_.empty()) return Step::kError;
  if (!Skip(left_ + padding_)) {
    Fail(offset_, "a member runs past the end of the archive");
    return Step::kError;
  }
  left_ = padding_ = 0;
  std::string long_name;
  for (;;) {
    const uint64_t at = offset_;
    char header[kBlock];
    if (!Fill(header, kBlock)) {
      // A stream without its two closing blocks still ends here; a cut
      // inside a header does not.
      if (!error_.empty()) return Step::kError;
      if (offset_ == at) return Step::kEnd;
      Fail(at, "the archive ends inside a header");
      return Step::kError;
    }
    if (std::all_of(header, header + kBlock, [](char c) { return c == '\0'; })) return Step::kEnd;
    if (!ChecksumMatches(header)) {
      Fail(at, "a header whose checksum does not match (no tar stream, or damaged)");
      return Step::kError;
    }
    uint64_t size = 0;
    if (!ParseNumber(header + 124, 12, &size) || size > kMaxMemberBytes) {
      Fail(at, "a member size out of range");
      return Step::kError;
    }
    const char type = header[156];
    if (type == 'x' || type == 'L') {
      if (type == 'L') {
        if (size > kMaxPaxBytes) {
          Fail(at, "a long name of " + std::to_string(size) + " bytes");
          return Step::kError;
        }
        long_name.assign(static_cast<size_t>(size), '\0');
        if (!Fill(long_name.data(), long_name.size()) || !Skip((kBlock - size % kBlock) % kBlock)) {
          Fail(at, "the long name runs past the end of the archive");
          return Step::kError;
        }
        long_name.resize(strnlen(long_name.data(), long_name.size()));
      } else if (!ReadPax(size, &long_name)) {
        return Step::kError;
      }
      continue;
    }
    if (type == 'g') {  // global pax header: nothing we need
      if (!Skip((size + kBlock - 1) / kBlock * kBlock)) {
        Fail(at, "a header runs past the end of the archive");
        return Step::kError;
      }
      continue;
    }
    std::string name = Field(header, 100);
    if (std::memcmp(header + 257, "ustar", 5) == 0 && header[345] != '\0') {
      name = Field(header + 345, 155) + "/" + name;
    }
    if (!long_name.empty()) name = long_name;
    if (type == '1' || type == '2') {
      Fail(at, "\"" + name + "\" is a link (" + Field(header + 157, 100) + "); not followed");
      return Step::kError;
    }
    const bool folder = type == '5';
    if (!folder && type != '0' && type != '\0' && type != '7') {
      Fail(at, "\"" + name + "\" is of type '" + std::string(1, type) + "', no file");
      return Step::kError;
    }
    while (folder && name.size() > 1 && name.back() == '/') name.pop_back();
    if (!IsSafeMemberName(name)) {
      Fail(at, "the member name \"" + name.substr(0, name.find('\0')) +
                   "\" leaves the archive (\"..\", absolute, or a NUL)");
      return Step::kError;
    }
    member->name = name;
    member->size = folder ? 0 : size;
    member->is_folder = folder;
    member->offset = at;
    left_ = member->size;
    padding_ = (kBlock - size % kBlock) % kBlock + (folder ? size : 0);
    return Step::kMember;
  }
}

bool TarReader::ReadContent(char* buffer, size_t capacity, size_t* got) {
  *got = static_cast<size_t>(std::min<uint64_t>(capacity, left_));
  if (*got == 0) return true;
  if (!Fill(buffer, *got)) {
    return Fail(offset_, "a member runs past the end of the archive (" + std::to_string(left_) +
                             " bytes missing)");
  }
  left_ -= *got;
  return true;
}

bool TarReader::ReadAll(std::string* content, uint64_t limit) {
  if (left_ > limit)
    return Fail(offset_, "a member larger than " + std::to_string(limit) + " bytes");
  content->assign(static_cast<size_t>(left_), '\0');
  size_t got = 0;
  return ReadContent(content->data(), content->size(), &got);
}

}  // namespace kxpackage
