#pragma once

#include "environment.h"
#include "files_in.h"
#include "image.h"
#include "image_io.h"
#include "minihost/output_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

inline const double kPi = M_PI;
inline const double kDegree = kPi / 180.0;

struct Result {
    int status;
    std::string out;
    std::string err;
};

inline std::string Slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string Quote(const std::string &word) {
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// An RGB image of one value.
inline Image Uniform(int width, int height, float value) {
    Image image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height * 3, value);
    return image;
}

// Writes an image of data as it is: the format from the name, values untouched.
inline void WriteImageFile(const std::string &path, const Image &image, int bits) {
    minihost::OutputFile file(path);
    WriteImage(file.stream(), file.writingPath(), path, image, FormatFor(path), bits,
               ColourMode::kRaw);
    file.commit();
}

// An image's values as they are stored, scaled to 0 to 1 for integer formats.
inline Image ReadImageFile(const std::string &path) {
    return ReadImage(path, ColourMode::kRaw);
}

// A scratch folder per test, so a test can also prove it leaves nothing behind.
class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process number keeps runs of several builds at once apart.
        dir = ::testing::TempDir() + "orvalen_render_" + std::to_string(getpid()) + "_" +
              info->name();
        std::system(("rm -rf " + Quote(dir)).c_str());
        mkdir(dir.c_str(), 0755);
    }
    void TearDown() override { std::system(("rm -rf " + Quote(dir)).c_str()); }

    std::string Path(const std::string &name) const { return dir + "/" + name; }

    // The renderer's command line, quoted for the shell.
    static std::string Command(const std::vector<std::string> &args) {
        std::string command = Quote(ORVALEN_RENDER_PATH);
        for (const std::string &arg : args) {
            command += " " + Quote(arg);
        }
        return command;
    }

    Result Render(const std::vector<std::string> &args) const { return Shell(Command(args)); }

    // Runs a shell script in the scratch folder; a status of -1 means it did not exit.
    Result Shell(const std::string &script) const {
        const std::string out = dir + "/.stdout", err = dir + "/.stderr";
        const std::string command =
            "cd " + Quote(dir) + " && (" + script + ") >" + Quote(out) + " 2>" + Quote(err);
        const int raw = std::system(command.c_str());
        Result result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
        std::remove(out.c_str());
        std::remove(err.c_str());
        return result;
    }

    std::vector<std::string> Files() const { return FilesIn(dir); }

    // A 16-bit panorama whose red and green say where each texel looks: red the longitude
    // fraction, green the latitude fraction, both at texel centres, so that bilinear
    // filtering reproduces them exactly away from the seam and the poles.
    std::string DirectionCodedPanorama() const {
        Image image;
        image.width = 720;
        image.height = 360;
        image.pixels.resize(720 * 360 * 3);
        for (int y = 0; y < 360; ++y) {
            for (int x = 0; x < 720; ++x) {
                float *p = image.pixel(x, y);
                p[0] = (x + 0.5f) / 720;
                p[1] = (y + 0.5f) / 360;
                p[2] = 0.0f;
            }
        }
        const std::string path = Path("coded.png");
        WriteImageFile(path, image, 16);
        return path;
    }

    std::string dir;
};
