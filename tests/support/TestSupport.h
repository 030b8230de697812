#pragma once
// Helpers shared by the tests: temporary folder trees and pixel probes.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <string>

// A folder tree under a fresh temporary folder, removed afterwards. It lives in
// memory (/dev/shm) where it can: creating many files on a disk can be slow.
class TempTree {
public:
    TempTree();
    // Removes the tree whatever its names and permissions (the toolkit's own
    // removal stops at names that are not valid text).
    ~TempTree();
    TempTree(const TempTree &) = delete;
    TempTree &operator=(const TempTree &) = delete;
    // The root, without a trailing separator.
    std::string Root() const { return FRoot; }
    // Makes a folder (and its parents) under the root; returns its full path.
    std::string Dir(const std::string &relative) const;
    // Makes a file of exactly `bytes` bytes (sparse); returns its full path.
    std::string File(const std::string &relative, std::int64_t bytes) const;
    std::string Link(const std::string &relative, const std::string &target) const;
    std::string Path(const std::string &relative) const { return FRoot + "/" + relative; }

private:
    QTemporaryDir FDir;
    std::string FRoot;
};

// The main window's 8 x 8 pattern tile, as 0xRRGGBB per pixel.
extern const std::uint32_t kTile[8][8];

// The pixel's colour as 0xRRGGBB.
std::uint32_t Rgb(const QImage &image, int x, int y);
// A short fingerprint of every pixel's colour (alpha left out) and the size:
// two pictures with the same one are, for all practical purposes, the same pixels.
QByteArray ImageDigest(const QImage &image);
// The process's current folder, and a change of it (false when refused).
std::string CurrentDir();
bool ChangeDir(const std::string &path);
// Runs a shell command; returns its exit status.
int Shell(const std::string &command);
// Runs one test function of this test program again as the unprivileged user
// 65534, with `root` in QUINTAVO_PERMISSION_TREE; returns its output when it
// did not pass, empty when it did.
QByteArray RunUnprivileged(const char *testClass, const char *function, const std::string &root);
// Runs one test function of this test program again where a screen reader
// listens: a private D-Bus session whose accessibility bus says a reader is
// on, and an Xvfb display, so that Qt sends its accessibility events; the
// child has QUINTAVO_SCREEN_READER set. Returns its output when it did not
// pass, empty when it did; `skip` tells why it could not run (tools missing).
QByteArray RunWithScreenReader(const char *testClass, const char *function, QString *skip);
