#include "support/WalkCompare.h"

#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/sysmacros.h>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

bool WalkReport::operator==(const WalkReport &o) const
{
    if (Entered != o.Entered || Failed != o.Failed || Kb != o.Kb || Warnings != o.Warnings || Folders.size() != o.Folders.size())
        return false;
    for (std::size_t i = 0; i < Folders.size(); ++i)
        if (Folders[i].Name != o.Folders[i].Name || Folders[i].Kb != o.Folders[i].Kb)
            return false;
    return true;
}

std::string Describe(const WalkReport &r)
{
    std::string s = "entered=" + std::to_string(r.Entered) + " kb=" + std::to_string(r.Kb) + "\n";
    for (const auto &f : r.Folders)
        s += "  folder " + f.Name + "=" + std::to_string(f.Kb) + "\n";
    for (const auto &w : r.Warnings)
        s += "  warning " + w + "\n";
    return s;
}

WalkReport EngineWalk(walk::TRequest request, walk::TOptions options)
{
    walk::TEngine engine(std::move(options));
    const bool scan = request.Kind == walk::TRequest::TKind::Scan;
    const std::shared_ptr<walk::TJob> job = engine.Start(std::move(request));
    std::mutex m;
    std::condition_variable cv;
    bool told = false;
    job->SetNotify([&] {
        std::lock_guard lock(m);
        told = true;
        cv.notify_all();
    });
    WalkReport r;
    for (;;) {
        walk::TEvent e;
        while (job->TakeEvent(e)) {
            if (e.Kind == walk::TEvent::TKind::CannotEnter)
                r.Warnings.push_back(e.Path);
            if (e.Kind == walk::TEvent::TKind::Failed)
                r.Failed = true;
            if (e.Kind == walk::TEvent::TKind::Done) {
                job->SetNotify({});
                const walk::TOutcome &o = job->Outcome();
                if (r.Failed)
                    return r;
                r.Entered = o.Entered;
                r.Kb = o.Kb;
                r.Folders = o.Folders;
                r.FolderOpens = o.FolderOpens;
                r.PeakFolders = o.PeakFolders;
                r.BrokenListings = o.BrokenListings;
                if (scan && !o.Entered)
                    r.Kb = 0;
                return r;
            }
        }
        // Without worker threads the walk runs here.
        if (!engine.HasWorkers() && engine.RunPending(std::chrono::milliseconds(10)))
            continue;
        std::unique_lock lock(m);
        cv.wait_for(lock, std::chrono::milliseconds(200), [&] { return told; });
        told = false;
    }
}

namespace {

// Kernel file systems that hold no disk space; the walk never enters them.
bool IsPseudoType(const std::string &type)
{
    static const std::set<std::string> kTypes{"proc",   "sysfs",  "devtmpfs", "cgroup",     "cgroup2",   "debugfs",
                                              "tracefs", "securityfs", "pstore", "bpf",   "configfs",  "fusectl",
                                              "mqueue", "hugetlbfs", "devpts", "autofs", "binfmt_misc", "efivarfs",
                                              "rpc_pipefs", "nsfs"};
    return kTypes.count(type) > 0;
}

// The recursive walk as plainly as it can be written, on the C library's own
// calls and nothing of the engine's: enter a folder, list it, recurse.
class Reference {
public:
    WalkReport Report;

    Reference()
    {
        // Each line: id parent major:minor root mount-point options [tags] - type source options
        std::ifstream table("/proc/self/mountinfo");
        for (std::string line; std::getline(table, line);) {
            unsigned major = 0, minor = 0;
            const std::size_t dash = line.find(" - ");
            std::istringstream type(dash == std::string::npos ? "" : line.substr(dash + 3));
            std::string name;
            if (std::sscanf(line.c_str(), "%*s %*s %u:%u", &major, &minor) == 2 && type >> name && IsPseudoType(name))
                FPseudo.insert(makedev(major, minor));
        }
    }

    // Enters `name` from the current folder; `path` names it in a warning.
    std::int64_t FullSize(const std::string &path, const std::string &name)
    {
        const Here back;
        if (::chdir(name.c_str()) != 0) {
            Report.Warnings.push_back(path);
            return 0;
        }
        if (!EnterHere())
            return 0;
        std::int64_t total = 0;
        std::vector<std::string> folders;
        List([&](const std::string &entry, bool isDir, const struct stat &st) {
            if (!isDir)
                total = Add(total, Kb(st));
            else if (entry[0] != '.')
                folders.push_back(entry);
        });
        for (const std::string &folder : folders)
            total = Add(total, FullSize(Join(path, folder), folder));
        FOnPath.erase(Identity("."));
        return total;
    }

    void Scan(const std::string &path)
    {
        const Here back;
        if (::chdir(path.c_str()) != 0)
            return;
        Report.Entered = true;
        if (!EnterHere())
            return;
        List([&](const std::string &entry, bool isDir, const struct stat &st) {
            if (isDir)
                Report.Folders.push_back({entry, FullSize(Join(path, entry), entry)});
            else
                Report.Kb = Add(Report.Kb, Kb(st));
        });
    }

private:
    // Goes back to the folder it was made in.
    struct Here {
        int Fd = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        ~Here()
        {
            if (Fd >= 0) {
                [[maybe_unused]] const int back = ::fchdir(Fd);
                ::close(Fd);
            }
        }
    };

    static std::pair<dev_t, ino_t> Identity(const char *path)
    {
        struct stat st {};
        ::stat(path, &st);
        return {st.st_dev, st.st_ino};
    }

    // False for a pseudo file system or a folder met again below itself.
    bool EnterHere()
    {
        const auto id = Identity(".");
        return FPseudo.count(id.first) == 0 && FOnPath.insert(id).second;
    }

    // Every entry of the current folder but "." and ".."; one whose status
    // fails counts as its listing typed it, without a size.
    template <class Visit> void List(Visit visit)
    {
        DIR *dir = ::opendir(".");
        if (!dir)
            return;
        while (const dirent *e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat st {};
            const bool known = ::lstat(name.c_str(), &st) == 0;
            if (!known && e->d_type == DT_UNKNOWN)
                continue;
            visit(name, known ? S_ISDIR(st.st_mode) : e->d_type == DT_DIR, st);
        }
        ::closedir(dir);
    }

    static std::string Join(const std::string &path, const std::string &name)
    {
        return path.empty() || path.back() == '/' ? path + name : path + "/" + name;
    }
    static std::int64_t Add(std::int64_t a, std::int64_t b)
    {
        std::int64_t s = 0;
        return __builtin_add_overflow(a, b, &s) ? INT64_MAX : s;
    }
    // A file with several names counts where the walk first meets one.
    std::int64_t Kb(const struct stat &st)
    {
        if (st.st_nlink > 1 && !FSeenLinks.insert({st.st_dev, st.st_ino}).second)
            return 0;
        return st.st_size / 1024;
    }

    std::set<dev_t> FPseudo;
    std::set<std::pair<dev_t, ino_t>> FOnPath;
    std::set<std::pair<dev_t, ino_t>> FSeenLinks;
};

} // namespace

WalkReport ReferenceScan(const std::string &path)
{
    Reference ref;
    ref.Scan(path);
    return ref.Report;
}

WalkReport ReferenceFullSize(const std::string &path)
{
    Reference ref;
    ref.Report.Kb = ref.FullSize(path, path);
    ref.Report.Entered = ref.Report.Warnings.empty() || ref.Report.Warnings.front() != path;
    return ref.Report;
}
