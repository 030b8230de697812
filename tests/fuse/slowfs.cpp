// slowfs: a small read-only FUSE file system for the tests. It serves a fixed
// tree with a folder that stalls, folders that fail in chosen ways and sizes
// that make totals easy to check. Run `slowfs --help` for the tree.
#define FUSE_USE_VERSION 312
#include <fuse3/fuse.h>
#include <fuse3/fuse_lowlevel.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int64_t KB = 1024;
constexpr int SkipExit = 77; // what CTest takes as "skipped"

constexpr const char *Help = R"(usage: slowfs MOUNTPOINT [options]
  -f, --foreground      stay in the foreground (else daemonize once mounted)
  --stall=SECONDS       how long `slow` stalls (default 3; fractions allowed)
  --many=N              typed files in `many` before its untyped entry (default 3000)
  --huge=N              add `huge` with N files of 2^63-1 bytes (default 0: absent)
  --free-blocks=N       free 4096-byte blocks reported by statfs (default 1000000)
  --echo                add `echo`, a folder met again below itself for ever
  --allow-other         let other users in (root only, or user_allow_other);
                        without it only the user who mounted gets in
  -d                    print every request (libfuse debug)
Prints "mounted MOUNTPOINT" on stdout once the mount is in place. SIGTERM or
SIGINT, or `fusermount3 -u MOUNTPOINT`, unmounts and ends it. Exit 77 when
/dev/fuse cannot be used.

The tree; sizes are exact multiples of 1024 bytes, totals in KB:
  top           file, 1 KB
  fast/         answered at once: one 1 KB, two 2 KB, sub/four 4 KB      = 7
  slow/         every lookup or status of `slow` itself (so any path
                resolved through it) and its listing stall --stall seconds
                each; nothing is cached. An interrupted request (its caller
                killed) or an unmount ends the stall at once (EINTR).
                s1 100 KB, s2 200 KB, s3 300 KB                          = 600
  eio_list/     opens, but its listing fails with EIO                    = 0
  eio_stat/     ok1 10 KB, bad (status fails with EIO), ok2 20 KB        = 30
  locked/       mode 755 but cannot be entered: access and open answer
                EACCES, even to root                                     = 0
  granted/      mode 700, owner root, yet anyone may enter it (as an ACL
                would allow): g 8 KB                                     = 8
  vanish/       here 40 KB; gone1, gone2 (files) and gonedir (folder) are
                listed but their status answers ENOENT                   = 40
  many/         N files m0.. of 1 KB listed with their type, then `untyped`,
                listed without a type, whose status answers EACCES       = N
  next/         f 4 KB                                                   = 4
  huge/         (only with --huge=N) N files of 2^63-1 bytes, 4 KB used each
  echo/         (only with --echo) f 1 KB and d/, which is echo/ again with
                the same inode: echo/d/d/d/... without end              = 1
Whole tree with the defaults: 3690 KB. Free space: N blocks * 4 KB.
)";

struct Options {
    std::string mountPoint;
    bool foreground = false;
    bool allowOther = false;
    bool debug = false;
    double stallSeconds = 3;
    long many = 3000;
    long huge = 0;
    bool echo = false;
    std::uint64_t freeBlocks = 1000000;
};

struct Node {
    std::string name{};
    bool dir = false;
    std::int64_t size = 0;
    mode_t perms = 0;
    bool rootOwned = false; // else owned by whoever runs slowfs
    bool stall = false;     // status and listing stall
    bool untyped = false;   // listed without a file type
    int statError = 0;      // errno of its status
    int listError = 0;      // errno of its listing
    int enterError = 0;     // errno of access and open
    std::int64_t blocks = -1; // 512-byte blocks really used; -1: from the size
    std::string path{};
    std::vector<std::size_t> children{}; // indexes into Tree::nodes, listing order
};

struct Tree {
    Options opt;
    std::vector<Node> nodes; // nodes[0] is the root
    std::map<std::string, std::size_t, std::less<>> byPath;
    std::chrono::system_clock::time_point born = std::chrono::system_clock::now();

