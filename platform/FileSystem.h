#pragma once
// The dialogs' one question to the file system, asked outside any walk.
#include <string>

namespace fsys {

// True when the path names an existing directory (links followed).
bool DirectoryExists(const std::string &path);

} // namespace fsys
