#pragma once
// Sums the kilobytes of a folder tree. It works through directory descriptors
// rather than changing the process's folder, keeps its own stack (no recursion,
// so any depth and any path length), never follows links, and holds only the
// names of folders still to visit.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TDirWalker {
public:
    TDirWalker();
    ~TDirWalker();
    TDirWalker(const TDirWalker &) = delete;
    TDirWalker &operator=(const TDirWalker &) = delete;

    // Told once for every folder that cannot be entered, with its path.
    std::function<void(const std::string &path)> OnCannotEnter;
    // Lets pending window messages run; called once per listed entry after the first.
    std::function<void()> OnEntry;
    // Asked after every entry: true stops the walk as soon as possible.
    std::function<bool()> ShouldStop;
    // Called between listing an entry and reading its status (tests remove files here).
    std::function<void(const char *name)> BeforeStatus;

    // Kilobytes of every file directly in the folder `name` (opened relative to
    // parentFd); displayPath names it in warnings.
    std::int64_t FilesSize(int parentFd, const std::string &name, const std::string &displayPath);
    // Kilobytes of the whole tree under `name`, hidden sub-folders below it
    // skipped. followLink: whether `name` itself may be a link to a folder, as
    // a path given by the user may; a name from a listing may not.
    std::int64_t FullSize(int parentFd, const std::string &name, const std::string &displayPath,
                          bool followLink = true);

    // At most this many directories are held open at once.
    int MaxOpenDirs = 32;
    // Whether a second thread may read file sizes while this one goes on
    // listing: the walk, its order, its messages and its warnings stay here.
    bool ShareStatusWork = true;

private:
    struct Frame;
    class StatusHelper;
    std::unique_ptr<StatusHelper> FHelper;
    std::int64_t Walk(int parentFd, const std::string &name, const std::string &displayPath, bool recurse,
                      bool followLink);
};

// A folder path followed by a separator, unless it is empty or has one already.
std::string FormatNameDir(const std::string &name);
