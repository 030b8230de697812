#include "DirWalker.h"

#include "FileSystem.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <optional>
#include <set>
#include <utility>
#include <vector>

std::string FormatNameDir(const std::string &name)
{
    if (name.empty() || name.back() == '/')
        return name;
    return name + '/';
}

namespace {

enum class OpenResult { Opened, Unlistable, Failed, Skipped };

// Opens a folder for listing. A folder that can be entered but not listed is
// empty; one that cannot be entered (missing, not a folder, no search
// permission) fails. parentDev is the device of the folder above, or 0.
OpenResult openFolder(int parentFd, const char *name, bool followLink, dev_t parentDev, int &fd, struct stat &st)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    fd = ::openat(parentFd, name, flags);
    if (fd < 0) {
        // Without read permission the folder may still be entered: then it is
        // merely empty. Anything else means it cannot be entered.
        const int statFlags = followLink ? 0 : AT_SYMLINK_NOFOLLOW;
        if (errno == EACCES && ::fstatat(parentFd, name, &st, statFlags) == 0 && S_ISDIR(st.st_mode)
            && ::faccessat(parentFd, name, X_OK, AT_EACCESS | statFlags) == 0)
            return OpenResult::Unlistable;
        return OpenResult::Failed;
    }
    if (::fstat(fd, &st) != 0 || !fsys::MayEnter(st.st_uid, st.st_gid, st.st_mode)) {
        ::close(fd);
        fd = -1;
        return OpenResult::Failed;
    }
    // Only a mount point can start another file system.
    if (st.st_dev != parentDev && fsys::IsPseudoFileSystem(fd)) {
        ::close(fd);
        fd = -1;
        return OpenResult::Skipped;
    }
    return OpenResult::Opened;
}

// Batches handed to the status helper: fewer files are not worth the hand-over;
// more would keep the walking thread waiting too long at the end.
constexpr std::size_t kMinBatch = 8;
constexpr std::size_t kMaxBatch = 512;

} // namespace

// Reads file sizes on a second thread: the walking thread hands it the rest of
// a folder's files when it has little to do, and does them itself otherwise,
// so both cores share the status calls that dominate a walk.
class TDirWalker::StatusHelper {
public:
    StatusHelper() : FThread([this] { Run(); }) {}
    ~StatusHelper()
    {
        {
            std::lock_guard lock(FMutex);
            FStop = true;
        }
        FWake.notify_one();
        FThread.join();
        for (Job &job : FJobs)
            ::close(job.Fd);
    }

    // Takes the files (and the descriptor, which it closes) when its queue is
    // short; false leaves both to the caller.
    bool TryPost(int dirFd, std::vector<std::string> &names)
    {
        {
            std::lock_guard lock(FMutex);
            // A short queue keeps few descriptors and little memory in flight.
            if (FQueued > kMaxQueued || FJobs.size() >= kMaxJobs)
                return false;
            const int fd = ::dup(dirFd);
            if (fd < 0)
                return false;
            FQueued += names.size();
            FJobs.push_back(Job{fd, std::move(names)});
        }
        FWake.notify_one();
        return true;
    }

    // Waits for every job handed over and returns their kilobytes.
    std::int64_t Collect()
    {
        std::unique_lock lock(FMutex);
        FIdle.wait(lock, [this] { return FJobs.empty() && !FBusy; });
        const std::int64_t kb = FKb;
        FKb = 0;
        return kb;
    }

private:
    static constexpr std::size_t kMaxQueued = 2048;
    static constexpr std::size_t kMaxJobs = 4;
    struct Job {
        int Fd;
        std::vector<std::string> Names;
    };

    void Run()
    {
        std::unique_lock lock(FMutex);
        for (;;) {
            FWake.wait(lock, [this] { return FStop || !FJobs.empty(); });
            if (FStop)
                return;
            Job job = std::move(FJobs.front());
            FJobs.pop_front();
            FBusy = true;
            lock.unlock();
            std::int64_t kb = 0;
            for (const std::string &name : job.Names) {
                std::int64_t size = 0;
                bool isDir = false;
                // A file that vanished since the listing no longer counts.
                if (fsys::StatAt(job.Fd, name.c_str(), size, isDir) && !isDir)
                    kb += size / 1024;
            }
            ::close(job.Fd);
            lock.lock();
            FKb += kb;
            FQueued -= job.Names.size();
            FBusy = false;
            if (FJobs.empty())
                FIdle.notify_all();
        }
    }

