#include "files_in.h"
#include "minihost/host.h"
#include "minihost/scene_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

const char kGood[] = "orvalen-scene 1\n"
                     "time 0.5\n"
                     "# a comment\n"
                     "camera Main Camera\n"
                     "position 1 2 3\n"
                     "rotation 0 -1.5707963267948966 0\n"
                     "server CameraHandler Orvalen0.1.0\n"
                     "param FOV 0x10 1.5707963267948966 2\n"
                     "key 0 1\n"
                     "key 24 3\n"
                     "param HShift 0x20 0.10000000000000001 0\n"
                     "floats 2 1.57079637 0.100000001\n"
                     "end\n";

TEST(SceneFile, ReadsWhatItSays) {
    const minihost::Scene scene = minihost::ParseScene(kGood, "good.scene");
    EXPECT_EQ(scene.time, 0.5);
    ASSERT_EQ(scene.cameras.size(), 1u);
    const minihost::SceneCamera &cam = scene.cameras[0];
    EXPECT_EQ(cam.itemName, "Main Camera");
    EXPECT_EQ(cam.position[2], 3.0);
    EXPECT_EQ(cam.rotation[1], -M_PI / 2);
    EXPECT_EQ(cam.className, "CameraHandler");
    ASSERT_EQ(cam.data.size(), 3u);
    EXPECT_EQ(cam.data[0].channelName, "FOV");
    EXPECT_EQ(cam.data[0].typeCode, 0x10);
    ASSERT_EQ(cam.data[0].keys.size(), 2u);
    EXPECT_EQ(cam.data[0].keys[1].time, 24.0);
    EXPECT_EQ(cam.data[1].value, 0.1);
    EXPECT_EQ(cam.data[2].floats, (std::vector<float>{static_cast<float>(M_PI / 2), 0.1f}));
    EXPECT_EQ(cam.data[0].line, 8);
}

TEST(SceneFile, NumbersRoundTripBitForBit) {
    std::mt19937_64 random(99);
    std::uniform_int_distribution<std::uint64_t> bits;
    minihost::Scene scene;
    scene.cameras.emplace_back();
    minihost::SceneCamera &cam = scene.cameras[0];
    cam.itemName = "Camera";
    cam.className = "CameraHandler";
    cam.serverName = "Orvalen0.1.0";
    minihost::SceneDataItem param;
    minihost::SceneDataItem floats;
    floats.kind = minihost::SceneDataItem::kFloats;
    int made = 0;
    while (made < 500) {
        std::uint64_t pattern = bits(random);
        double d;
        std::memcpy(&d, &pattern, sizeof d);
        float f;
        std::uint32_t half = static_cast<std::uint32_t>(pattern >> 13);
        std::memcpy(&f, &half, sizeof f);
        if (!std::isfinite(d) || !std::isfinite(f)) {
            continue;
        }
        param.keys.push_back({static_cast<double>(made), d});
        floats.floats.push_back(f);
        ++made;
    }
    param.channelName = "FOV";
    param.typeCode = 0x10;
    param.value = -0.0;
    cam.data = {param, floats};
    cam.position[0] = 1e-310; // subnormal
    const minihost::Scene back = minihost::ParseScene(minihost::FormatScene(scene), "random.scene");
    const auto &got = back.cameras.at(0).data;
    ASSERT_EQ(got.size(), 2u);
    ASSERT_EQ(got[0].keys.size(), 500u);
    ASSERT_EQ(got[1].floats.size(), 500u);
    for (size_t i = 0; i < 500; ++i) {
        EXPECT_EQ(std::memcmp(&got[0].keys[i].value, &param.keys[i].value, sizeof(double)), 0)
            << "double " << i << " " << param.keys[i].value;
        EXPECT_EQ(std::memcmp(&got[1].floats[i], &floats.floats[i], sizeof(float)), 0)
            << "float " << i << " " << floats.floats[i];
    }
    EXPECT_TRUE(std::signbit(got[0].value));
    EXPECT_EQ(back.cameras[0].position[0], 1e-310);
}

