#pragma once
// Where the game's executable lives: the Sounds folder sits beside it.
#include <string>

namespace tb {

// The folder, without a trailing slash; "." if it cannot be found.
std::string ExecutableFolder();
// "/a/b/" -> "/a/b"; the root stays "/".
std::string WithoutTrailingSlash(std::string path);

}  // namespace tb
