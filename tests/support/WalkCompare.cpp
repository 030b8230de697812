#include "WalkCompare.h"

#include "FileSystem.h"

#include <chrono>
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

WalkReport EngineWalk(TWalkRequest request, TWalkOptions options)
{
    TWalkEngine engine(std::move(options));
    const bool scan = request.Kind == TWalkRequest::TKind::Scan;
    const std::shared_ptr<TWalkJob> job = engine.Start(std::move(request));
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
        TWalkEvent e;
        while (job->TakeEvent(e)) {
            if (e.Kind == TWalkEvent::TKind::CannotEnter)
                r.Warnings.push_back(e.Path);
            if (e.Kind == TWalkEvent::TKind::Failed)
                r.Failed = true;
            if (e.Kind == TWalkEvent::TKind::Done) {
                job->SetNotify({});
                const TWalkOutcome &o = job->Outcome();
                if (r.Failed)
                    return r;
                r.Entered = o.Entered;
                r.Kb = o.Kb;
                r.Folders = o.Folders;
                r.FolderOpens = o.FolderOpens;
                r.PeakFolders = o.PeakFolders;
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

// The recursive walk, as plain as it can be: change folder, list, recurse.
class Reference {
public:
    WalkReport Report;

    std::int64_t GetDirSize(const std::string &path)
    {
        const int back = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        std::int64_t sum = 0;
        if (!fsys::SetCurrentDir(path)) {
            Report.Warnings.push_back(path);
        } else {
            // On the heap: a listing holds a large buffer, and this recursion goes deep.
            const auto listing = std::make_unique<fsys::FileListing>("", faAnyFile);
            fsys::TSearchRec rec;
            while (listing->Next(rec))
                if (!(rec.Attr & faDirectory) && FirstMeeting(rec))
                    sum = Add(sum, rec.Size / 1024);
        }
        Restore(back);
        return sum;
    }

    std::int64_t GetFullDirSize(const std::string &path)
    {
        const int back = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (!fsys::SetCurrentDir(path)) {
            Report.Warnings.push_back(path);
            Restore(back);
            return 0;
        }
        struct stat st {};
        ::stat(".", &st);
        // Kernel pseudo file systems count 0; a folder met again below itself is not entered.
        if (IsPseudo(st.st_dev) || !FOnPath.insert({st.st_dev, st.st_ino}).second) {
            Restore(back);
            return 0;
        }
        std::int64_t total = GetDirSize(path);
        std::vector<std::string> subs;
        {
            const auto listing = std::make_unique<fsys::FileListing>("", faDirectory);
            fsys::TSearchRec rec;
            while (listing->Next(rec))
                if ((rec.Attr & faDirectory) && !fsys::IsDotOrDotDot(rec.Name.c_str()))
                    subs.push_back(rec.Name);
        }
        for (const std::string &name : subs)
            total = Add(total, GetFullDirSize(FormatNameDir(path) + name));
        FOnPath.erase({st.st_dev, st.st_ino});
        Restore(back);
        return total;
    }

    void Scan(const std::string &path)
    {
        const int back = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (!fsys::SetCurrentDir(path)) {
            Restore(back);
            return;
        }
        Report.Entered = true;
        struct stat st {};
        if (::stat(".", &st) != 0 || IsPseudo(st.st_dev)) {
            Restore(back);
            return;
        }
        FOnPath.insert({st.st_dev, st.st_ino});
        fsys::FileListing listing("", faAnyFile);
        fsys::TSearchRec rec;
        while (listing.Next(rec)) {
            if (fsys::IsDotOrDotDot(rec.Name.c_str()))
                continue;
            if (rec.Attr & faDirectory)
                Report.Folders.push_back({rec.Name, GetFullDirSize(FormatNameDir(path) + rec.Name)});
            else if (FirstMeeting(rec))
                Report.Kb = Add(Report.Kb, rec.Size / 1024);
        }
        Restore(back);
    }

private:
    static std::int64_t Add(std::int64_t a, std::int64_t b)
    {
        std::int64_t s = 0;
        return __builtin_add_overflow(a, b, &s) ? INT64_MAX : s;
    }
    static void Restore(int back)
    {
        if (back >= 0) {
            [[maybe_unused]] const int ignored = ::fchdir(back);
            ::close(back);
        }
    }
    bool IsPseudo(dev_t dev) const { return FPseudo.Contains(dev); }
    // A file with several names counts where the walk first meets one.
    bool FirstMeeting(const fsys::TSearchRec &rec)
    {
        return rec.Links <= 1 || FSeenLinks.insert({rec.Dev, rec.Ino}).second;
    }

    fsys::PseudoMounts FPseudo;
    std::set<std::pair<dev_t, ino_t>> FOnPath;
    std::set<std::pair<std::uint64_t, std::uint64_t>> FSeenLinks;
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
    ref.Report.Entered = true;
    ref.Report.Kb = ref.GetFullDirSize(path);
    ref.Report.Entered = ref.Report.Warnings.empty() || ref.Report.Warnings.front() != path;
    return ref.Report;
}
