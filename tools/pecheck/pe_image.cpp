#include "pe_image.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

constexpr std::uint16_t kMachineI386 = 0x14c;
constexpr std::uint16_t kFileDll = 0x2000;
constexpr std::uint16_t kMagicPe32 = 0x10b;

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawOffset;
    std::uint32_t rawSize;
};

// Bounds-checked little-endian reads over the whole file.
class Reader {
  public:
    explicit Reader(const std::vector<std::uint8_t> &bytes) : bytes_(bytes) {}
    bool has(size_t offset, size_t size) const {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    std::uint32_t u32(size_t offset) const {
        return has(offset, 4)
                   ? bytes_[offset] | bytes_[offset + 1] << 8 | bytes_[offset + 2] << 16 |
                         static_cast<std::uint32_t>(bytes_[offset + 3]) << 24
                   : 0;
    }
    std::uint16_t u16(size_t offset) const {
        return has(offset, 2) ? static_cast<std::uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8)
                              : 0;
    }
    // A NUL-ended text of at most 256 bytes, or empty.
    std::string text(size_t offset) const {
        std::string out;
        while (has(offset, 1) && bytes_[offset] != 0 && out.size() < 256) {
            out += static_cast<char>(bytes_[offset++]);
        }
        return out;
    }

  private:
    const std::vector<std::uint8_t> &bytes_;
};

struct Layout {
    size_t coff = 0;
    size_t optional = 0;
    std::vector<Section> sections;
    std::uint32_t exportRva = 0;
    std::uint32_t importRva = 0;
};

std::string ReadLayout(const Reader &r, Layout *layout) {
    if (r.u16(0) != 0x5a4d) {
        return "not a PE file: no MZ header";
    }
    const size_t pe = r.u32(0x3c);
    if (r.u32(pe) != 0x00004550) {
        return "not a PE file: no PE signature";
    }
    layout->coff = pe + 4;
    const std::uint16_t sections = r.u16(layout->coff + 2);
    const std::uint16_t optionalSize = r.u16(layout->coff + 16);
    layout->optional = layout->coff + 20;
    if (!r.has(layout->optional, optionalSize)) {
        return "truncated PE file: the optional header is cut off";
    }
    if (r.u16(layout->optional) == kMagicPe32 && optionalSize >= 96 + 16) {
        const std::uint32_t directories = r.u32(layout->optional + 92);
        if (directories >= 1) {
            layout->exportRva = r.u32(layout->optional + 96);
        }
        if (directories >= 2) {
            layout->importRva = r.u32(layout->optional + 104);
        }
    }
    const size_t table = layout->optional + optionalSize;
    for (size_t i = 0; i < sections; ++i) {
        const size_t s = table + i * 40;
        if (!r.has(s, 40)) {
            return "truncated PE file: the section table is cut off";
        }
        layout->sections.push_back({r.u32(s + 12), r.u32(s + 8), r.u32(s + 20), r.u32(s + 16)});
    }
    return "";
}

// The file offset of an address in the loaded image, or 0 if no section's file data holds it.
size_t FileOffset(const Layout &layout, std::uint32_t rva) {
    for (const Section &s : layout.sections) {
        const std::uint32_t size = std::max(s.virtualSize, s.rawSize);
        if (rva >= s.virtualAddress && rva - s.virtualAddress < size &&
            rva - s.virtualAddress < s.rawSize) {
            return s.rawOffset + (rva - s.virtualAddress);
        }
    }
    return 0;
}

