// A generator of the Books application's book list (Books.plist in
// BooksDomain, the phone's Media/Books folder).
#ifndef KX_SAMPLES_IOS_BOOKS_H_
#define KX_SAMPLES_IOS_BOOKS_H_

#include <string>

namespace kx::samples {

constexpr char kIosBooksDomain[] = "BooksDomain";
constexpr char kIosBookListPath[] = "Books.plist";

// The list as an XML property list: a dictionary whose "Books" array holds
// one dictionary per book (a bought book, a PDF, and one added from another
// application), each with the members the application writes.
std::string IosBookListPlist();

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_BOOKS_H_
