#include "minihost/host.h"
#include "minihost/output_file.h"

#include <windows.h>

#include <cerrno>
#include <cstring>

namespace minihost {

namespace {

[[noreturn]] void Fail(const std::string &path, const std::string &cause) {
    throw HostError(path + ": cannot write (" + cause + "); the previous file is unchanged");
}

} // namespace

OutputFile::OutputFile(const std::string &path) : path_(path), target_(path) {
    // "x" creates the file only if no file of that name exists, so a name another writer
    // holds is never shared.
    for (unsigned attempt = 0; attempt < 100 && !stream_; ++attempt) {
        temporary_ = path_ + "." + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(GetTickCount() + attempt) + ".tmp";
        stream_ = std::fopen(temporary_.c_str(), "wbx");
        if (!stream_ && errno != EEXIST) {
            Fail(path_, std::strerror(errno));
        }
    }
    if (!stream_) {
        Fail(path_, "no free temporary name");
    }
}

OutputFile::~OutputFile() {
    if (!committed_) {
        discard();
    }
}

void OutputFile::write(const std::string &bytes) {
    if (!stream_ || std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) {
        const int error = errno;
        discard();
        Fail(path_, std::strerror(error));
    }
}

void OutputFile::commit() {
    const bool written = std::fflush(stream_) == 0 && std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!written) {
        std::remove(temporary_.c_str());
        Fail(path_, std::strerror(errno));
    }
    if (!MoveFileExA(temporary_.c_str(), path_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        std::remove(temporary_.c_str());
        Fail(path_, "error " + std::to_string(error));
    }
    committed_ = true;
}

void OutputFile::fail(int error) {
    discard();
    Fail(path_, std::strerror(error));
}

void OutputFile::discard() {
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!committed_) {
        std::remove(temporary_.c_str());
    }
}

// Console programs on Windows have no interrupt to clean up after here.
void RemoveTemporariesOnSignals() {}

} // namespace minihost
