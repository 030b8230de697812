#include "platform/VersionInfo.h"

#include <cstring>
#include <elf.h>
#include <fstream>

namespace platform {

namespace {

// Offset and size of the version section in the ELF file; false when absent.
bool findSection(std::ifstream &in, std::uint64_t &offset, std::uint64_t &size)
{
    Elf64_Ehdr eh {};
    if (!in.read(reinterpret_cast<char *>(&eh), sizeof eh))
        return false;
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64)
        return false;
    if (eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shnum == 0 || eh.e_shstrndx >= eh.e_shnum)
        return false;
    std::vector<Elf64_Shdr> sections(eh.e_shnum);
    in.seekg(std::streamoff(eh.e_shoff));
    if (!in.read(reinterpret_cast<char *>(sections.data()), std::streamsize(sections.size() * sizeof(Elf64_Shdr))))
        return false;
    const Elf64_Shdr &strtab = sections[eh.e_shstrndx];
    if (strtab.sh_size > (1u << 24))
        return false;
    std::string names(strtab.sh_size, '\0');
    in.seekg(std::streamoff(strtab.sh_offset));
    if (!in.read(names.data(), std::streamsize(names.size())))
        return false;
    for (const Elf64_Shdr &s : sections) {
        if (s.sh_name >= names.size())
            continue;
        if (std::strcmp(names.c_str() + s.sh_name, QUINTAVO_VERSION_SECTION) == 0 && s.sh_type == SHT_PROGBITS) {
            offset = s.sh_offset;
            size = s.sh_size;
            return true;
        }
    }
    return false;
}

} // namespace

std::uint32_t GetFileVersionInfoSize(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::uint64_t offset = 0, size = 0;
    if (!in || !findSection(in, offset, size) || size > (1u << 20))
        return 0;
    return std::uint32_t(size);
}

bool GetFileVersionInfo(const std::string &path, std::vector<char> &buffer)
{
    std::ifstream in(path, std::ios::binary);
    std::uint64_t offset = 0, size = 0;
    if (!in || !findSection(in, offset, size) || size > (1u << 20))
        return false;
    buffer.assign(size, '\0');
    in.seekg(std::streamoff(offset));
    return bool(in.read(buffer.data(), std::streamsize(size)));
}

bool VerQueryFixedFileInfo(const std::vector<char> &buffer, TFixedFileInfo &info)
{
    if (buffer.size() < sizeof(TVersionBlock))
        return false;
    TVersionBlock block {};
    std::memcpy(&block, buffer.data(), sizeof block);
    if (std::memcmp(block.Signature, "QVINFO1", 8) != 0)
        return false;
    info.FileVersionMS = block.FileVersionMS;
    info.FileVersionLS = block.FileVersionLS;
    info.ProductVersionMS = block.ProductVersionMS;
    info.ProductVersionLS = block.ProductVersionLS;
    return true;
}

} // namespace platform
