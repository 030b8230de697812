#include "FileSystem.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <algorithm>
#include <vector>

namespace fsys {

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
    return ::chdir(path.c_str()) == 0;
}

std::int64_t DiskFree()
{
    struct statvfs st {};
    if (::statvfs(".", &st) != 0)
        return -1;
    return std::int64_t(st.f_bavail) * std::int64_t(st.f_frsize);
}

bool IsCurrentDirDriveRoot()
{
    struct stat self {}, parent {};
    if (::stat(".", &self) != 0 || ::stat("..", &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

bool IsPseudoFileSystem(int dirFd)
{
    struct statfs st {};
    if (::fstatfs(dirFd, &st) != 0)
        return false;
    switch (static_cast<unsigned long>(st.f_type)) {
    case 0x9fa0: // proc
    case 0x62656572: // sysfs
    case 0x27e0eb: // cgroup
    case 0x63677270: // cgroup2
    case 0x64626720: // debugfs
    case 0x74726163: // tracefs
    case 0x73636673: // securityfs
    case 0x6165676C: // pstore
    case 0xcafe4a11: // bpf
    case 0x62656570: // configfs
    case 0x65735543: // fusectl
    case 0x19800202: // mqueue
    case 0x958458f6: // hugetlbfs
    case 0x1cd1: // devpts
    case 0x42494e4d: // binfmt_misc
    case 0x0187: // autofs: entering it would trigger mounts and may hang
        return true;
    default:
        return false;
    }
}

bool DirectoryExists(const std::string &path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

DirReader::~DirReader()
{
    if (FOwns && FFd >= 0)
        ::close(FFd);
}

bool MayEnter(unsigned uid, unsigned gid, unsigned mode)
{
    static const uid_t euid = ::geteuid();
    static const std::vector<gid_t> groups = [] {
        std::vector<gid_t> g(std::size_t(std::max(0, ::getgroups(0, nullptr))));
        g.resize(std::size_t(std::max(0, ::getgroups(int(g.size()), g.data()))));
        g.push_back(::getegid());
        return g;
    }();
    if (euid == 0)
        return true;
    if (uid == euid)
        return (mode & S_IXUSR) != 0;
    if (std::find(groups.begin(), groups.end(), gid_t(gid)) != groups.end())
        return (mode & S_IXGRP) != 0;
    return (mode & S_IXOTH) != 0;
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

bool StatAt(int dirFd, const char *name, std::int64_t &size, bool &isDir)
{
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    size = std::int64_t(st.st_size);
    isDir = S_ISDIR(st.st_mode);
    return true;
}

FileListing::FileListing(const std::string &path, std::uint32_t mask) : FMask(mask)
{
    const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        FReader.emplace(fd);
}

bool FileListing::Next(TSearchRec &rec)
{
    if (!FReader)
        return false;
    DirReader::Entry e;
    while (FReader->Next(e)) {
        std::int64_t size = 0;
        bool isDir = e.IsDir;
        if (!StatAt(FReader->Fd(), e.Name, size, isDir)) {
            // Vanished between listing and status: no longer part of the folder.
            continue;
        }
        std::uint32_t attr = isDir ? faDirectory : faArchive;
        if (e.Name[0] == '.')
            attr |= faHidden;
        if (!PassesMask(attr, FMask))
            continue;
        rec.Name = e.Name;
        rec.Attr = attr;
        rec.Size = isDir ? 0 : size;
        return true;
    }
    return false;
}

} // namespace fsys
