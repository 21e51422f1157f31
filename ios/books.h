// Books (data type 22): the book list of the Books application, each book
// with where its file lies in the backup folder.
#ifndef KX_IOS_BOOKS_H_
#define KX_IOS_BOOKS_H_

#include "packager/contract.h"

namespace kx {

// Hands {"book_items": [...], "size": n} to the callback. Returns 0; 1100
// without "book_plist" or backup path (no callback); 1109 when the list
// cannot be read or holds no "Books" array, after handing over a document
// of size 0. A stop returns 0 without a callback.
int IosBookDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_IOS_BOOKS_H_
