#pragma once

#include "minihost/envelope.h"

#include <cstdint>
#include <string>
#include <vector>

namespace minihost {

// One item of a plug-in's data as the host stores it: a parameter (its channel, type code,
// plain value and keys) or a block of floats.
struct SceneDataItem {
    enum Kind { kParam, kFloats } kind = kParam;
    int line = 0; // where it stands in the file, 0 if it was never read from one
    std::string channelName;
    int typeCode = 0;
    double value = 0.0;
    std::vector<Key> keys;
    std::vector<float> floats;
};

// A camera item with the data its camera handler saved.
struct SceneCamera {
    int line = 0;
    std::string itemName;
    double position[3] = {0.0, 0.0, 0.0};
    double rotation[3] = {0.0, 0.0, 0.0}; // heading, pitch, bank in radians
    std::string className;
    std::string serverName;
    std::vector<SceneDataItem> data;
};

struct Scene {
    double time = 0.0;
    std::vector<SceneCamera> cameras;
};

// The stand-in host's scene file: plain text, one statement a line, numbers written so that
// reading them gives back the same bits:
//
//   orvalen-scene 1
//   time 0
//   camera Camera
//   position 0 0 0
//   rotation 0 -1.5707963267948966 0
//   server CameraHandler Orvalen0.1.0
//   param FOV 0x10 1.5707963267948966 2
//   key 0 1.5707963267948966
//   key 24 3.1415926535897931
//   floats 5 1.57079637 0 0 0 0
//   end
//
// Blank lines and lines starting with # are ignored.
std::string FormatScene(const Scene &scene);

// Throws HostError "NAME:LINE: what is wrong" for anything malformed, truncated or not a
// finite number; a scene it returns holds only what the text says.
Scene ParseScene(const std::string &text, const std::string &name);

// The most a scene file may hold; a camera's data takes a few kilobytes.
constexpr std::uintmax_t kMaxSceneFileBytes = 16 * 1024 * 1024;

// Throws HostError for a directory, a file over the limit, or one that cannot be read.
Scene ReadSceneFile(const std::string &path);

// Writes a temporary file beside path and renames it into place, so a failed write leaves
// the previous scene as it was. Throws HostError naming the file.
void WriteSceneFile(const std::string &path, const Scene &scene);

} // namespace minihost
