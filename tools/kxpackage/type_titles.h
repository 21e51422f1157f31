// What people call each data type's output: "Messages", not "ios_messages".
#ifndef KXPACKAGE_TYPE_TITLES_H_
#define KXPACKAGE_TYPE_TITLES_H_

#include <string>

namespace kxpackage {

// The title of the data type whose output folder is `name`; a name it does
// not know comes back as it is.
std::string TypeTitle(const std::string& name);

}  // namespace kxpackage

#endif  // KXPACKAGE_TYPE_TITLES_H_
