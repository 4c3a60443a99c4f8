#pragma once

#include <algorithm>
#include <dirent.h>
#include <string>
#include <vector>

// The names in a folder, sorted, without those starting with a dot.
inline std::vector<std::string> FilesIn(const std::string &dir) {
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    while (dirent *entry = d ? readdir(d) : nullptr) {
        if (entry->d_name[0] != '.') {
            names.push_back(entry->d_name);
        }
    }
    if (d) {
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}
