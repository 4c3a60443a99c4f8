#pragma once

// Names of the camera's animation channels, as the user sees them in the host.
constexpr char kFovChannel[] = "FOV";
constexpr char kHShiftChannel[] = "HShift";
constexpr char kVShiftChannel[] = "VShift";
constexpr char kTiltDirectionChannel[] = "TiltDirection";
constexpr char kTiltAngleChannel[] = "TiltAngle";
