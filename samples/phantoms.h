// Synthetic but anatomically plausible pictures for the bundled samples and the benchmark
// data: a CT slice in Hounsfield units, an MR head, X-ray and cine scenes. Every picture is a
// pure function of its arguments (noise comes from a seeded generator), so builds repeat
// byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vs::samples {

// A row-major picture of real values; the samplers convert it to stored values.
struct Canvas {
    int width = 0, height = 0;
    std::vector<float> value;

    Canvas(int w, int h, float fill) : width(w), height(h), value(std::size_t(w) * std::size_t(h), fill) {}
    float& at(int x, int y) { return value[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// Axial chest CT at relative height z (0 = lower abdomen edge, 1 = lung apex), in HU.
// Outside the circular field of view the value is -2000, as scanners commonly write.
Canvas ctChest(int size, double z, uint32_t seed);

// Axial T1-like MR head at relative height z (0 = skull base, 1 = vertex), in signal units.
Canvas mrHead(int size, double z, uint32_t seed);

// Chest radiograph as detector exposure (air high, bone low), 12-bit range.
Canvas xrayChest(int width, int height, uint32_t seed);

// Left ventricle in an 8-bit angiography-like view, at phase t in [0, 1) of one beat.
Canvas beatingHeart(int size, double t, uint32_t seed);

// CT perfusion slice in HU with a contrast bolus arriving at time t in [0, 1].
Canvas perfusion(int size, double t, uint32_t seed);

// Ultrasound sector with speckle and a valve-like reflector moving with phase t.
Canvas ultrasound(int size, double t, uint32_t seed);

// Rounds and clamps to [low, high].
std::vector<int32_t> toSamples(const Canvas& c, double offset, int32_t low, int32_t high);

}  // namespace vs::samples