std::string Lower(std::string text) {
    for (char &c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool IsSystemDll(const std::string &name) {
    const std::string n = Lower(name);
    const char *const system[] = {"kernel32.dll", "msvcrt.dll", "ntdll.dll", "user32.dll",
                                  "advapi32.dll"};
    for (const char *s : system) {
        if (n == s) {
            return true;
        }
    }
    // The universal C runtime ships with every supported Windows.
    return n.rfind("api-ms-win-crt-", 0) == 0;
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

} // namespace

std::string ReadPeFacts(const std::vector<std::uint8_t> &bytes, PeFacts *facts) {
    const Reader r(bytes);
    Layout layout;
    std::string problem = ReadLayout(r, &layout);
    if (!problem.empty()) {
        return problem;
    }
    facts->machine = r.u16(layout.coff);
    facts->isDll = (r.u16(layout.coff + 18) & kFileDll) != 0;
    facts->isPe32 = r.u16(layout.optional) == kMagicPe32;

    if (size_t dir = layout.exportRva ? FileOffset(layout, layout.exportRva) : 0) {
        facts->exportedFunctions = r.u32(dir + 20);
        const std::uint32_t names = std::min<std::uint32_t>(r.u32(dir + 24), 4096);
        const size_t functions = FileOffset(layout, r.u32(dir + 28));
        const size_t nameTable = FileOffset(layout, r.u32(dir + 32));
        const size_t ordinals = FileOffset(layout, r.u32(dir + 36));
        for (std::uint32_t i = 0; nameTable && i < names; ++i) {
            const std::string name = r.text(FileOffset(layout, r.u32(nameTable + 4 * i)));
            facts->exportNames.push_back(name);
            if (name == "_mod_descrip" && functions && ordinals) {
                const std::uint16_t ordinal = r.u16(ordinals + 2 * i);
                const size_t at = FileOffset(layout, r.u32(functions + 4 * ordinal));
                if (at && r.has(at, 12)) {
                    facts->descriptorFound = true;
                    for (int w = 0; w < 3; ++w) {
                        facts->descriptorWords[w] = r.u32(at + 4 * w);
                    }
                }
            }
        }
    }
    if (size_t dir = layout.importRva ? FileOffset(layout, layout.importRva) : 0) {
        for (size_t i = 0; i < 256; ++i) {
            const size_t entry = dir + 20 * i;
            if (!r.has(entry, 20) || r.u32(entry + 12) == 0) {
                break;
            }
            facts->importedDlls.push_back(r.text(FileOffset(layout, r.u32(entry + 12))));
        }
    }
    return "";
}

std::vector<std::string> CheckModuleFile(const std::vector<std::uint8_t> &bytes) {
    PeFacts facts;
    const std::string unreadable = ReadPeFacts(bytes, &facts);
    if (!unreadable.empty()) {
        return {unreadable};
    }
    std::vector<std::string> problems;
    if (facts.machine != kMachineI386) {
        problems.push_back("machine " + Hex(facts.machine) + ", expected i386 (0x14c)");
    }
    if (!facts.isPe32) {
        problems.push_back("not a PE32 image (32-bit optional header)");
    }
    if (!facts.isDll) {
        problems.push_back("not a DLL: the DLL flag is not set");
    }
    if (facts.exportNames != std::vector<std::string>{"_mod_descrip"} ||
        facts.exportedFunctions != 1) {
        std::string names;
        for (const std::string &name : facts.exportNames) {
            names += (names.empty() ? "" : ", ") + name;
        }
        problems.push_back("exports [" + names + "] (" + std::to_string(facts.exportedFunctions) +
                           " entries), expected exactly _mod_descrip");
    }
    for (const std::string &dll : facts.importedDlls) {
        if (!IsSystemDll(dll)) {
            problems.push_back("imports " + dll + ", which is not part of Windows");
        }
    }
    if (!facts.descriptorFound) {
        problems.push_back("the address of _mod_descrip lies in no section's file data");
    } else {
        const std::uint32_t expected[3] = {0x04121994, 3, 0x300};
        const char *const names[3] = {"synchronisation word", "module version", "machine code"};
        for (int w = 0; w < 3; ++w) {
            if (facts.descriptorWords[w] != expected[w]) {
                problems.push_back(std::string("descriptor ") + names[w] + " " +
                                   Hex(facts.descriptorWords[w]) + ", expected " +
                                   Hex(expected[w]));
            }
        }
    }
    return problems;
}

bool FindPeFieldOffsets(const std::vector<std::uint8_t> &bytes, PeFieldOffsets *offsets) {
    const Reader r(bytes);
    Layout layout;
    if (!ReadLayout(r, &layout).empty() || !layout.exportRva) {
        return false;
    }
    offsets->machine = layout.coff;
    offsets->characteristics = layout.coff + 18;
    const size_t dir = FileOffset(layout, layout.exportRva);
    const size_t nameTable = FileOffset(layout, r.u32(dir + 32));
    const size_t functions = FileOffset(layout, r.u32(dir + 28));
    const size_t ordinals = FileOffset(layout, r.u32(dir + 36));
    if (!dir || !nameTable || !functions || !ordinals) {
        return false;
    }
    offsets->firstExportName = FileOffset(layout, r.u32(nameTable));
    offsets->descriptor = FileOffset(layout, r.u32(functions + 4 * r.u16(ordinals)));
    return offsets->firstExportName && offsets->descriptor;
}