    std::size_t Add(std::size_t parent, std::string name, bool dir, Node n)
    {
        n.name = std::move(name);
        n.dir = dir;
        if (!n.perms)
            n.perms = dir ? 0755 : 0644;
        n.path = nodes.empty() ? "/" : (parent == 0 ? "/" : nodes[parent].path + "/") + n.name;
        nodes.push_back(std::move(n));
        const std::size_t i = nodes.size() - 1;
        if (i != 0)
            nodes[parent].children.push_back(i);
        byPath.emplace(nodes[i].path, i);
        return i;
    }
    std::size_t Dir(std::size_t parent, std::string name, Node n = {})
    {
        return Add(parent, std::move(name), true, std::move(n));
    }
    std::size_t File(std::size_t parent, std::string name, std::int64_t bytes, Node n = {})
    {
        n.size = bytes;
        return Add(parent, std::move(name), false, std::move(n));
    }
    const Node *Find(const char *path) const
    {
        std::string_view p(path);
        std::string folded;
        if (opt.echo && p.starts_with("/echo/d")) {
            // Every echo/d below echo is echo itself.
            std::string_view rest = p.substr(5);
            while (rest.starts_with("/d") && (rest.size() == 2 || rest[2] == '/'))
                rest.remove_prefix(2);
            folded = "/echo" + std::string(rest);
            p = folded;
        }
        const auto it = byPath.find(p);
        return it == byPath.end() ? nullptr : &nodes[it->second];
    }
    std::size_t IndexOf(const Node *n) const { return std::size_t(n - nodes.data()); }
};

void Build(Tree &t)
{
    t.nodes.reserve(64 + std::size_t(t.opt.many) + std::size_t(t.opt.huge));
    t.Add(0, "", true, {});
    t.File(0, "top", 1 * KB);

    const auto fast = t.Dir(0, "fast");
    t.File(fast, "one", 1 * KB);
    t.File(fast, "two", 2 * KB);
    t.File(t.Dir(fast, "sub"), "four", 4 * KB);

    const auto slow = t.Dir(0, "slow", Node{.stall = true});
    t.File(slow, "s1", 100 * KB);
    t.File(slow, "s2", 200 * KB);
    t.File(slow, "s3", 300 * KB);

    t.File(t.Dir(0, "eio_list", Node{.listError = EIO}), "unseen", 1000 * KB);

    const auto eioStat = t.Dir(0, "eio_stat");
    t.File(eioStat, "ok1", 10 * KB);
    t.File(eioStat, "bad", 1000 * KB, Node{.statError = EIO});
    t.File(eioStat, "ok2", 20 * KB);

    t.File(t.Dir(0, "locked", Node{.enterError = EACCES}), "secret", 1000 * KB);

    // Owned by root with no rights for others: only the kernel's answer
    // (access), never a reading of the mode bits, lets a user in.
    t.File(t.Dir(0, "granted", Node{.perms = 0700, .rootOwned = true}), "g", 8 * KB);

    const auto vanish = t.Dir(0, "vanish");
    t.File(vanish, "here", 40 * KB);
    t.File(vanish, "gone1", 50 * KB, Node{.statError = ENOENT});
    t.File(vanish, "gone2", 60 * KB, Node{.statError = ENOENT});
    t.Dir(vanish, "gonedir", Node{.statError = ENOENT});

    const auto many = t.Dir(0, "many");
    for (long i = 0; i < t.opt.many; ++i)
        t.File(many, "m" + std::to_string(i), 1 * KB);
    t.File(many, "untyped", 1000 * KB, Node{.untyped = true, .statError = EACCES});

    t.File(t.Dir(0, "next"), "f", 4 * KB);

    if (t.opt.echo) {
        const auto echo = t.Dir(0, "echo");
        t.File(echo, "f", 1 * KB);
        t.Dir(echo, "d"); // only listed: looked up, it is echo
    }

    if (t.opt.huge > 0) {
        const auto huge = t.Dir(0, "huge");
        for (long i = 0; i < t.opt.huge; ++i)
            t.File(huge, "h" + std::to_string(i), std::numeric_limits<std::int64_t>::max(),
                   Node{.blocks = 8});
    }
}

Tree &TheTree()
{
    return *static_cast<Tree *>(fuse_get_context()->private_data);
}

// Waits, but gives up as soon as the request is interrupted (its caller got a
// signal, or was killed) or the file system is being unmounted. True: waited.
bool Stall(double seconds)
{
    using namespace std::chrono;
    const auto end = steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(seconds));
    fuse_session *session = fuse_get_session(fuse_get_context()->fuse);
    for (auto now = steady_clock::now(); now < end; now = steady_clock::now()) {
        if (fuse_interrupted() || fuse_session_exited(session))
            return false;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(end - now, milliseconds(10)));
    }
    return true;
}

