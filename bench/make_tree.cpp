// Builds the benchmark tree: a fixed seed, about 300,000 files in 20,000
// folders, sizes set without writing data. Prints the total in kilobytes
// counted from the sizes it set (each file's bytes / 1024), the files and
// the folders.
//   make_tree ROOT [FILES] [FOLDERS]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_tree ROOT [FILES] [FOLDERS]\n");
        return 2;
    }
    const std::string root = argv[1];
    const long files = argc > 2 ? std::atol(argv[2]) : 300000;
    const long folders = argc > 3 ? std::atol(argv[3]) : 20000;
    std::mt19937_64 rng(20261208);
    if (::mkdir(root.c_str(), 0755) != 0) {
        std::perror(root.c_str());
        return 1;
    }
    // Each new folder goes under a random earlier one: a tree of varied depth.
    std::vector<std::string> dirs{root};
    for (long i = 1; i < folders; ++i) {
        const std::string &parent = dirs[rng() % dirs.size()];
        std::string d = parent + "/d" + std::to_string(i);
        if (i % 97 == 0)
            d = parent + "/.h" + std::to_string(i); // some hidden folders too
        if (::mkdir(d.c_str(), 0755) != 0) {
            std::perror(d.c_str());
            return 1;
        }
        dirs.push_back(d);
    }
    // Hidden folders below the top are not walked: count only what the walk sees.
    auto counted = [&](const std::string &dir) {
        for (std::size_t p = root.size(); p < dir.size(); ++p)
            if (dir[p] == '/' && p + 1 < dir.size() && dir[p + 1] == '.')
                return false;
        return true;
    };
    std::int64_t totalKb = 0;
    std::lognormal_distribution<double> size(8.0, 2.5);
    for (long i = 0; i < files; ++i) {
        const std::string &dir = dirs[rng() % dirs.size()];
        const std::string f = dir + "/f" + std::to_string(i);
        const auto bytes = std::int64_t(std::min(size(rng), 4.0e9));
        const int fd = ::open(f.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 || ::ftruncate(fd, bytes) != 0) {
            std::perror(f.c_str());
            return 1;
        }
        ::close(fd);
        if (counted(dir))
            totalKb += bytes / 1024;
    }
    std::printf("%lld %ld %ld\n", static_cast<long long>(totalKb), files, folders);
    return 0;
}
