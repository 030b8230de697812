#include "Linux.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iterator>
#include <linux/openat2.h>
#include <malloc.h>
#include <mutex>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

namespace walk::os {

namespace {

// Held while a path is resolved against the current folder, and while
// OpenWithoutLinks moves that folder away for a moment.
std::mutex &CurrentFolderLock()
{
    static std::mutex lock;
    return lock;
}

std::string CurrentDirLocked()
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

// The pieces of a path: each one name with `oneNameEach`, else each as long
// as the system takes at once, ending at a separator; a leading '/' stands
// apart as "/".
std::vector<std::string> Pieces(const std::string &path, bool oneNameEach)
{
    std::vector<std::string> pieces;
    std::size_t pos = 0;
    if (!path.empty() && path[0] == '/')
        pieces.emplace_back("/");
    while (pos < path.size()) {
        while (pos < path.size() && path[pos] == '/')
            ++pos;
        if (pos == path.size())
            break;
        const std::size_t nameEnd = std::min(path.find('/', pos), path.size());
        std::size_t end = path.size();
        if (oneNameEach)
            end = nameEnd;
        else if (path.size() - pos >= PATH_MAX)
            end = std::max(nameEnd, std::min(path.rfind('/', pos + PATH_MAX - 1), path.size()));
        pieces.push_back(path.substr(pos, end - pos));
        pos = end;
    }
    return pieces;
}

// How many folders down a relative piece leads.
std::size_t Depth(const std::string &piece)
{
    std::size_t names = 0;
    for (std::size_t i = 0; i < piece.size(); ++i)
        if (piece[i] != '/' && (i == 0 || piece[i - 1] == '/'))
            ++names;
    return names;
}

// openat2 with no link followed anywhere in the path (Linux 5.6 and later);
// without it, one name at a time with O_NOFOLLOW.
bool HasOpenat2()
{
    static const bool has = [] {
        struct open_how how {};
        how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS;
        const long fd = ::syscall(SYS_openat2, AT_FDCWD, ".", &how, sizeof how);
        if (fd >= 0)
            ::close(int(fd));
        return fd >= 0 || (errno != ENOSYS && errno != EPERM);
    }();
    return has;
}

int OpenNoLinks(const std::string &piece, int flags)
{
    if (!HasOpenat2())
        return ::open(piece.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
    struct open_how how {};
    how.flags = std::uint64_t(flags | O_CLOEXEC);
    how.resolve = RESOLVE_NO_SYMLINKS;
    return int(::syscall(SYS_openat2, AT_FDCWD, piece.c_str(), &how, sizeof how));
}

// Makes the folder named by `piece` current, links not followed; false when it cannot.
bool StepInto(const std::string &piece, bool followLinks)
{
    if (followLinks || piece == "/")
        return ::chdir(piece.c_str()) == 0;
    const int fd = OpenNoLinks(piece, O_PATH | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool moved = ::fchdir(fd) == 0;
    ::close(fd);
    return moved;
}

// The current folder before a walk through pieces moves it, to come back to.
class TReturnPoint {
public:
    TReturnPoint() : FPath(CurrentDirLocked()) { ::stat(".", &FHere); }
    // Climbs back `levels` folders (none: goes by the path); when that does
    // not lead to the same folder (one in between moved), goes by the path.
    void Back(std::size_t levels) const
    {
        const std::string up = "../";
        std::string climb;
        for (std::size_t done = 0; done < levels; done += climb.size() / up.size()) {
            climb.clear();
            for (std::size_t i = done; i < levels && climb.size() + up.size() < PATH_MAX; ++i)
                climb += up;
            if (::chdir(climb.c_str()) != 0)
                break;
        }
        if (Here() || FPath.empty())
            return;
        for (const std::string &piece : Pieces(FPath, false))
            if (!StepInto(piece, true))
                return;
    }

private:
    bool Here() const
    {
        struct stat now {};
        return ::stat(".", &now) == 0 && now.st_dev == FHere.st_dev && now.st_ino == FHere.st_ino;
    }
    std::string FPath;
    struct stat FHere {};
};

// Opens `path` a piece at a time: every piece but the last is made current
// in turn, then the current folder goes back to where it was.
int OpenByPieces(const std::string &path, int flags, bool followLinks)
{
    auto open = [&](const std::string &piece, int how) {
        return followLinks ? ::open(piece.c_str(), how | O_CLOEXEC) : OpenNoLinks(piece, how);
    };
    if (path.size() < PATH_MAX && (followLinks || HasOpenat2()))
        return open(path, flags);
    const std::vector<std::string> pieces = Pieces(path, !followLinks && !HasOpenat2());
    if (pieces.empty()) {
        errno = ENOENT;
        return -1;
    }
    const TReturnPoint back;
    std::size_t levels = 0;
    int error = 0;
    for (std::size_t i = 0; i + 1 < pieces.size() && error == 0; ++i) {
        if (StepInto(pieces[i], followLinks))
            levels += Depth(pieces[i]);
        else
            error = errno;
    }
    int fd = -1;
    if (error == 0) {
        fd = open(pieces.back(), flags);
        error = fd < 0 ? errno : 0;
    }
    // From '/' on, climbing would not lead back: the path does.
    back.Back(pieces[0] == "/" ? 0 : levels);
    errno = error;
    return fd;
}

struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

} // namespace

std::string GetCurrentDir()
{
    const std::lock_guard lock(CurrentFolderLock());
    return CurrentDirLocked();
}

bool SetCurrentDir(const std::string &path)
{
    if (path.empty())
        return false;
    const std::lock_guard lock(CurrentFolderLock());
    if (::chdir(path.c_str()) == 0)
        return true;
    if (errno != ENAMETOOLONG)
        return false;
    const TReturnPoint back;
    for (const std::string &piece : Pieces(path, false))
        if (!StepInto(piece, true)) {
            const int error = errno;
            back.Back(0);
            errno = error;
            return false;
        }
    return true;
}

bool IsCurrentDirDriveRoot()
{
    const std::lock_guard lock(CurrentFolderLock());
    struct stat self {}, parent {};
    if (::stat(".", &self) != 0 || ::stat("..", &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

int OpenPath(const std::string &path, int flags)
{
    const std::lock_guard lock(CurrentFolderLock());
    return OpenByPieces(path, flags, true);
}

int OpenWithoutLinks(const std::string &path, int flags)
{
    const std::lock_guard lock(CurrentFolderLock());
    return OpenByPieces(path, flags, false);
}

int OpenSubFolder(int dirFd, const char *name)
{
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool EnterableButUnreadable(int dirFd, const std::string &name, int error, bool followLinks)
{
    if (error != EACCES)
        return false;
    // Opening it to be searched needs no right to read it.
    constexpr int kSearch = O_PATH | O_DIRECTORY;
    const int fd = dirFd != AT_FDCWD ? ::openat(dirFd, name.c_str(), kSearch | O_NOFOLLOW | O_CLOEXEC)
                   : followLinks     ? OpenPath(name, kSearch)
                                     : OpenWithoutLinks(name, kSearch);
    if (fd < 0)
        return false;
    // The kernel's answer, as making it current would have it (ACLs, and file
    // systems that decide for themselves, included).
    const bool searchable = ::faccessat(fd, "", X_OK, AT_EMPTY_PATH | AT_EACCESS) == 0;
    ::close(fd);
    return searchable;
}

bool IdentifySearchable(int fd, dev_t &dev, ino_t &ino)
{
    struct statx sx {};
    // Only a folder that may be searched lets "." be looked up in it.
    if (::statx(fd, ".", 0, STATX_INO, &sx) != 0)
        return false;
    dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    ino = sx.stx_ino;
    return true;
}

bool Identify(int fd, dev_t &dev, ino_t &ino)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    dev = st.st_dev;
    ino = st.st_ino;
    return true;
}

int OpenParent(int fd)
{
    return ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

bool DirReader::Next(Entry &out)
{
    if (FFd < 0)
        return false;
    if (FPos >= FLen) {
        FLen = ::syscall(SYS_getdents64, FFd, FBuf, sizeof(FBuf));
        FPos = 0;
        if (FLen < 0)
            FError = errno;
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

int AvailableDescriptors()
{
    struct rlimit rl {};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY)
        return 1024;
    // The limit bounds the numbers a descriptor may take: what is free below it.
    const auto limit = std::min<rlim_t>(rl.rlim_cur, 1 << 20);
    rlim_t open = 0;
    const int fd = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        DirReader reader(fd);
        DirReader::Entry e;
        while (reader.Next(e))
            if (!IsDotOrDotDot(e.Name) && std::strtoull(e.Name, nullptr, 10) < limit)
                ++open;
        ::close(fd);
        --open; // the listing's own
    } else {
        for (rlim_t i = 0; i < std::min<rlim_t>(limit, 65536); ++i)
            if (::fcntl(int(i), F_GETFD) != -1)
                ++open;
    }
    return int(limit - std::min(limit, open));
}

int Cores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    return std::max(1, CPU_COUNT(&set));
}

std::int64_t ProcessCpuNs()
{
    struct timespec ts {};
    if (::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts) != 0)
        return 0;
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void LowerThreadPriority(int niceness)
{
    ::setpriority(PRIO_PROCESS, ::gettid(), niceness);
}

void ShareOneArenaUnderAMemoryLimit()
{
    struct rlimit space {};
    if (::getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur != RLIM_INFINITY)
        ::mallopt(M_ARENA_MAX, 1);
}

} // namespace walk::os
