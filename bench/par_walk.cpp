// A plain parallel walk, the yardstick of what the hardware allows: N threads
// (default 8) take folders from one shared queue, list them with getdents64
// and read each file's status with fstatat. It counts what the window's walk
// counts (each file's bytes / 1024, links not followed, hidden folders below
// the top skipped) and prints "TOTAL_KB FILES FOLDERS". The walking threads
// run at nice 10, as the window's workers do, and one more thread at the
// process's own priority wakes every 10 ms as the window's timer would: the
// longest gap between its wake-ups, printed on a second line
// "longest_tick_gap_ms: G", is what the machine allows a window beside a walk.
//   par_walk ROOT [THREADS]
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

class Fd {
public:
    explicit Fd(int fd) : FFd(fd) {}
    ~Fd()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return FFd; }

private:
    int FFd;
};

struct Totals {
    std::int64_t kb = 0;
    std::int64_t files = 0;
    std::int64_t folders = 0;
};

class Walk {
public:
    explicit Walk(std::string root) { FQueue.push_back(std::move(root)); }

    void Worker(Totals &mine)
    {
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            std::string dir;
            {
                std::unique_lock lock(FMutex);
                FReady.wait(lock, [&] { return !FQueue.empty() || FBusy == 0; });
                if (FQueue.empty())
                    return; // nothing queued and nobody listing: done
                dir = std::move(FQueue.back()); // depth first keeps the queue short
                FQueue.pop_back();
                ++FBusy;
            }
            std::vector<std::string> found;
            List(dir, buffer, mine, found);
            std::lock_guard lock(FMutex);
            for (auto &d : found)
                FQueue.push_back(std::move(d));
            --FBusy;
            FReady.notify_all();
        }
    }

private:
    void List(const std::string &dir, std::vector<char> &buffer, Totals &mine, std::vector<std::string> &found)
    {
        const Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.get() < 0)
            return;
        ++mine.folders;
        const bool top = FFirst.exchange(false);
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd.get(), buffer.data(), buffer.size());
            if (n <= 0)
                break;
            for (long pos = 0; pos < n;) {
                const auto *e = reinterpret_cast<const LinuxDirent64 *>(buffer.data() + pos);
                pos += e->d_reclen;
                const char *name = e->d_name;
                if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                    continue;
                unsigned type = e->d_type;
                struct stat st {};
                if (type != DT_DIR) {
                    if (::fstatat(fd.get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                        continue;
                    type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
                }
                if (type == DT_DIR) {
                    if (top || name[0] != '.')
                        found.push_back(dir + "/" + name);
                } else {
                    mine.kb += st.st_size / 1024;
                    ++mine.files;
                }
            }
        }
    }

    std::mutex FMutex;
    std::condition_variable FReady;
    std::deque<std::string> FQueue;
    int FBusy = 0;
    std::atomic<bool> FFirst = true;
};

// Wakes every 10 ms on the clock's grid until stopped; keeps the longest gap.
class Ticker {
public:
    Ticker() : FThread([this](std::stop_token stop) { Run(stop); }) {}
    double LongestMs()
    {
        FThread.request_stop();
        FThread.join();
        return FLongest / 1e6;
    }

private:
    static std::int64_t Now()
    {
        struct timespec ts {};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
    }
    void Run(const std::stop_token &stop)
    {
        constexpr std::int64_t kInterval = 10'000'000;
        std::int64_t last = Now();
        std::int64_t next = last + kInterval;
        while (!stop.stop_requested()) {
            const struct timespec at {static_cast<time_t>(next / 1'000'000'000), static_cast<long>(next % 1'000'000'000)};
            ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
            const std::int64_t now = Now();
            FLongest = std::max(FLongest, now - last);
            last = now;
            // As a precise timer does: the next tick on the grid, or a full interval on if that is past.
            next += kInterval;
            if (next <= now)
                next = now + kInterval;
        }
    }
    std::int64_t FLongest = 0;
    std::jthread FThread;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: par_walk ROOT [THREADS]\n");
        return 2;
    }
    const int threads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;
    Walk walk(argv[1]);
    std::vector<Totals> totals(static_cast<std::size_t>(threads));
    Ticker ticker;
    {
        std::vector<std::jthread> pool;
        for (auto &t : totals)
            pool.emplace_back([&walk, &t] {
                ::setpriority(PRIO_PROCESS, ::gettid(), 10);
                walk.Worker(t);
            });
    }
    const double gap = ticker.LongestMs();
    Totals sum;
    for (const auto &t : totals) {
        sum.kb += t.kb;
        sum.files += t.files;
        sum.folders += t.folders;
    }
    std::printf("%lld %lld %lld\n", static_cast<long long>(sum.kb), static_cast<long long>(sum.files),
                static_cast<long long>(sum.folders));
    std::printf("longest_tick_gap_ms: %.1f\n", gap);
    return 0;
}
