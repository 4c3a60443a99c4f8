// Checks a built Windows module file: i386, a DLL, exactly one export (_mod_descrip) whose
// first words are the descriptor's, and no DLL beyond those every Windows has.
//
//   pe_check FILE              checks FILE; exit 0 when it is a sound module
//   pe_check --self-test FILE  breaks copies of a sound FILE and checks each is refused

#include "pe_image.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

bool ReadFile(const char *path, std::vector<std::uint8_t> *bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

int Check(const char *path, const std::vector<std::uint8_t> &bytes) {
    const std::vector<std::string> problems = CheckModuleFile(bytes);
    for (const std::string &problem : problems) {
        std::fprintf(stderr, "%s: %s\n", path, problem.c_str());
    }
    if (problems.empty()) {
        PeFacts facts;
        ReadPeFacts(bytes, &facts);
        std::printf("%s: PE32 DLL for i386, exports _mod_descrip only, imports", path);
        for (const std::string &dll : facts.importedDlls) {
            std::printf(" %s", dll.c_str());
        }
        std::printf("; descriptor 0x%08x %u 0x%x\n", facts.descriptorWords[0],
                    facts.descriptorWords[1], facts.descriptorWords[2]);
    }
    return problems.empty() ? 0 : 1;
}

int SelfTest(const char *path, const std::vector<std::uint8_t> &good) {
    PeFieldOffsets at;
    if (!CheckModuleFile(good).empty() || !FindPeFieldOffsets(good, &at)) {
        std::fprintf(stderr, "%s: the self-test needs a sound module file\n", path);
        return 1;
    }
    struct Breakage {
        const char *what;
        size_t offset;
        std::uint8_t value;
        const char *message;
    };
    const Breakage breakages[] = {
        {"64-bit machine", at.machine, 0x64, "machine 0x8664, expected i386"},
        {"no DLL flag", at.characteristics + 1, 0x00, "not a DLL"},
        {"renamed export", at.firstExportName, 'X', "exports [Xmod_descrip]"},
        {"wrong sync word", at.descriptor, 0x95, "descriptor synchronisation word 0x4121995"},
        {"no MZ header", 0, 'Z', "not a PE file"},
    };
    int failures = 0;
    int checked = 0;
    for (const Breakage &b : breakages) {
        std::vector<std::uint8_t> broken = good;
        broken[b.offset] = b.value;
        if (b.offset == at.machine) {
            broken[b.offset + 1] = 0x86;
        }
        bool found = false;
        for (const std::string &problem : CheckModuleFile(broken)) {
            found = found || problem.find(b.message) != std::string::npos;
        }
        if (!found) {
            std::fprintf(stderr, "self-test: %s was not reported as \"%s\"\n", b.what, b.message);
            ++failures;
        }
        ++checked;
    }
    std::vector<std::uint8_t> truncated(good.begin(), good.begin() + 0x100);
    if (CheckModuleFile(truncated).empty()) {
        std::fprintf(stderr, "self-test: a truncated file passed\n");
        ++failures;
    }
    ++checked;
    std::printf("self-test: %d breakages checked, %d not reported\n", checked, failures);
    return failures == 0 && checked == 6 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    const bool selfTest = argc == 3 && std::string(argv[1]) == "--self-test";
    if (argc != 2 && !selfTest) {
        std::fprintf(stderr, "usage: pe_check [--self-test] MODULE_FILE\n");
        return 2;
    }
    const char *path = argv[argc - 1];
    std::vector<std::uint8_t> bytes;
    if (!ReadFile(path, &bytes)) {
        std::fprintf(stderr, "%s: cannot read the file\n", path);
        return 1;
    }
    return selfTest ? SelfTest(path, bytes) : Check(path, bytes);
}
