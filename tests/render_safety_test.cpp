// The renderer never harms a user's files, never crashes and keeps to its limits, whatever it
// is given.

#include "render_fixture.h"

#include <cstdint>
#include <cstring>
#include <unistd.h>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Sanitizers reserve far more address space than the limits these tests set.
constexpr bool kAddressSpaceLimitsWork = false;
#else
constexpr bool kAddressSpaceLimitsWork = true;
#endif

using RenderSafetyTest = RenderTest;

bool IsPng(const std::string &path) {
    return Slurp(path).rfind("\x89PNG\r\n\x1a\n", 0) == 0;
}

bool IsLink(const std::string &path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool IsFifo(const std::string &path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

// The CRC of a PNG chunk (ISO 3309), as the file format asks.
std::uint32_t Crc32(const std::string &bytes) {
    std::uint32_t crc = 0xffffffffu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// A PNG whose header claims a size, with no pixels behind it: an empty data chunk, the end.
void WritePngHeaderOnly(const std::string &path, std::uint32_t width, std::uint32_t height) {
    auto word = [](std::string *out, std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            out->push_back(static_cast<char>((value >> shift) & 0xff));
        }
    };
    std::string chunk = "IHDR";
    word(&chunk, width);
    word(&chunk, height);
    chunk += std::string("\x08\x02\x00\x00\x00", 5);
    std::string file = "\x89PNG\r\n\x1a\n";
    word(&file, 13);
    file += chunk;
    word(&file, Crc32(chunk));
    const std::string data = "IDAT";
    word(&file, 0);
    file += data;
    word(&file, Crc32(data));
    file += std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12);
    std::ofstream(path, std::ios::binary) << file;
}

void CopyPrefix(const std::string &from, const std::string &to, size_t bytes) {
    std::ofstream(to, std::ios::binary) << Slurp(from).substr(0, bytes);
}

TEST_F(RenderSafetyTest, OutputsThroughLinksAndPipesKeepThem) {
    const std::string small = " --size 8x8 --samples 1 ";
    const std::string render = Command({}) + small;
    struct Case {
        const char *what;
        std::string script;
        std::vector<const char *> links, fifos, pngs;
    };
    const Case cases[] = {
        {"a link to an image: the image is replaced, the link stays",
         "printf old > target.png && ln -s target.png link.png && " + render + "--out link.png",
         {"link.png"},
         {},
         {"target.png", "link.png"}},
        {"a link to nothing yet: the file it names is made",
         "ln -s made.png dangling.png && " + render + "--out dangling.png",
         {"dangling.png"},
         {},
         {"made.png"}},
        {"a link to a scene: the scene is replaced, the link stays",
         "printf old > cam.scene && ln -s cam.scene s.link && " + render +
             "--out o.png --save-scene s.link && grep -q orvalen-scene cam.scene",
         {"s.link"},
         {},
         {"o.png"}},
        {"a FIFO is written, not replaced",
         "mkfifo pipe.png && (cat pipe.png > copy.png &) && " + render + "--out pipe.png",
         {},
         {"pipe.png"},
         {"copy.png"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::system(("rm -rf " + Quote(dir) + "/*").c_str());
        const Result r = Shell(c.script + " && sleep 0.2");
        ASSERT_EQ(r.status, 0) << r.err;
        for (const char *link : c.links) {
            EXPECT_TRUE(IsLink(Path(link))) << link;
        }
        for (const char *fifo : c.fifos) {
            EXPECT_TRUE(IsFifo(Path(fifo))) << fifo;
        }
        for (const char *png : c.pngs) {
            EXPECT_TRUE(IsPng(Path(png))) << png;
        }
        for (const std::string &name : Files()) {
            EXPECT_EQ(name.find(".png."), std::string::npos) << "a temporary file stayed: " << name;
        }
    }
}

TEST_F(RenderSafetyTest, WriteErrorsFailAndKeepThePreviousFile) {
    const std::string render = Command({"--size", "256x256", "--samples", "1"});
    struct Case {
        const char *what;
        std::string script;
        const char *message;
    };
    const Case cases[] = {
        // A limit on file size fails a write the way a full disk does.
        {"a full disk", "ulimit -f 2 && " + render + " --out out.png", "File too large"},
        {"a pipe nobody reads to the end",
         "mkfifo early.png && (head -c 8 early.png > got &) && " + render + " --out early.png",
         "Broken pipe"},
        {"a full disk under the scene",
         "ulimit -f 2 && " + render + " --out o.png --save-scene big.scene", "File too large"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::system(("rm -rf " + Quote(dir) + "/*").c_str());
        std::ofstream(Path("out.png")) << "previous";
        const Result r = Shell(c.script);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(Slurp(Path("out.png")), "previous");
        for (const std::string &name : Files()) {
            EXPECT_TRUE(name == "out.png" || name == "early.png" || name == "got" ||
                        name == "o.png.keep")
                << "left behind: " << name;
        }
    }
}

TEST_F(RenderSafetyTest, InterruptedRunsLeaveNoTemporaryFile) {
    struct Case {
        const char *signal;
        int status;
    };
    const Case cases[] = {{"INT", 130}, {"TERM", 143}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.signal);
        std::ofstream(Path("out.png")) << "previous";
        const std::string script =
            Command({"--size", "3000x3000", "--samples", "3", "--threads", "1", "--out", "out.png",
                     "--save-scene", "s.scene"}) +
            " & pid=$!; n=0; while [ -z \"$(ls out.png.* 2>/dev/null)\" ] && [ $n -lt 1000 ]; "
            "do sleep 0.01; n=$((n+1)); done; sleep 0.2; kill -" +
            c.signal + " $pid; wait $pid; echo $?";
        const Result r = Shell(script);
        EXPECT_EQ(r.out, std::to_string(c.status) + "\n") << r.err;
        EXPECT_EQ(Slurp(Path("out.png")), "previous");
        EXPECT_EQ(Files(), std::vector<std::string>{"out.png"});
    }
}

TEST_F(RenderSafetyTest, ACutModuleFileIsRefusedAndAWholeOneLoadsWithoutASlash) {
    CopyPrefix(ORVALEN_MODULE_PATH, Path("cut.p"), 4000);
    const Result cut = Render({"--module", Path("cut.p"), "--size", "8x8", "--out", Path("o.png")});
    EXPECT_EQ(cut.status, 1) << cut.err;
    EXPECT_NE(cut.err.find("cut.p: not a module the host can load ("), std::string::npos)
        << cut.err;
    EXPECT_NE(cut.err.find("cut short"), std::string::npos) << cut.err;

    // A name without a slash is a file in the current directory, not a library to look up.
    std::ofstream(Path("good.p"), std::ios::binary) << Slurp(ORVALEN_MODULE_PATH);
    const Result good = Shell(Command({"--module", "good.p", "--size", "8x8", "--out", "o.png"}));
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_TRUE(IsPng(Path("o.png")));
}

TEST_F(RenderSafetyTest, ThreadsTheSystemRefusesAreDoneWithout) {
    if (!kAddressSpaceLimitsWork) {
        GTEST_SKIP() << "sanitizers need more address space than the limit leaves";
    }
    const Result r = Shell("ulimit -v 1000000 && " +
                           Command({"--threads", "256", "--size", "64x64", "--out", "o.png"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("of the 256 render threads asked for"), std::string::npos) << r.err;
    EXPECT_TRUE(IsPng(Path("o.png")));
}

TEST_F(RenderSafetyTest, LimitsAreCheckedBeforeMemoryIsTaken) {
    WritePngHeaderOnly(Path("bomb.png"), 20000, 10000);
    const Result bomb = Render({"--env", Path("bomb.png"), "--out", Path("o.png")});
    EXPECT_EQ(bomb.status, 1);
    EXPECT_NE(bomb.err.find("a 20000x10000 panorama takes 2.8 GiB to read, more than the "
                            "renderer's limit of 2.0 GiB"),
              std::string::npos)
        << bomb.err;

    std::ofstream(Path("huge.scene")) << std::string(17 * 1024 * 1024, '#');
    const Result huge = Render({"--scene", Path("huge.scene"), "--out", Path("o.png")});
    EXPECT_EQ(huge.status, 1);
    EXPECT_NE(huge.err.find("larger than 16 MiB"), std::string::npos) << huge.err;
    // A pipe has no size to check first: reading stops at the limit.
    const Result endless = Shell("mkfifo endless.scene && (yes '# padding' > endless.scene &) && " +
                                 Command({"--scene", "endless.scene", "--out", "o.png"}));
    EXPECT_EQ(endless.status, 1);
    EXPECT_NE(endless.err.find("larger than 16 MiB"), std::string::npos) << endless.err;

    if (kAddressSpaceLimitsWork) {
        WritePngHeaderOnly(Path("large.png"), 16384, 8192);
        const Result large =
            Shell("ulimit -v 1000000 && " + Command({"--env", "large.png", "--out", "o.png"}));
        EXPECT_EQ(large.status, 1);
        EXPECT_NE(large.err.find("large.png: out of memory for the 16384x8192 panorama (1.9 GiB)"),
                  std::string::npos)
            << large.err;
    }
    EXPECT_FALSE(IsPng(Path("o.png")));
}

TEST_F(RenderSafetyTest, OutputsAreWrittenOnlyWhenEverythingWorked) {
    WriteImageFile(Path("pano.png"), Uniform(64, 32, 0.5f), 8);
    const std::string pano = Slurp(Path("pano.png"));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"--save-scene", Path("s.scene"), "--out", Path("nowhere/x.png")},
         1,
         "x.png: cannot write"},
        {{"--save-scene", Path("s.scene"), "--env", Path("cut.png")}, 1, "cut short"},
        {{"--save-scene", ""}, 2, "--save-scene needs a file name"},
        {{"--env", Path("pano.png"), "--out", Path("pano.png")}, 2, "names the file --env reads"},
        {{"--save-scene", Path("pano.png"), "--env", Path("pano.png")},
         2,
         "names the file --env reads"},
    };
    CopyPrefix(Path("pano.png"), Path("cut.png"), 60);
    for (const Case &c : cases) {
        std::vector<std::string> args = {"--size", "8x8", "--out", Path("o.png")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = Render(args);
        EXPECT_EQ(r.status, c.status) << c.message << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(Slurp(Path("pano.png")), pano);
        EXPECT_EQ(Files(), (std::vector<std::string>{"cut.png", "pano.png"})) << c.message;
    }
}

TEST_F(RenderSafetyTest, EachMistakeNamesItsCause) {
    std::system(("mkdir " + Quote(Path("adir"))).c_str());
    WriteImageFile(Path("pano.png"), Uniform(64, 32, 0.5f), 8);
    CopyPrefix(Path("pano.png"), Path("cut.png"), 100);
    std::ofstream(Path("typed.scene"))
        << "orvalen-scene 1\ntime 0\ncamera Camera\nposition 0 0 0\nrotation 0 0 0\n"
           "server CameraHandler Orvalen0.1.0\nparam FOV 0x20 1 0\nend\n";
    std::ofstream(Path("hex.scene")) << "orvalen-scene 1\ntime 0x10\n";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"--out", "."}, 1, ".: is a directory"},
        {{"--out", Path("adir") + "/"}, 1, "adir/: is a directory"},
        {{"--out", Path("adir")}, 1, "adir: is a directory"},
        {{"--env", Path("adir")}, 1, "adir: is a directory, not an image"},
        {{"--scene", Path("adir")}, 1, "adir: is a directory, not a scene file"},
        {{"--module", Path("adir")}, 1, "adir: is a directory, not a module file"},
        {{"--env", Path("cut.png")},
         1,
         "cut.png: cannot read the image (the file ends early: it is cut short)"},
        {{"--scene", Path("typed.scene")},
         1,
         "typed.scene:7: parameter FOV has type code 0x20, the camera's has 0x10"},
        {{"--scene", Path("hex.scene")}, 1, "hex.scene:2: '0x10' is not a number"},
        {{"--size", "5x5x5"}, 2, "--size: '5x5x5' is not WIDTHxHEIGHT"},
        {{"pano.png"},
         2,
         "orvalen-render takes no arguments other than options, and 'pano.png' is none (for a "
         "panorama to look at, --env pano.png"},
        {{"--fov", "0x10"}, 2, "--fov: '0x10' is not a finite decimal number"},
        {{"--fov", " 10"}, 2, "--fov: ' 10' is not a finite decimal number"},
        {{"--samples", "+2"}, 2, "--samples: '+2' is not a whole number"},
        {{"--panel", "--env", Path("nothing.png"), "--size", "8x8"},
         2,
         "--panel prints the settings panel and renders nothing, so --env, --size would have no "
         "effect"},
        {{"--host-without", "Nothing"},
         2,
         "--host-without: the host has no service 'Nothing' to leave out (it has 'LWVParmFuncs "
         "2', "},
        {{"--panel=yes"}, 2, "--panel takes no value"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {"--size", "8x8"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = Shell(Command(args));
        EXPECT_EQ(r.status, c.status) << c.message << "\ngot: " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.message << "\ngot: " << r.err;
    }
}

TEST_F(RenderSafetyTest, SettingsThatCannotDoWhatWasMeantAreRenderedWithAWarning) {
    struct Case {
        std::vector<std::string> args;
        std::string warning;
    };
    const Case cases[] = {
        {{"--time", "1"}, "--time 1 changes nothing: no channel of the camera is keyed"},
        {{"--fov", "-10"},
         "FOV -10 degrees is outside the range of the settings panel's Vertical FOV (minimum 0 "
         "degrees)"},
        {{"--hshift", "20"},
         "HShift 2000 % is outside the range of the settings panel's Horizontal Shift (minimum "
         "-1000 %, maximum 1000 %)"},
        {{"--key", "VShift=0:0,1:-11"}, "VShift -1100 % is outside the range"},
        {{"--fov=90", "--hshift=0.1"}, ""},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {"--size", "8x8", "--out", Path("o.png")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = Render(args);
        EXPECT_EQ(r.status, 0) << r.err;
        if (c.warning.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_EQ(r.err.rfind("orvalen-render: warning: " + c.warning, 0), 0u) << r.err;
        }
        EXPECT_TRUE(IsPng(Path("o.png")));
    }
}

TEST_F(RenderSafetyTest, RaysPerSecondTimeTheRenderAlone) {
    const Result r = Render({"--size", "8x8", "--samples", "1", "--out", Path("o.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    const size_t in = r.out.find(" rays in ");
    ASSERT_NE(in, std::string::npos) << r.out;
    // 64 rays take far less than the progress bar's tenth of a second between looks.
    EXPECT_LT(std::stod(r.out.substr(in + 9)), 0.05) << r.out;
}

} // namespace
