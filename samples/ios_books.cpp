#include "samples/ios_books.h"

#include "samples/ios_sample_text.h"

namespace kx::samples {

namespace {

struct Book {
  const char* name;
  const char* artist;
  const char* path;
  const char* kind;
  const char* persistent_id;
};

constexpr Book kBooks[] = {
    {"Walden", "Henry David Thoreau", "Purchases/376FAA7E4CF81729.epub", "epub",
     "376FAA7E4CF81729"},
    {"Trail map — Kungsleden", "Svenska Turistföreningen", "669FEE1FFBB29D81.pdf", "pdf",
     "669FEE1FFBB29D81"},
    {"Émile, ou De l'éducation", "Jean-Jacques Rousseau", "F788455723912C6D.epub", "epub",
     "F788455723912C6D"},
};

std::string Member(const std::string& key, const std::string& value) {
  return "\t\t\t<key>" + key + "</key>\n\t\t\t<string>" + XmlEscape(value) + "</string>\n";
}

}  // namespace

std::string IosBookListPlist() {
  std::string books;
  for (const Book& book : kBooks) {
    books += "\t\t<dict>\n" + Member("Artist", book.artist) + Member("Kind", book.kind) +
             Member("Name", book.name) + Member("Path", book.path) +
             Member("Persistent ID", book.persistent_id) + "\t\t</dict>\n";
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n<dict>\n\t<key>Books</key>\n\t<array>\n" +
         books + "\t</array>\n</dict>\n</plist>\n";
}

}  // namespace kx::samples
