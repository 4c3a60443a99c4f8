#pragma once

#include <cstdio>
#include <string>

namespace minihost {

// A file written whole or not at all: the text goes to a temporary file beside the target,
// which replaces the target only when commit succeeds. Until then, and if anything fails, the
// previous file stays as it was. Errors are HostError naming the path and the cause.
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

    // Writes the bytes; throws HostError on failure.
    void write(const std::string &bytes);
    // Makes the written bytes the file's contents.
    void commit();
    void discard();

  private:
    std::string path_;
    std::string temporary_;
    std::FILE *stream_ = nullptr;
    bool committed_ = false;
};

} // namespace minihost
