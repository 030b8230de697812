#pragma once
// Every system call the walk makes, kept together: this is Linux code on
// glibc (getdents64, statx, openat2, O_PATH, /proc/self/fd,
// /proc/self/mountinfo, per-thread niceness, malloc arenas). Paths are byte
// strings exactly as the system gives them: never re-encoded, so a name that
// is not valid UTF-8 still opens later.
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace walk::os {

// True for the "." and ".." entries that every listing returns.
constexpr bool IsDotOrDotDot(const char *n)
{
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

// --- The process's current folder. Every call here that resolves a path
// against it waits while OpenWithoutLinks moves it for a moment.

// The current folder, without a trailing '/' except at the root; empty if it
// cannot be read (for one, when another program deleted it).
std::string GetCurrentDir();
// Makes the folder current, whatever the length of its path; false when it is
// missing, not a folder or lacks search permission.
bool SetCurrentDir(const std::string &path);
// True when the current folder is '/' or the root of a mounted file system.
bool IsCurrentDirDriveRoot();
// Opens a path of any length, relative to the current folder or absolute,
// links followed as the system follows them. -1 with errno set on failure.
int OpenPath(const std::string &path, int flags);
// Opens a path of any length, relative to the current folder or absolute,
// with no link followed in any of its components, holding one descriptor at
// most: a path longer than the system takes at once moves the current folder
// down to it piece by piece and back again. -1 with errno set on failure.
int OpenWithoutLinks(const std::string &path, int flags);

// --- Folders.

// Opens the sub-folder `name` of the open folder for listing, a link not
// followed. -1 with errno set on failure.
int OpenSubFolder(int dirFd, const char *name);
// After an open for listing failed with `error`: whether the folder may
// still be entered, being searchable though not readable (such a folder
// counts as empty). It is `name` below the open folder `dirFd`, or with
// AT_FDCWD a path opened as OpenPath (`followLinks`) or OpenWithoutLinks do.
bool EnterableButUnreadable(int dirFd, const std::string &name, int error, bool followLinks = false);
// The device and inode of the open folder; false when it may not be
// searched, so nothing in it can be reached (a folder readable without the
// right to enter it).
bool IdentifySearchable(int fd, dev_t &dev, ino_t &ino);
// The device and inode of the open file or folder.
bool Identify(int fd, dev_t &dev, ino_t &ino);
// The open folder's parent, opened for listing; -1 on failure.
int OpenParent(int fd);
// Bytes free to an unprivileged user on the file system of the open folder;
// -1 on failure; a count past 64 bits stays at the largest 64-bit value.
std::int64_t DiskFree(int dirFd);

// One folder read through its descriptor with getdents64; the descriptor is
// the caller's.
class DirReader {
public:
    struct Entry {
        const char *Name = nullptr;
        // True when the listing says directory; IsUnknown when it cannot tell.
        bool IsDir = false;
        bool IsUnknown = false;
    };
    explicit DirReader(int fd) : FFd(fd) {}
    DirReader(const DirReader &) = delete;
    DirReader &operator=(const DirReader &) = delete;
    // Next entry; false at the end or when the system breaks the listing off.
    bool Next(Entry &out);
    // The errno with which the system broke the listing off; 0 at its end.
    int Error() const { return FError; }

private:
    int FFd;
    int FError = 0;
    alignas(8) char FBuf[32768];
    long FLen = 0;
    long FPos = 0;
};

// What a status call tells of an entry, links not followed.
struct TFileStatus {
    std::int64_t Size = 0;
    bool IsDir = false;
    // Names the file has: above 1, the same bytes stand under other names too.
    std::uint64_t Links = 1;
    std::uint64_t Dev = 0;
    std::uint64_t Ino = 0;
};
// Status of an entry of a directory, links not followed. False when the
// entry vanished or cannot be read.
bool StatAt(int dirFd, const char *name, TFileStatus &status);

// The kernel's pseudo file systems (proc, sysfs, devtmpfs, ...), which the walk
// never enters, known by the type the mount table gives each mounted device:
// some share a magic number with ordinary file systems (devtmpfs with tmpfs).
class PseudoMounts {
public:
    // Reads the process's mount table.
    PseudoMounts();
    // True when the device is a mounted pseudo file system.
    bool Contains(std::uint64_t device) const;
    // True for a file-system type the walk never enters.
    static bool IsPseudoType(const std::string &type);

private:
    std::vector<std::uint64_t> FDevices;
};

// --- The process.

// Descriptors the process can still open: the numbers free below its limit.
int AvailableDescriptors();
// The cores this process may run on.
int Cores();
// This process's processor time, every thread's, in nanoseconds.
std::int64_t ProcessCpuNs();
// Puts the calling thread below the others in the scheduler's eyes.
void LowerThreadPriority(int niceness);
// Under a limit on address space, makes every thread allocate from one
// arena: each thread's own would reserve 64 MB of it.
void ShareOneArenaUnderAMemoryLimit();

} // namespace walk::os
