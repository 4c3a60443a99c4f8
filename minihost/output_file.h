#pragma once

#include <cstdio>
#include <string>

namespace minihost {

// A file written whole or not at all. Output for a regular file (or a name not taken yet) goes
// to a temporary file beside it, which replaces it only when commit succeeds; until then, and
// if anything fails, the previous file stays as it was. A symbolic link is followed: the file
// it points to is replaced and the link stays. Anything else that can be written (a device, a
// FIFO, a terminal) is written directly. A directory is refused. Errors are HostError naming
// the path and the cause.
class OutputFile {
  public:
    explicit OutputFile(const std::string &path);
    // Discards what was written unless commit succeeded.
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    const std::string &path() const { return path_; }
    // Where to write; valid until commit or discard.
    std::FILE *stream() { return stream_; }
    // The file being written, for a writer that must open it by name itself: what it writes
    // there is what commit keeps.
    const std::string &writingPath() const { return temporary_.empty() ? target_ : temporary_; }

    // Writes the bytes; throws HostError on failure.
    void write(const std::string &bytes);
    // Makes the written bytes the file's contents; a write error, such as a full device, is a
    // failure here at the latest.
    void commit();
    void discard();

  private:
    [[noreturn]] void fail(int error);

    std::string path_;
    std::string target_;    // the file path names, once links are followed
    std::string temporary_; // empty when writing directly
    std::FILE *stream_ = nullptr;
    bool committed_ = false;
};

// From now on, an interrupt or termination signal removes the temporary files of outputs not
// yet committed before the process ends of that signal, so the shell sees the usual status
// (130 for an interrupt, 143 for termination) and no half-written file stays behind.
void RemoveTemporariesOnSignals();

} // namespace minihost