void Fill(const Tree &t, const Node &n, struct stat *st)
{
    *st = {};
    st->st_ino = t.IndexOf(&n) + 1;
    st->st_mode = (n.dir ? S_IFDIR : S_IFREG) | n.perms;
    st->st_nlink = n.dir ? 2 : 1;
    st->st_uid = n.rootOwned ? 0 : ::getuid();
    st->st_gid = n.rootOwned ? 0 : ::getgid();
    st->st_size = n.dir ? 0 : n.size; // so du's totals are the files' alone
    st->st_blksize = 4096;
    st->st_blocks = n.blocks >= 0 ? n.blocks : (st->st_size + 511) / 512;
    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(t.born.time_since_epoch()).count();
    st->st_atim.tv_sec = st->st_mtim.tv_sec = st->st_ctim.tv_sec = secs;
}

void *Init(fuse_conn_info *conn, fuse_config *cfg)
{
    // Every call reaches us: nothing cached, no listing that carries status.
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->use_ino = 1;
    conn->want &= ~(FUSE_CAP_READDIRPLUS | FUSE_CAP_READDIRPLUS_AUTO);
    return fuse_get_context()->private_data;
}

// The node at `path` once its stall, if it has one, is over; null with
// `error` set when there is none or the request was interrupted.
const Node *Reach(const Tree &t, const char *path, int &error)
{
    const Node *n = t.Find(path);
    if (!n) {
        error = -ENOENT;
        return nullptr;
    }
    if (n->stall && !Stall(t.opt.stallSeconds)) {
        error = -EINTR;
        return nullptr;
    }
    return n;
}

int GetAttr(const char *path, struct stat *st, fuse_file_info *)
{
    const Tree &t = TheTree();
    int error = 0;
    const Node *n = Reach(t, path, error);
    if (!n)
        return error;
    if (n->statError)
        return -n->statError;
    Fill(t, *n, st);
    return 0;
}

int Access(const char *path, int)
{
    const Node *n = TheTree().Find(path);
    if (!n || n->statError)
        return n ? -n->statError : -ENOENT;
    return -n->enterError;
}

int OpenDir(const char *path, fuse_file_info *)
{
    const Node *n = TheTree().Find(path);
    if (!n || n->statError)
        return n ? -n->statError : -ENOENT;
    if (!n->dir)
        return -ENOTDIR;
    return -n->enterError;
}

int ReadDir(const char *path, void *buf, fuse_fill_dir_t fill, off_t, fuse_file_info *, fuse_readdir_flags)
{
    const Tree &t = TheTree();
    int error = 0;
    const Node *n = Reach(t, path, error);
    if (!n)
        return error;
    if (n->listError)
        return -n->listError;
    struct stat st {};
    st.st_mode = S_IFDIR;
    fill(buf, ".", &st, 0, fuse_fill_dir_flags(0));
    fill(buf, "..", &st, 0, fuse_fill_dir_flags(0));
    for (const std::size_t c : n->children) {
        const Node &child = t.nodes[c];
        st = {};
        st.st_ino = c + 1;
        st.st_mode = child.untyped ? 0 : (child.dir ? S_IFDIR : S_IFREG);
        if (fill(buf, child.name.c_str(), &st, 0, fuse_fill_dir_flags(0)))
            break;
    }
    return 0;
}

int Open(const char *path, fuse_file_info *fi)
{
    const Node *n = TheTree().Find(path);
    if (!n || n->statError)
        return n ? -n->statError : -ENOENT;
    if ((fi->flags & O_ACCMODE) != O_RDONLY)
        return -EROFS;
    return 0;
}

// The files read as zeros.
int Read(const char *path, char *buf, size_t size, off_t offset, fuse_file_info *)
{
    const Node *n = TheTree().Find(path);
    if (!n)
        return -ENOENT;
    if (offset >= n->size)
        return 0;
    const auto count = std::size_t(std::min<std::int64_t>(std::int64_t(size), n->size - offset));
    std::memset(buf, 0, count);
    return int(count);
}

int StatFs(const char *, struct statvfs *sv)
{
    const Tree &t = TheTree();
    *sv = {};
    sv->f_bsize = 4096;
    sv->f_frsize = 4096;
    sv->f_bfree = sv->f_bavail = t.opt.freeBlocks;
    sv->f_blocks = t.opt.freeBlocks + 1000000;
    sv->f_files = t.nodes.size();
    sv->f_namemax = 255;
    return 0;
}

bool ParseNumber(const char *text, double &out)
{
    char *end = nullptr;
    errno = 0;
    out = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && out >= 0 && std::isfinite(out);
}

// Whole numbers are read exactly, past 2^53 too.
template <typename T>
bool ParseCount(const char *text, T &out)
{
    char *end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || v > std::numeric_limits<T>::max())
        return false;
    out = T(v);
    return true;
}

