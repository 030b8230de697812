// A plain parallel walk, the yardstick of what the hardware allows: N threads
// (default 8) take folders from one shared queue, list them with getdents64
// and read each file's status with fstatat. It counts what the window's walk
// counts (each file's bytes / 1024, links not followed, hidden folders below
// the top skipped) and prints "TOTAL_KB FILES FOLDERS".
//   par_walk ROOT [THREADS]
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string>
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
    {
        std::vector<std::jthread> pool;
        for (auto &t : totals)
            pool.emplace_back([&walk, &t] { walk.Worker(t); });
    }
    Totals sum;
    for (const auto &t : totals) {
        sum.kb += t.kb;
        sum.files += t.files;
        sum.folders += t.folders;
    }
    std::printf("%lld %lld %lld\n", static_cast<long long>(sum.kb), static_cast<long long>(sum.files),
                static_cast<long long>(sum.folders));
    return 0;
}
