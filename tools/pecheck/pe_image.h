#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a Windows module file holds that the host relies on, read from its bytes alone.
struct PeFacts {
    std::uint16_t machine = 0;
    bool isDll = false;
    bool isPe32 = false;
    std::vector<std::string> exportNames;
    std::uint32_t exportedFunctions = 0;
    std::vector<std::string> importedDlls;
    // The first three 32-bit words at the address of the export named _mod_descrip.
    bool descriptorFound = false;
    std::uint32_t descriptorWords[3] = {0, 0, 0};
};

// Reads the facts; returns an empty string on success, else what makes the file unreadable.
std::string ReadPeFacts(const std::vector<std::uint8_t> &bytes, PeFacts *facts);

// Everything wrong with the file as a module for the 32-bit Windows host, one line each.
std::vector<std::string> CheckModuleFile(const std::vector<std::uint8_t> &bytes);

// Byte offset in the file of a few header fields, for tests that break them on purpose.
struct PeFieldOffsets {
    size_t machine;
    size_t characteristics;
    size_t firstExportName; // the text of the first export name
    size_t descriptor;      // the first word of the exported descriptor
};
bool FindPeFieldOffsets(const std::vector<std::uint8_t> &bytes, PeFieldOffsets *offsets);