TEST(SceneFile, MalformedFilesNameTheFileAndLine) {
    const std::string head = "orvalen-scene 1\ncamera C\nserver CameraHandler X\n";
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"", "bad.scene:0: the file ends where the header should follow"},
        {"scene 1\n", "bad.scene:1: not a scene file"},
        {"orvalen-scene 2\n", "bad.scene:1: scene format version 2"},
        {"orvalen-scene 1\ntime soon\n", "bad.scene:2: 'soon' is not a number"},
        {"orvalen-scene 1\ntime nan\n", "bad.scene:2: 'nan' is not a number"},
        {"orvalen-scene 1\ntime 0x10\n", "bad.scene:2: '0x10' is not a number"},
        {"orvalen-scene 1\ntime +.5e\n", "bad.scene:2: '+.5e' is not a number"},
        {"orvalen-scene 0x1\n", "bad.scene:1: '0x1' is not a whole number"},
        {"orvalen-scene 1\ntime 1e999\n", "bad.scene:2: '1e999' is not a finite number"},
        {"orvalen-scene 1\ntime 1 2\n", "bad.scene:2: 'time' takes 1 value, found 2"},
        {"orvalen-scene 1\nlights on\n", "bad.scene:2: unknown statement 'lights'"},
        {head, "bad.scene:3: the file ends where 'end' of camera C should follow"},
        {head + "param FOV 0x10 1 2\nkey 0 1\n", "bad.scene:5: the file ends where key 2"},
        {head + "param FOV 0x10 1 2\nkey 0 1\nend\n",
         "bad.scene:6: parameter FOV has 2 keys, found only 1"},
        {head + "param FOV 0x10 1 2\nkey 1 1\nkey 1 2\nend\n",
         "bad.scene:6: key times of parameter FOV must increase"},
        {head + "param FOV 16 1 0\nend\n", "bad.scene:4: type code '16' is not written in hex"},
        {head + "param FOV 0x10 1 -1\nend\n", "bad.scene:4: a parameter cannot have -1 keys"},
        {head + "param FOV 0x10 1 99999999999\nend\n",
         "bad.scene:4: '99999999999' is not a whole number"},
        {head + "param FOV 0x10 1\nend\n", "bad.scene:4: 'param' takes 4 values, found 3"},
        {head + "param FOV 16 1 0\nend\n",
         "bad.scene:4: type code '16' is not written in hex (0x...)"},
        {head + "param FOV 0x1g 1 0\nend\n", "bad.scene:4: type code '0x1g' is not written in hex"},
        {head + "floats 5 1 2 3\nend\n", "bad.scene:4: 'floats' takes 6 values, found 4"},
        {head + "floats 1 1e40\nend\n", "bad.scene:4: '1e40' is not a finite single-precision"},
        {head + "floats 1 x\nend\n", "bad.scene:4: 'x' is not a number"},
        {head + "floats 100000000\nend\n", "bad.scene:4: a float block of 100000000 values"},
        {head + "zoom 2\nend\n", "bad.scene:4: unknown statement 'zoom' in camera C"},
        {"orvalen-scene 1\ncamera C\nend\n", "bad.scene:2: camera C names no server"},
        {std::string("orvalen-scene 1\ntime 1\0x\n", 24), "bad.scene:2: the line holds a NUL"},
    };
    for (const Case &c : cases) {
        try {
            minihost::ParseScene(c.text, "bad.scene");
            ADD_FAILURE() << "accepted:\n" << c.text;
        } catch (const minihost::HostError &e) {
            EXPECT_EQ(std::string(e.what()).find(c.message), 0u)
                << "got: " << e.what() << "\nwanted: " << c.message;
        }
    }
}

TEST(SceneFile, MissingFileIsAnError) {
    EXPECT_THROW(minihost::ReadSceneFile("/nonexistent/x.scene"), minihost::HostError);
}

TEST(SceneFile, FailedWriteKeepsThePreviousFileAndLeavesNoTemporary) {
    const std::string dir = testing::TempDir() + "orvalen_write_test";
    std::filesystem::create_directory(dir);
    const std::string path = dir + "/scene";
    minihost::Scene first = minihost::ParseScene(kGood, "good");
    minihost::WriteSceneFile(path, first);
    const minihost::Scene back = minihost::ReadSceneFile(path);
    EXPECT_EQ(back.time, 0.5);

    // A directory in the way makes the rename fail after the new text is fully written.
    const std::string blocked = dir + "/blocked";
    std::filesystem::create_directory(blocked);
    EXPECT_THROW(minihost::WriteSceneFile(blocked, first), minihost::HostError);
    EXPECT_THROW(minihost::WriteSceneFile(dir + "/missing/scene", first), minihost::HostError);
    EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"blocked", "scene"}));
    EXPECT_EQ(minihost::ReadSceneFile(path).time, 0.5);
    std::remove(path.c_str());
    std::filesystem::remove(blocked);
    std::filesystem::remove(dir);
}

} // namespace
