#include "minihost/scene_file.h"

#include "minihost/output_file.h"
#include "minihost/plain_numbers.h"

#include "minihost/host.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>

namespace minihost {

namespace {

constexpr char kHeader[] = "orvalen-scene";
constexpr int kFormatVersion = 1;
// More floats than any plug-in stores in one block; a larger count is a broken file.
constexpr long kMaxFloats = 4096;

std::string FloatText(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

struct Line {
    int number;
    std::vector<std::string> words;
    std::string rest; // the text after the first word, for names that may hold spaces
};

class Parser {
  public:
    Parser(const std::string &text, const std::string &name) : name_(name) {
        std::istringstream in(text);
        std::string raw;
        int number = 0;
        while (std::getline(in, raw)) {
            ++number;
            if (!raw.empty() && raw.back() == '\r') {
                raw.pop_back();
            }
            if (raw.find('\0') != std::string::npos) {
                fail(number, "the line holds a NUL byte");
            }
            Line line{number, {}, {}};
            std::istringstream words(raw);
            std::string word;
            while (words >> word) {
                line.words.push_back(word);
            }
            if (line.words.empty() || line.words[0][0] == '#') {
                continue;
            }
            size_t start = raw.find(line.words[0]) + line.words[0].size();
            size_t first = raw.find_first_not_of(" \t", start);
            size_t last = raw.find_last_not_of(" \t");
            line.rest = first == std::string::npos ? "" : raw.substr(first, last - first + 1);
            lines_.push_back(std::move(line));
        }
        lastLine_ = number;
    }

    Scene parse() {
        Scene scene;
        const Line &header = next("the header");
        if (header.words[0] != kHeader) {
            fail(header.number, std::string("not a scene file: it does not start with ") + kHeader);
        }
        expectWords(header, 2);
        if (integer(header, 1) != kFormatVersion) {
            fail(header.number, "scene format version " + header.words[1] +
                                    " is not the one this host reads (" +
                                    std::to_string(kFormatVersion) + ")");
        }
        while (more()) {
            const Line &line = next("a statement");
            const std::string &word = line.words[0];
            if (word == "time") {
                expectWords(line, 2);
                scene.time = number(line, 1);
            } else if (word == "camera") {
                scene.cameras.push_back(camera(line));
            } else {
                fail(line.number, "unknown statement '" + word + "'");
            }
        }
        return scene;
    }

  private:
    [[noreturn]] void fail(int line, const std::string &what) const {
        throw HostError(name_ + ":" + std::to_string(line) + ": " + what);
    }

    bool more() const { return position_ < lines_.size(); }

    const Line &next(const std::string &expected) {
        if (!more()) {
            fail(lastLine_, "the file ends where " + expected + " should follow");
        }
        return lines_[position_++];
    }

    void expectWords(const Line &line, size_t count) const {
        if (line.words.size() != count) {
            fail(line.number, "'" + line.words[0] + "' takes " + std::to_string(count - 1) +
                                  " value" + (count == 2 ? "" : "s") + ", found " +
                                  std::to_string(line.words.size() - 1));
        }
    }

    double number(const Line &line, size_t index) const {
        return finite<double>(line, index, std::strtod, "number");
    }

    float single(const Line &line, size_t index) const {
        return finite<float>(line, index, std::strtof, "single-precision number");
    }

    // A whole word read as a finite number. Underflow to a subnormal is a value; overflow
    // is not.
    template <typename T>
    T finite(const Line &line, size_t index, T (*convert)(const char *, char **),
             const char *kind) const {
        const std::string &word = line.words.at(index);
        if (!IsPlainDecimal(word)) {
            fail(line.number, "'" + word + "' is not a number");
        }
        char *end = nullptr;
        const T value = convert(word.c_str(), &end);
        if (!std::isfinite(value)) {
            fail(line.number, "'" + word + "' is not a finite " + kind);
        }
        return value;
    }

    long integer(const Line &line, size_t index) const {
        const std::string &word = line.words.at(index);
        errno = 0;
        long value = IsPlainWhole(word) ? std::strtol(word.c_str(), nullptr, 10) : 0;
        if (!IsPlainWhole(word) || errno == ERANGE || value < -2147483647 || value > 2147483647) {
            fail(line.number, "'" + word + "' is not a whole number");
        }
        return value;
    }

    // A type code, written as the host writes it: 0x and hexadecimal digits.
    int typeCode(const Line &line, size_t index) const {
        const std::string &word = line.words.at(index);
        const bool hex = word.size() > 2 && word.size() <= 10 && word.compare(0, 2, "0x") == 0 &&
                         word.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
        if (!hex) {
            fail(line.number, "type code '" + word + "' is not written in hex (0x...)");
        }
        return static_cast<int>(std::stoul(word.substr(2), nullptr, 16));
    }

    SceneCamera camera(const Line &start) {
        SceneCamera cam;
        cam.line = start.number;
        if (start.rest.empty()) {
            fail(start.number, "'camera' needs the item's name");
        }
        cam.itemName = start.rest;
        for (;;) {
            const Line &line = next("'end' of camera " + cam.itemName);
            const std::string &word = line.words[0];
            if (word == "end") {
                expectWords(line, 1);
                break;
            } else if (word == "position" || word == "rotation") {
                expectWords(line, 4);
                double *target = word == "position" ? cam.position : cam.rotation;
                for (size_t i = 0; i < 3; ++i) {
                    target[i] = number(line, i + 1);
                }
            } else if (word == "server") {
                expectWords(line, 3);
                cam.className = line.words[1];
                cam.serverName = line.words[2];
            } else if (word == "param") {
                cam.data.push_back(param(line));
            } else if (word == "floats") {
                cam.data.push_back(floats(line));
            } else {
                fail(line.number, "unknown statement '" + word + "' in camera " + cam.itemName);
            }
        }
        if (cam.className.empty()) {
            fail(cam.line, "camera " + cam.itemName + " names no server");
        }
        return cam;
    }

    SceneDataItem param(const Line &line) {
        expectWords(line, 5);
        SceneDataItem item;
        item.kind = SceneDataItem::kParam;
        item.line = line.number;
        item.channelName = line.words[1];
        item.typeCode = typeCode(line, 2);
        item.value = number(line, 3);
        long keys = integer(line, 4);
        if (keys < 0) {
            fail(line.number, "a parameter cannot have " + line.words[4] + " keys");
        }
        for (long k = 0; k < keys; ++k) {
            const Line &keyLine = next("key " + std::to_string(k + 1) + " of " +
                                       std::to_string(keys) + " of parameter " + item.channelName);
            if (keyLine.words[0] != "key") {
                fail(keyLine.number, "parameter " + item.channelName + " has " +
                                         std::to_string(keys) + " keys, found only " +
                                         std::to_string(k));
            }
            expectWords(keyLine, 3);
            Key key{number(keyLine, 1), number(keyLine, 2)};
            if (!item.keys.empty() && !(key.time > item.keys.back().time)) {
                fail(keyLine.number,
                     "key times of parameter " + item.channelName + " must increase");
            }
            item.keys.push_back(key);
        }
        return item;
    }

    SceneDataItem floats(const Line &line) {
        if (line.words.size() < 2) {
            fail(line.number, "'floats' needs a count");
        }
        long count = integer(line, 1);
        if (count < 0 || count > kMaxFloats) {
            fail(line.number, "a float block of " + line.words[1] + " values");
        }
        expectWords(line, static_cast<size_t>(count) + 2);
        SceneDataItem item;
        item.kind = SceneDataItem::kFloats;
        item.line = line.number;
        for (long i = 0; i < count; ++i) {
            item.floats.push_back(single(line, static_cast<size_t>(i) + 2));
        }
        return item;
    }

    std::string name_;
    std::vector<Line> lines_;
    size_t position_ = 0;
    int lastLine_ = 0;
};

} // namespace

std::string FormatScene(const Scene &scene) {
    std::string out = std::string(kHeader) + " " + std::to_string(kFormatVersion) + "\n";
    out += "time " + FormatDouble(scene.time) + "\n";
    for (const SceneCamera &cam : scene.cameras) {
        out += "camera " + cam.itemName + "\n";
        out += "position " + FormatDouble(cam.position[0]) + " " + FormatDouble(cam.position[1]) +
               " " + FormatDouble(cam.position[2]) + "\n";
        out += "rotation " + FormatDouble(cam.rotation[0]) + " " + FormatDouble(cam.rotation[1]) +
               " " + FormatDouble(cam.rotation[2]) + "\n";
        out += "server " + cam.className + " " + cam.serverName + "\n";
        for (const SceneDataItem &item : cam.data) {
            if (item.kind == SceneDataItem::kParam) {
                out += "param " + item.channelName + " " +
                       HexText(static_cast<unsigned>(item.typeCode)) + " " +
                       FormatDouble(item.value) + " " + std::to_string(item.keys.size()) + "\n";
                for (const Key &key : item.keys) {
                    out += "key " + FormatDouble(key.time) + " " + FormatDouble(key.value) + "\n";
                }
            } else {
                out += "floats " + std::to_string(item.floats.size());
                for (float value : item.floats) {
                    out += " " + FloatText(value);
                }
                out += "\n";
            }
        }
        out += "end\n";
    }
    return out;
}

Scene ParseScene(const std::string &text, const std::string &name) {
    return Parser(text, name).parse();
}

Scene ReadSceneFile(const std::string &path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(status)) {
        throw HostError(path + ": is a directory, not a scene file");
    }
    const std::string tooLarge = path + ": larger than " +
                                 std::to_string(kMaxSceneFileBytes / (1024 * 1024)) +
                                 " MiB, the most a scene file may hold (a camera takes a few "
                                 "kilobytes)";
    if (std::filesystem::is_regular_file(status) &&
        std::filesystem::file_size(path, error) > kMaxSceneFileBytes) {
        throw HostError(tooLarge);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw HostError(path + ": cannot open the scene file (" + std::strerror(errno) + ")");
    }
    // Read in pieces, and never more than the limit: a device or a pipe has no size to check.
    std::string text;
    try {
        char piece[64 * 1024];
        while (in.read(piece, sizeof piece) || in.gcount() > 0) {
            text.append(piece, static_cast<size_t>(in.gcount()));
            if (text.size() > kMaxSceneFileBytes) {
                throw HostError(tooLarge);
            }
        }
    } catch (const std::bad_alloc &) {
        throw HostError(path + ": out of memory reading the scene file");
    }
    if (in.bad()) {
        throw HostError(path + ": cannot read the scene file");
    }
    return ParseScene(text, path);
}

void WriteSceneFile(const std::string &path, const Scene &scene) {
    OutputFile file(path);
    file.write(FormatScene(scene));
    file.commit();
}

} // namespace minihost