    std::mutex FMutex;
    std::condition_variable FWake;
    std::condition_variable FIdle;
    std::deque<Job> FJobs;
    std::size_t FQueued = 0;
    std::int64_t FKb = 0;
    bool FBusy = false;
    bool FStop = false;
    std::thread FThread;
};

TDirWalker::TDirWalker() = default;
TDirWalker::~TDirWalker() = default;

struct TDirWalker::Frame {
    int Fd = -1;
    dev_t Dev = 0;
    ino_t Ino = 0;
    std::string Name;
    std::vector<std::string> Children;
    std::size_t Next = 0;
};

std::int64_t TDirWalker::FilesSize(int parentFd, const std::string &name, const std::string &displayPath)
{
    return Walk(parentFd, name, displayPath, false, true);
}

std::int64_t TDirWalker::FullSize(int parentFd, const std::string &name, const std::string &displayPath,
                                  bool followLink)
{
    return Walk(parentFd, name, displayPath, true, followLink);
}

std::int64_t TDirWalker::Walk(int parentFd, const std::string &name, const std::string &displayPath, bool recurse,
                              bool followLink)
{
    std::int64_t total = 0;
    std::vector<Frame> stack;
    bool stopped = false;
    if (ShareStatusWork && !FHelper && std::thread::hardware_concurrency() > 1)
        FHelper = std::make_unique<StatusHelper>();
    StatusHelper *helper = ShareStatusWork ? FHelper.get() : nullptr;

    // The path of a folder for a warning, built only when one is shown.
    auto pathOf = [&](std::size_t depth, const std::string &leaf) {
        std::string path = displayPath;
        for (std::size_t i = 1; i <= depth && i < stack.size(); ++i) {
            if (path.empty() || path.back() != '/')
                path += '/';
            path += stack[i].Name;
        }
        return leaf.empty() ? path : FormatNameDir(path) + leaf;
    };
    int openDirs = 0;
    // The folders on the current path: a folder met again below itself (a bind
    // mount of a parent into its child) would never end, so it is not entered.
    std::set<std::pair<dev_t, ino_t>> onPath;
    // Lists a folder: its files are summed at once, its visible sub-folders kept
    // for later. False when the folder turns out not to be searchable after all.
    auto readFrame = [&](Frame &frame) -> bool {
        fsys::DirReader reader(frame.Fd, false);
        fsys::DirReader::Entry e;
        bool first = true;
        // Files whose size is still to be read; the first one is read here, so
        // that a folder without search permission is found out at once.
        std::vector<std::string> files;
        bool checked = false;
        auto statHere = [&](const char *fileName) -> bool {
            if (BeforeStatus)
                BeforeStatus(fileName);
            std::int64_t size = 0;
            bool isDir = false;
            if (!fsys::StatAt(frame.Fd, fileName, size, isDir))
                return errno != EACCES; // vanished since the listing, or no search permission
            if (!isDir)
                total += size / 1024;
            return true;
        };
        // Hands a batch to the helper, or reads it here when the helper is busy.
        // Batches stay small so that no wait, here or in Collect, holds up the
        // messages for long.
        auto flush = [&] {
            if (files.empty())
                return;
            if (!(files.size() >= kMinBatch && helper->TryPost(frame.Fd, files)))
                for (const std::string &f : files)
                    statHere(f.c_str());
            files.clear();
        };
        while (reader.Next(e)) {
            if (!first && OnEntry)
                OnEntry();
            first = false;
            if (ShouldStop && ShouldStop()) {
                stopped = true;
                return true;
            }
            if (fsys::IsDotOrDotDot(e.Name))
                continue;
            bool isDir = e.IsDir;
            if (e.IsUnknown) {
                if (BeforeStatus)
                    BeforeStatus(e.Name);
                std::int64_t size = 0;
                if (!fsys::StatAt(frame.Fd, e.Name, size, isDir)) {
                    if (errno == EACCES)
                        return false;
                    continue;
                }
                checked = true;
                if (!isDir) {
                    total += size / 1024;
                    continue;
                }
            } else if (!isDir) {
                if (!checked || !helper || BeforeStatus) {
                    if (!statHere(e.Name))
                        return false;
                    checked = true;
                } else {
                    files.emplace_back(e.Name);
                    if (files.size() >= kMaxBatch)
                        flush();
                }
                continue;
            }
            if (recurse && e.Name[0] != '.')
                frame.Children.emplace_back(e.Name);
        }
        flush();
        return true;
    };
    // Enters leaf, a folder in dirFd; its path for a warning is the parent's at
    // parentDepth plus leaf (the walk's own path for the first folder).
    auto enter = [&](int dirFd, const std::string &leaf, bool follow, std::optional<std::size_t> parentDepth,
                     dev_t parentDev) -> bool {
        auto warn = [&] {
            if (OnCannotEnter)
                OnCannotEnter(parentDepth ? pathOf(*parentDepth, leaf) : displayPath);
        };
        int fd = -1;
        struct stat st {};
        switch (openFolder(dirFd, leaf.c_str(), follow, parentDev, fd, st)) {
        case OpenResult::Failed:
            warn();
            return false;
        case OpenResult::Unlistable:
        case OpenResult::Skipped:
            return false;
        case OpenResult::Opened:
            break;
        }
        if (!onPath.insert({st.st_dev, st.st_ino}).second) {
            ::close(fd);
            return false;
        }
        ++openDirs;
        Frame frame;
        frame.Fd = fd;
        frame.Name = leaf;
        frame.Dev = st.st_dev;
        frame.Ino = st.st_ino;
        const std::int64_t before = total;
        stack.push_back(std::move(frame));
        if (!readFrame(stack.back())) {
            total = before;
            ::close(stack.back().Fd);
            --openDirs;
            onPath.erase({stack.back().Dev, stack.back().Ino});
            stack.pop_back();
            warn();
            return false;
        }
        return true;
    };
    // Reopens a folder whose descriptor was closed to stay within MaxOpenDirs,
    // from its nearest open ancestor; false if the tree changed meanwhile.
    auto reopen = [&](std::size_t depth) -> bool {
        std::size_t j = depth;
        while (j > 0 && stack[j].Fd < 0)
            --j;
        if (stack[j].Fd < 0)
            return false;
        for (std::size_t k = j + 1; k <= depth; ++k) {
            const int fd = ::openat(stack[k - 1].Fd, stack[k].Name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            struct stat st {};
            if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_dev != stack[k].Dev || st.st_ino != stack[k].Ino) {
                if (fd >= 0)
                    ::close(fd);
                return false;
            }
            stack[k].Fd = fd;
            ++openDirs;
        }
        return true;
    };
    auto closeFrame = [&](Frame &f) {
        if (f.Fd >= 0) {
            ::close(f.Fd);
            --openDirs;
        }
        f.Fd = -1;
    };

    if (!enter(parentFd, name, followLink, std::nullopt, 0))
        return 0;
    while (!stack.empty() && !stopped) {
        Frame &top = stack.back();
        if (top.Next >= top.Children.size()) {
            closeFrame(top);
            onPath.erase({top.Dev, top.Ino});
            stack.pop_back();
            continue;
        }
        const std::string child = top.Children[top.Next++];
        const std::size_t depth = stack.size() - 1;
        if (top.Fd < 0 && !reopen(depth)) {
            // The folder moved or vanished while it was being walked.
            if (OnCannotEnter)
                OnCannotEnter(pathOf(depth, {}));
            top.Next = top.Children.size();
            continue;
        }
        const int parentDir = top.Fd;
        const bool lastChild = top.Next >= top.Children.size();
        // Stay within the descriptor budget: the shallowest open folders below the
        // top are closed and reopened by name when needed again.
        for (std::size_t k = 1; openDirs >= MaxOpenDirs && k + 1 < stack.size(); ++k)
            closeFrame(stack[k]);
        enter(parentDir, child, false, depth, stack[depth].Dev);
        if (lastChild && depth > 0 && stack.size() > depth + 1) {
            // No sibling left: the parent's descriptor is no longer needed.
            closeFrame(stack[depth]);
            stack[depth].Children.clear();
            stack[depth].Children.shrink_to_fit();
            stack[depth].Next = 0;
        }
    }
    for (Frame &f : stack)
        closeFrame(f);
    if (helper)
        total += helper->Collect();
    return total;
}