// Returns -1 when the arguments are fine, else the exit status.
int Parse(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto option = [&](const char *prefix, auto &out) {
            const std::size_t n = std::strlen(prefix);
            if (a.compare(0, n, prefix) != 0)
                return false;
            if constexpr (std::is_same_v<std::remove_reference_t<decltype(out)>, double>)
                return ParseNumber(a.c_str() + n, out);
            else
                return ParseCount(a.c_str() + n, out);
        };
        if (a == "-h" || a == "--help") {
            std::fputs(Help, stdout);
            return 0;
        } else if (a == "-f" || a == "--foreground") {
            o.foreground = true;
        } else if (a == "-d") {
            o.debug = o.foreground = true;
        } else if (a == "--echo") {
            o.echo = true;
        } else if (a == "--allow-other") {
            o.allowOther = true;
        } else if (option("--stall=", o.stallSeconds) || option("--many=", o.many) ||
                   option("--huge=", o.huge) || option("--free-blocks=", o.freeBlocks)) {
            // read into o
        } else if (a[0] != '-' && o.mountPoint.empty()) {
            o.mountPoint = a;
        } else {
            std::fprintf(stderr, "slowfs: unknown argument %s\n%s", a.c_str(), Help);
            return 2;
        }
    }
    if (o.mountPoint.empty()) {
        std::fputs(Help, stderr);
        return 2;
    }
    return -1;
}

struct FuseDeleter {
    void operator()(fuse *f) const { fuse_destroy(f); }
    void operator()(fuse_loop_config *c) const { fuse_loop_cfg_destroy(c); }
    void operator()(fuse_args *a) const { fuse_opt_free_args(a); }
};

} // namespace

int main(int argc, char **argv)
{
    Tree tree;
    if (const int status = Parse(argc, argv, tree.opt); status >= 0)
        return status;
    struct stat mp {};
    if (::stat(tree.opt.mountPoint.c_str(), &mp) != 0 || !S_ISDIR(mp.st_mode)) {
        std::fprintf(stderr, "slowfs: %s is not a folder\n", tree.opt.mountPoint.c_str());
        return 2;
    }
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        std::fprintf(stderr, "slowfs: /dev/fuse cannot be used: %s\n", std::strerror(errno));
        return SkipExit;
    }
    Build(tree);

    fuse_operations ops{};
    ops.init = Init;
    ops.getattr = GetAttr;
    ops.access = Access;
    ops.opendir = OpenDir;
    ops.readdir = ReadDir;
    ops.open = Open;
    ops.read = Read;
    ops.statfs = StatFs;

    fuse_args argsStore = FUSE_ARGS_INIT(0, nullptr);
    std::unique_ptr<fuse_args, FuseDeleter> args(&argsStore);
    std::string mountOptions = "ro,fsname=slowfs,subtype=slowfs";
    if (tree.opt.allowOther)
        mountOptions += ",allow_other";
    for (const char *a : {static_cast<const char *>(argv[0]), "-o", mountOptions.c_str()})
        fuse_opt_add_arg(args.get(), a);
    if (tree.opt.debug)
        fuse_opt_add_arg(args.get(), "-d");

    std::unique_ptr<fuse, FuseDeleter> fs(fuse_new(args.get(), &ops, sizeof ops, &tree));
    if (!fs)
        return 2;
    if (fuse_mount(fs.get(), tree.opt.mountPoint.c_str()) != 0) {
        std::fprintf(stderr, "slowfs: cannot mount on %s (FUSE not usable here)\n", tree.opt.mountPoint.c_str());
        return SkipExit;
    }
    std::printf("mounted %s\n", tree.opt.mountPoint.c_str());
    std::fflush(stdout);
    fuse_session *session = fuse_get_session(fs.get());
    int status = 1;
    if (fuse_set_signal_handlers(session) == 0 && fuse_daemonize(tree.opt.foreground) == 0) {
        // Stalled requests hold their thread: keep plenty for the rest.
        std::unique_ptr<fuse_loop_config, FuseDeleter> loop(fuse_loop_cfg_create());
        fuse_loop_cfg_set_max_threads(loop.get(), 64);
        fuse_loop_cfg_set_idle_threads(loop.get(), 8);
        status = fuse_loop_mt(fs.get(), loop.get()) < 0 ? 1 : 0; // a signal ends it well
        fuse_remove_signal_handlers(session);
    }
    fuse_unmount(fs.get());
    return status;
}
