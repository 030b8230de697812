#include "Linux.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <algorithm>
#include <vector>

namespace walk::os {

std::string GetCurrentDir()
{
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        if (::getcwd(buf.data(), buf.size()))
            return std::string(buf.data());
        if (errno != ERANGE)
            return {};
        buf.resize(buf.size() * 2);
    }
}

bool SetCurrentDir(const std::string &path)
{
    if (path.empty())
        return false;
    if (::chdir(path.c_str()) == 0)
        return true;
    if (errno != ENAMETOOLONG)
        return false;
    const int fd = OpenPath(path, O_PATH | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool changed = ::fchdir(fd) == 0;
    ::close(fd);
    return changed;
}

int OpenPath(const std::string &path, int flags)
{
    flags |= O_CLOEXEC;
    if (path.size() < PATH_MAX)
        return ::open(path.c_str(), flags);
    // Pieces end at a separator and stay below PATH_MAX; each opens relative
    // to the folder the one before it reached.
    int dir = AT_FDCWD;
    std::size_t pos = 0;
    if (path[0] == '/') {
        dir = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        pos = 1;
    }
    while (dir != -1) {
        while (pos < path.size() && path[pos] == '/')
            ++pos;
        const bool last = path.size() - pos < PATH_MAX;
        std::size_t end = path.size();
        if (!last) {
            end = path.rfind('/', pos + PATH_MAX - 1);
            if (end == std::string::npos || end <= pos) {
                ::close(dir);
                errno = ENAMETOOLONG;
                return -1;
            }
        }
        const std::string piece = path.substr(pos, end - pos);
        const int next = ::openat(dir, piece.empty() ? "." : piece.c_str(),
                                  last ? flags : O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int saved = errno;
        if (dir != AT_FDCWD)
            ::close(dir);
        errno = saved;
        if (last || next < 0)
            return next;
        dir = next;
        pos = end;
    }
    return -1;
}

std::int64_t DiskFree(int dirFd)
{
    struct statvfs st {};
    if (::fstatvfs(dirFd, &st) != 0)
        return -1;
    std::int64_t bytes = 0;
    if (__builtin_mul_overflow(std::uint64_t(st.f_bavail), std::uint64_t(st.f_frsize), &bytes))
        return INT64_MAX;
    return bytes;
}

bool IsCurrentDirDriveRoot()
{
    struct stat self {}, parent {};
    if (::stat(".", &self) != 0 || ::stat("..", &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

bool PseudoMounts::IsPseudoType(const std::string &type)
{
    // autofs would trigger mounts and may hang; binfmt_misc and the rest hold
    // nothing that takes room on a disk.
    static const char *const kTypes[] = {"proc",     "sysfs",  "devtmpfs",  "cgroup",   "cgroup2",   "debugfs",
                                         "tracefs",  "securityfs", "pstore", "bpf",     "configfs",  "fusectl",
                                         "mqueue",   "hugetlbfs", "devpts", "autofs",  "binfmt_misc", "efivarfs",
                                         "rpc_pipefs", "nsfs"};
    return std::find(std::begin(kTypes), std::end(kTypes), type) != std::end(kTypes);
}

PseudoMounts::PseudoMounts()
{
    // Each line: id parent major:minor root mount-point options [tags] - type source options
    FILE *f = std::fopen("/proc/self/mountinfo", "re");
    if (!f)
        return;
    char *line = nullptr;
    std::size_t cap = 0;
    while (::getline(&line, &cap, f) > 0) {
        unsigned major = 0, minor = 0;
        if (std::sscanf(line, "%*s %*s %u:%u", &major, &minor) != 2)
            continue;
        const char *sep = std::strstr(line, " - ");
        if (!sep)
            continue;
        char type[64] = {};
        if (std::sscanf(sep + 3, "%63s", type) == 1 && IsPseudoType(type))
            FDevices.push_back(makedev(major, minor));
    }
    std::free(line);
    std::fclose(f);
}

bool PseudoMounts::Contains(std::uint64_t device) const
{
    return std::find(FDevices.begin(), FDevices.end(), device) != FDevices.end();
}

DirReader::~DirReader()
{
    if (FOwns && FFd >= 0)
        ::close(FFd);
}

namespace {
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};
} // namespace

bool DirReader::Next(Entry &out)
{
    if (FFd < 0)
        return false;
    if (FPos >= FLen) {
        FLen = ::syscall(SYS_getdents64, FFd, FBuf, sizeof(FBuf));
        FPos = 0;
        if (FLen <= 0)
            return false;
    }
    const auto *d = reinterpret_cast<const LinuxDirent64 *>(FBuf + FPos);
    FPos += d->d_reclen;
    out.Name = d->d_name;
    out.IsDir = d->d_type == DT_DIR;
    out.IsUnknown = d->d_type == DT_UNKNOWN;
    return true;
}

bool StatAt(int dirFd, const char *name, TFileStatus &status)
{
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    status.Size = std::int64_t(st.st_size);
    status.IsDir = S_ISDIR(st.st_mode);
    status.Links = st.st_nlink;
    status.Dev = st.st_dev;
    status.Ino = st.st_ino;
    return true;
}

} // namespace walk::os
