// A backup or a folder of pulled databases comes from someone else's
// computer: a file of it may be a link to a file of ours. Whatever the host
// opens of such a folder is checked to resolve inside it first.
#ifndef KXPACKAGE_INSIDE_FOLDER_H_
#define KXPACKAGE_INSIDE_FOLDER_H_

#include <string>

namespace kxpackage {

// Whether `path`, with every link and ".." resolved, lies inside `folder`
// (itself resolved). A link that stays inside the folder is fine; a path
// that does not exist resolves as far as it exists.
bool ResolvesInside(const std::string& folder, const std::string& path);

// How every line of OutsideFolderProblem ends.
constexpr char kNotFollowed[] = ", not followed";

// "" when `path` resolves inside `folder`, else the line that says why it
// is not followed ("<path>: a link to outside <folder>, not followed").
std::string OutsideFolderProblem(const std::string& folder, const std::string& path);
bool IsOutsideFolderProblem(const std::string& line);

}  // namespace kxpackage

#endif  // KXPACKAGE_INSIDE_FOLDER_H_
