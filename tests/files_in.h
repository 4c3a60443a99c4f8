#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

// The names in a folder, sorted, without those starting with a dot.
inline std::vector<std::string> FilesIn(const std::string &dir) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        if (name[0] != '.') {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}
