#pragma once
// Two walks of the same tree for comparison: the engine the window uses, and
// a plain recursive one-thread walk that changes the current folder as it
// goes, entering each folder and listing it, on the C library's own calls
// (chdir, opendir, readdir, lstat): nothing of the engine's code.
#include "walk/Walk.h"

#include <cstdint>
#include <string>
#include <vector>

struct WalkReport {
    bool Entered = false;
    // The walk said it failed (memory ran out); nothing else of it counts.
    bool Failed = false;
    // Scan: the loose files; FullSize: the whole tree.
    std::int64_t Kb = 0;
    std::vector<walk::TOutcome::TFolder> Folders;
    std::vector<std::string> Warnings;
    // The engine's count of folder opens, of folders held at once and of
    // listings broken off; not compared.
    std::int64_t FolderOpens = 0;
    std::int64_t PeakFolders = 0;
    std::int64_t BrokenListings = 0;
    bool operator==(const WalkReport &o) const;
};

// What the engine reports, events taken as they come.
WalkReport EngineWalk(walk::TRequest request, walk::TOptions options = {});

// The reference: scan(path) or GetFullDirSize(path), one thread, recursion.
// The current folder is put back afterwards.
WalkReport ReferenceScan(const std::string &path);
WalkReport ReferenceFullSize(const std::string &path);

// One line per field, for a failure message.
std::string Describe(const WalkReport &r);
