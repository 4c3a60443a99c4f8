#pragma once

#include "environment.h"
#include "image.h"
#include "minihost/session.h"

#include <functional>
#include <stdexcept>

struct RenderSettings {
    int width;
    int height;
    int samples; // per side of a pixel
    int threads;
    // Film positions more than half the field of view off axis (outside the circle as wide as
    // the film is high, around the shifted centre) are left transparent: the image gets an
    // alpha channel, the colour premultiplied by it.
    bool mask = false;
};

// Called about ten times a second, from a thread of its own, with the fraction of rows done.
using Progress = std::function<void(double fractionDone)>;

struct RenderResult {
    Image image;
    int threads = 0;      // render threads that ran, the calling one included
    double seconds = 0.0; // from the first ray to the last
};

// An error of the render itself, such as no memory for the image.
class RenderError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Renders the camera's view of the environment, one CameraEvaluate per sample, rows spread
// over the threads. Every pixel depends only on its own samples, so the image is the same for
// any number of threads. Threads the system refuses are done without: the calling thread
// renders at least. Throws RenderError when the image cannot be allocated.
RenderResult Render(minihost::Camera &camera, const Environment &environment,
                    const RenderSettings &settings, const Progress &progress);
