#pragma once
// The version block of an executable: a fixed record placed at build time in its
// own ELF section, read back from the file itself the way a resource would be.
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

// Name of the section that holds the block.
#define QUINTAVO_VERSION_SECTION ".qvinfo"

struct TVersionBlock {
    char Signature[8]; // "QVINFO1"
    std::uint32_t FileVersionMS; // major << 16 | minor
    std::uint32_t FileVersionLS; // release << 16 | build
    std::uint32_t ProductVersionMS;
    std::uint32_t ProductVersionLS;
    std::uint16_t Language; // 0x040C: French
    std::uint16_t CodePage; // 1252
    char FileDescription[32];
    char InternalName[32];
    char OriginalFilename[32];
    char ProductName[32];
};

// Places the block in the executable's version section; used once per program.
#define QUINTAVO_VERSION_BLOCK(major, minor, release, build)                                                          \
    extern "C" __attribute__((section(QUINTAVO_VERSION_SECTION), used))                                              \
    const TVersionBlock quintavoVersionBlock = {"QVINFO1",                                                           \
        (std::uint32_t(major) << 16) | std::uint32_t(minor), (std::uint32_t(release) << 16) | std::uint32_t(build), \
        (std::uint32_t(major) << 16) | std::uint32_t(minor), (std::uint32_t(release) << 16) | std::uint32_t(build), \
        0x040C, 1252, "Quintavo", "Quintavo", "Quintavo", "Quintavo"}

struct TFixedFileInfo {
    std::uint32_t FileVersionMS = 0;
    std::uint32_t FileVersionLS = 0;
    std::uint32_t ProductVersionMS = 0;
    std::uint32_t ProductVersionLS = 0;
};

namespace platform {

// Size in bytes of the file's version block; 0 when it has none or cannot be read.
std::uint32_t GetFileVersionInfoSize(const std::string &path);
// Reads the whole block into buffer; false when it cannot.
bool GetFileVersionInfo(const std::string &path, std::vector<char> &buffer);
// The fixed information of a block read with GetFileVersionInfo (the root "\").
bool VerQueryFixedFileInfo(const std::vector<char> &buffer, TFixedFileInfo &info);

} // namespace platform
