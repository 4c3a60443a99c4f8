#include "minihost/host.h"
#include "minihost/output_file.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace minihost {

namespace {

[[noreturn]] void Fail(const std::string &path, int error) {
    throw HostError(path + ": cannot write the file (" + std::strerror(error) +
                    "); the previous file is unchanged");
}

} // namespace

OutputFile::OutputFile(const std::string &path) : path_(path), temporary_(path + ".XXXXXX") {
    const int fd = mkstemp(&temporary_[0]);
    if (fd < 0) {
        Fail(path_, errno);
    }
    // mkstemp makes the file private; the output gets the permissions any new file would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    stream_ = fdopen(fd, "wb");
    if (!stream_) {
        const int error = errno;
        close(fd);
        std::remove(temporary_.c_str());
        Fail(path_, error);
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
        Fail(path_, error);
    }
}

void OutputFile::commit() {
    int error = 0;
    if (std::fflush(stream_) != 0 || fsync(fileno(stream_)) != 0) {
        error = errno;
    }
    if (std::fclose(stream_) != 0 && !error) {
        error = errno;
    }
    stream_ = nullptr;
    if (!error && std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error = errno;
    }
    if (error) {
        std::remove(temporary_.c_str());
        Fail(path_, error);
    }
    committed_ = true;
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

} // namespace minihost
