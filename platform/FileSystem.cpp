#include "platform/FileSystem.h"

#include <sys/stat.h>

namespace fsys {

bool DirectoryExists(const std::string &path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace fsys
