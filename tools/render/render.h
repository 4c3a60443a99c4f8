#pragma once

#include "environment.h"
#include "image.h"
#include "minihost/session.h"

#include <functional>

struct RenderSettings {
    int width;
    int height;
    int samples; // per side of a pixel
    int threads;
};

// Called about ten times a second, from a thread of its own, with the fraction of rows done.
using Progress = std::function<void(double fractionDone)>;

// Renders the camera's view of the environment, one CameraEvaluate per sample, rows spread
// over the threads. Every pixel depends only on its own samples, so the image is the same for
// any number of threads.
Image Render(minihost::Camera &camera, const Environment &environment,
             const RenderSettings &settings, const Progress &progress);
