// An `adb backup` file's header and the tar stream inside: any bytes are
// read or refused, never read past the end; every member read names a
// path inside the archive and holds no more than it said.
// libFuzzer options: -max_len=8192
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/kxpackage/ab_stream.h"
#include "tools/kxpackage/tar_reader.h"

namespace {

// The input in pieces of uneven size, as an inflater hands them over.
class PieceSource : public kxpackage::ByteSource {
 public:
  PieceSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Read(char* buffer, size_t capacity, size_t* got) override {
    *got = std::min({capacity, size_ - at_, size_t{1} + at_ % 613});
    std::memcpy(buffer, data_ + at_, *got);
    at_ += *got;
    return true;
  }
  std::string error() const override { return "input"; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  kxpackage::AbHeader header;
  std::string message;
  if (kxpackage::ParseAbHeader(bytes, &header, &message) && header.payload_offset > size) {
    std::abort();
  }
  PieceSource source(data, size);
  kxpackage::TarReader tar(&source, "input");
  kxpackage::TarMember member;
  uint64_t read = 0;
  for (kxpackage::TarReader::Step step;
       (step = tar.Next(&member)) == kxpackage::TarReader::Step::kMember;) {
    if (!kxpackage::IsSafeMemberName(member.name) || member.offset >= size) std::abort();
    std::string content;
    if (!tar.ReadAll(&content, size)) break;
    read += content.size();
    if (content.size() != member.size || read > size) std::abort();
  }
  return 0;
}
