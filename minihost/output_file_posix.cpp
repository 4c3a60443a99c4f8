#include "minihost/host.h"
#include "minihost/output_file.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace minihost {

namespace {

// Temporary files a signal must remove, kept where a signal handler may read them: fixed
// storage, a slot in use only once its name is complete.
constexpr int kMaxTemporaries = 16;
char g_temporaries[kMaxTemporaries][PATH_MAX];
volatile std::sig_atomic_t g_inUse[kMaxTemporaries];

void Register(const std::string &temporary) {
    if (temporary.size() >= PATH_MAX) {
        return;
    }
    for (int i = 0; i < kMaxTemporaries; ++i) {
        if (!g_inUse[i]) {
            std::memcpy(g_temporaries[i], temporary.c_str(), temporary.size() + 1);
            g_inUse[i] = 1;
            return;
        }
    }
}

void Unregister(const std::string &temporary) {
    for (int i = 0; i < kMaxTemporaries; ++i) {
        if (g_inUse[i] && temporary == g_temporaries[i]) {
            g_inUse[i] = 0;
        }
    }
}

extern "C" void OnTerminatingSignal(int signal) {
    for (int i = 0; i < kMaxTemporaries; ++i) {
        if (g_inUse[i]) {
            unlink(g_temporaries[i]);
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

std::string Directory(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The file a chain of symbolic links ends at (which need not exist yet). Returns false with
// errno set when the chain cannot be followed.
bool FollowLinks(std::string path, std::string *target) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            *target = path;
            return true;
        }
        char link[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), link, sizeof link - 1);
        if (length < 0) {
            return false;
        }
        link[length] = '\0';
        path = link[0] == '/' ? std::string(link) : Directory(path) + link;
    }
    errno = ELOOP;
    return false;
}

} // namespace

OutputFile::OutputFile(const std::string &path) : path_(path) {
    if (!FollowLinks(path, &target_)) {
        fail(errno);
    }
    struct stat info;
    const bool exists = stat(target_.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        throw HostError(path_ + ": is a directory");
    }
    if (exists && !S_ISREG(info.st_mode)) {
        // A device, a FIFO or a terminal cannot be replaced, and need not be.
        const int fd = open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0 || !(stream_ = fdopen(fd, "wb"))) {
            const int error = errno;
            if (fd >= 0) {
                close(fd);
            }
            fail(error);
        }
        return;
    }
    temporary_ = target_ + ".XXXXXX";
    const int fd = mkstemp(&temporary_[0]);
    if (fd < 0) {
        fail(errno);
    }
    Register(temporary_);
    // mkstemp makes the file private; the output keeps the permissions of the file it
    // replaces, or gets those any new file would.
    mode_t mode = info.st_mode & 07777;
    if (!exists) {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    stream_ = fdopen(fd, "wb");
    if (!stream_) {
        const int error = errno;
        close(fd);
        discard();
        fail(error);
    }
}

OutputFile::~OutputFile() {
    if (!committed_) {
        discard();
    }
}

void OutputFile::fail(int error) {
    discard();
    throw HostError(path_ + ": cannot write (" + std::strerror(error) + ")" +
                    (temporary_.empty() ? "" : "; the previous file is unchanged"));
}

void OutputFile::write(const std::string &bytes) {
    if (!stream_ || std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) {
        fail(errno);
    }
}

void OutputFile::commit() {
    int error = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_)) {
        error = errno ? errno : EIO;
    } else if (!temporary_.empty() && fsync(fileno(stream_)) != 0) {
        error = errno;
    }
    if (std::fclose(stream_) != 0 && !error) {
        error = errno;
    }
    stream_ = nullptr;
    if (!error && !temporary_.empty() && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = errno;
    }
    if (error) {
        fail(error);
    }
    Unregister(temporary_);
    committed_ = true;
}

void OutputFile::discard() {
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!committed_ && !temporary_.empty()) {
        std::remove(temporary_.c_str());
        Unregister(temporary_);
    }
}

void RemoveTemporariesOnSignals() {
    struct sigaction action {};
    action.sa_handler = OnTerminatingSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace minihost
