#include "module_fixture.h"

#include <fstream>
#include <unistd.h>

std::string CopyOfModule() {
    static int copies = 0;
    const std::string path = testing::TempDir() + "orvalen_copy_" + std::to_string(getpid()) + "_" +
                             std::to_string(++copies) + ".p";
    std::ifstream in(ORVALEN_MODULE_PATH, std::ios::binary);
    std::ofstream out(path, std::ios::binary);
    out << in.rdbuf();
    return path;
}
