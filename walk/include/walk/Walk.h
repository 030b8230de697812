#pragma once
// What a caller may ask of a folder walk, and what it gets: the one header of
// the walk library. A walk runs on a pool of worker threads: every
// file-system call it needs (making the folder current, the listings, the
// status calls, the free space) is made there, so the caller's thread never
// waits on a disk. Results come out as a one-thread depth-first walk gives
// them: the scanned folder's sub-folders in listing order, and one "cannot be
// entered" event per folder in depth-first order, the same at any number of
// workers. Links are never followed below the walk's own folder, whatever
// the descriptors left. Memory follows the walk's frontier, not the tree.
//
// Linux code on glibc: it walks with getdents64, statx, openat2 and O_PATH,
// reads /proc/self/fd and /proc/self/mountinfo. C++ and threads, no Qt.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace walk {

// What a job is asked to walk.
struct TRequest {
    enum class TKind {
        // Make the folder current, then list it: the files' kilobytes and each
        // sub-folder's tree (hidden ones included at this level only).
        Scan,
        // The kilobytes of the whole tree, hidden sub-folders skipped.
        FullSize,
        // The kilobytes of the files directly in the folder.
        FilesSize,
    };
    TKind Kind = TKind::FullSize;
    // The folder as the caller names it; warnings name folders below it.
    std::string Path;
};

// What a finished job found. Kilobytes are each file's bytes divided by 1024,
// summed; a sum past 64 bits stays at the largest 64-bit value.
struct TOutcome {
    // Scan: the folder was made current. Other kinds: it could be entered.
    bool Entered = false;
    // Scan: whether the folder is '/' or the root of a mounted file system,
    // and then the bytes free to the user there (-1 when that is unknown).
    bool DriveRoot = false;
    std::int64_t FreeBytes = -1;
    // Scan and FilesSize: the files directly in the folder; FullSize: the tree.
    std::int64_t Kb = 0;
    struct TFolder {
        std::string Name;
        std::int64_t Kb = 0;
    };
    // Scan: the sub-folders in listing order, each with its tree's kilobytes.
    std::vector<TFolder> Folders;
    // Folders opened, reopenings included: what the walk cost the file system.
    std::int64_t FolderOpens = 0;
    // Folders held as nodes at once at most: what the walk's memory followed.
    std::int64_t PeakFolders = 0;
    // Folders whose listing the system broke off part way (an I/O error
    // after some entries): each counts what it listed, as a one-thread walk
    // on the system's listing calls counts it, and is not reported.
    std::int64_t BrokenListings = 0;
};

// What the window hears of a job, in walk order.
struct TEvent {
    enum class TKind {
        // Scan only, first: whether the folder was made current; Path is then
        // the current folder as the system names it (empty if unknown).
        Current,
        // A folder that cannot be entered; Path names it.
        CannotEnter,
        // Memory ran out: the walk stopped, its outcome is void; Done follows.
        Failed,
        // Last: the outcome is complete.
        Done,
    };
    TKind Kind = TKind::Done;
    bool Ok = false;
    std::string Path;
};

// One walk in progress, shared by the caller and the workers.
class TJob {
public:
    virtual ~TJob() = default;
    // The next event, if one is waiting; never blocks.
    virtual bool TakeEvent(TEvent &event) = 0;
    // Called on a worker thread each time an event is queued (and at once if
    // one is waiting), outside the walk's lock: it may take events itself.
    // Replacing it, or clearing it with an empty function, waits for a call
    // in progress, so nothing it uses is freed under it; so it must not
    // replace itself.
    virtual void SetNotify(std::function<void()> notify) = 0;
    // Stops the walk: workers start nothing more for it, and every wait of
    // theirs for it (for a descriptor, a permit) ends; no Done follows.
    virtual void Cancel() = 0;
    // Complete once Done has been taken; read nothing of it before.
    virtual const TOutcome &Outcome() const = 0;
};

struct TOptions {
    // Worker threads. A walk of a cold or remote disk mostly waits, so more
    // threads than cores keep the disk busy (measured cold on two cores, the
    // benchmark tree: 8 took 1.45 s, 16 took 1.35 s, 32 took 1.33 s). While
    // the walk keeps every core busy instead, only one a core runs at a time
    // (see TPace).
    int Workers = 32;
    // Folder descriptors held at once; 0 takes half of what the process can
    // still open when the walk starts (at most 512), leaving the rest to the
    // program. Never more than it can open: with few, fewer workers open
    // folders side by side, down to one.
    int MaxOpenDirs = 0;
    // Tests: runs on a worker just before a file's status is read.
    std::function<void(const char *name)> BeforeStatus;
};

class TPool;

class TEngine {
public:
    explicit TEngine(TOptions options = {});
    // Ends the workers. Any still inside a system call (a stalled mount) are
    // left to end with the process, never waited for; what they use stays alive.
    ~TEngine();
    TEngine(const TEngine &) = delete;
    TEngine &operator=(const TEngine &) = delete;

    // Starts a walk at once on the workers.
    std::shared_ptr<TJob> Start(TRequest request);
    // Whether the engine has worker threads: the system may refuse them all
    // (a limit on threads or memory). Without, the walk waits for RunPending.
    bool HasWorkers() const;
    // Runs the walk's waiting work on the calling thread for about `slice`;
    // false when nothing waited.
    bool RunPending(std::chrono::milliseconds slice);

private:
    TOptions FOptions;
    std::shared_ptr<TPool> FPool;
};

// The process's current folder, as a scan leaves it: without a trailing '/'
// except at the root; empty if it cannot be read (another program deleted it).
std::string CurrentFolder();

// For the program's start, before any thread: under a limit on address
// space, every thread allocates from one arena, since each walker's own
// would reserve 64 MB of it and make a walk fail for want of memory.
void ShareOneArenaUnderAMemoryLimit();

} // namespace walk
