#pragma once
// Every system call the walk makes, kept together: this is Linux code on glibc
// (getdents64, statx, openat2, O_PATH, /proc/self/fd, /proc/self/mountinfo).
// Paths are byte strings exactly as the system gives them: never re-encoded,
// so a name that is not valid UTF-8 still opens later.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace walk::os {

// True for the "." and ".." entries that every listing returns.
constexpr bool IsDotOrDotDot(const char *n)
{
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

// The process's current folder, without a trailing '/' except at the root;
// empty if it cannot be read (for one, when another program deleted it).
std::string GetCurrentDir();
// Makes the folder current, whatever the length of its path; false when it is
// missing, not a folder or lacks search permission.
bool SetCurrentDir(const std::string &path);
// Opens a path of any length (links followed, as the system would): a path
// longer than the system takes at once is opened piece by piece, each piece
// relative to the folder before it. Returns the descriptor, or -1 with errno set.
int OpenPath(const std::string &path, int flags);
// Bytes free to an unprivileged user on the file system of the open folder;
// -1 on failure; a count past 64 bits stays at the largest 64-bit value.
std::int64_t DiskFree(int dirFd);
// True when the current folder is '/' or the root of a mounted file system.
bool IsCurrentDirDriveRoot();

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

// One directory read through its descriptor with getdents64; the descriptor is
// owned and closed with the reader.
class DirReader {
public:
    struct Entry {
        const char *Name = nullptr;
        // True when the listing says directory; IsUnknown when it cannot tell.
        bool IsDir = false;
        bool IsUnknown = false;
    };
    // owns: whether the reader closes the descriptor.
    explicit DirReader(int fd, bool owns = true) : FFd(fd), FOwns(owns) {}
    ~DirReader();
    DirReader(const DirReader &) = delete;
    DirReader &operator=(const DirReader &) = delete;
    int Fd() const { return FFd; }
    // Next entry; false at the end or on a read error.
    bool Next(Entry &out);

private:
    int FFd;
    bool FOwns;
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

} // namespace walk::os
