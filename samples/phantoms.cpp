#include "samples/phantoms.h"

#include <algorithm>
#include <cmath>

namespace vs::samples {

namespace {

constexpr double pi = 3.14159265358979323846;

// xorshift32: small, fast and the same on every machine.
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    double uniform() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state * (1.0 / 4294967296.0);
    }
    // Sum of four uniforms: close enough to a normal distribution for image noise.
    double gauss() { return (uniform() + uniform() + uniform() + uniform() - 2.0) * 1.7320508; }
};

// Shapes are given in normalised coordinates: -1..1 across the picture's width, the same
// scale down its height (centred), y pointing down.
double nx(const Canvas& c, int x) { return (x + 0.5) * 2.0 / c.width - 1.0; }
double ny(const Canvas& c, int y) { return (y + 0.5) * 2.0 / c.width - double(c.height) / c.width; }

// Calls f(x, y, d) for every pixel inside the ellipse, d = normalised radius (0 centre, 1 edge).
template <typename F>
void forEllipse(Canvas& c, double cx, double cy, double rx, double ry, double angle, F f) {
    const double reach = std::max(rx, ry);
    const double half = c.width / 2.0;
    const int x0 = std::max(0, int(std::floor((cx - reach + 1.0) * half)));
    const int x1 = std::min(c.width - 1, int(std::ceil((cx + reach + 1.0) * half)));
    const double top = double(c.height) / c.width;
    const int y0 = std::max(0, int(std::floor((cy - reach + top) * half)));
    const int y1 = std::min(c.height - 1, int(std::ceil((cy + reach + top) * half)));
    const double ca = std::cos(angle), sa = std::sin(angle);
    for (int y = y0; y <= y1; ++y) {
        const double dy = ny(c, y) - cy;
        for (int x = x0; x <= x1; ++x) {
            const double dx = nx(c, x) - cx;
            const double a = (dx * ca + dy * sa) / rx;
            const double b = (-dx * sa + dy * ca) / ry;
            const double d = a * a + b * b;
            if (d <= 1.0) f(x, y, d);
        }
    }
}

void fill(Canvas& c, double cx, double cy, double rx, double ry, double angle, float value) {
    forEllipse(c, cx, cy, rx, ry, angle, [&](int x, int y, double) { c.at(x, y) = value; });
}

}  // namespace

Canvas ctChest(int size, double z, uint32_t seed) {
    Canvas c(size, size, -1000.0f);
    Noise noise(seed);
    const double lungScale = z < 0.2 ? 0.0 : std::sin(pi * std::min(1.0, (z - 0.2) / 0.85));
    const bool heart = z > 0.2 && z < 0.7;
    const bool liver = z < 0.35;

    // Patient table under the body.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double u = nx(c, x), v = ny(c, y);
            if (v > 0.64 && v < 0.69 && std::abs(u) < 0.8 - 0.4 * (v - 0.64)) c.at(x, y) = -150.0f;
        }
    fill(c, 0.0, 0.02, 0.80, 0.56, 0.0, -100.0f);  // subcutaneous fat
    fill(c, 0.0, 0.02, 0.74, 0.50, 0.0, 45.0f);    // chest wall muscle
    fill(c, 0.0, 0.02, 0.68, 0.45, 0.0, 30.0f);    // mediastinum and organs

    // Ribs cut obliquely along the chest wall: cortex and marrow.
    for (double a : {-0.85, -0.74, -0.63, -0.37, -0.26, -0.15, 0.12, 0.22, 0.32, 0.68, 0.78, 0.88}) {
        const double cx = 0.705 * std::cos(a * pi), cy = 0.02 + 0.47 * std::sin(a * pi);
        fill(c, cx, cy, 0.036, 0.02, a * pi + pi / 2, 650.0f);
        fill(c, cx, cy, 0.022, 0.011, a * pi + pi / 2, 220.0f);
    }
    if (liver) fill(c, -0.25, 0.05, 0.40, 0.36, 0.3, 62.0f);
    if (lungScale > 0) {
        const float lung = -860.0f;
        fill(c, -0.34, 0.0, 0.27 * lungScale + 0.02, 0.37 * lungScale + 0.02, -0.12, lung);
        fill(c, 0.33, 0.0, 0.25 * lungScale + 0.02, 0.36 * lungScale + 0.02, 0.12, lung);
        // Pulmonary vessels: small round structures where the lung is.
        Noise placement(seed ^ 0x5A5A1234u);
        for (int i = 0; i < 140; ++i) {
            const double u = placement.uniform() * 1.3 - 0.65, v = placement.uniform() * 0.8 - 0.4;
            const double r = 0.004 + 0.012 * placement.uniform();
            forEllipse(c, u, v, r, r, 0.0, [&](int x, int y, double) {
                if (c.at(x, y) == lung) c.at(x, y) = 40.0f;
            });
        }
    }
    if (heart) {
        fill(c, 0.07, -0.02, 0.24, 0.19, -0.5, 42.0f);       // myocardium
        fill(c, 0.11, 0.0, 0.12, 0.09, -0.5, 180.0f);        // left ventricle, contrast enhanced
        fill(c, -0.02, -0.06, 0.08, 0.07, -0.3, 170.0f);     // right ventricle
        fill(c, -0.05, 0.16, 0.055, 0.055, 0.0, 190.0f);     // ascending aorta
    }
    fill(c, 0.09, 0.25, 0.05, 0.05, 0.0, 190.0f);  // descending aorta
    fill(c, 0.0, -0.41, 0.065, 0.028, 0.0, 520.0f);  // sternum
    fill(c, 0.0, -0.41, 0.05, 0.016, 0.0, 180.0f);
    // Vertebra: body, canal and the posterior elements.
    fill(c, 0.0, 0.33, 0.09, 0.08, 0.0, 750.0f);
    fill(c, 0.0, 0.33, 0.075, 0.066, 0.0, 240.0f);
    fill(c, 0.0, 0.52, 0.022, 0.07, 0.0, 620.0f);
    fill(c, -0.08, 0.45, 0.07, 0.02, 0.5, 600.0f);
    fill(c, 0.08, 0.45, 0.07, 0.02, -0.5, 600.0f);
    fill(c, 0.0, 0.44, 0.036, 0.032, 0.0, 15.0f);

    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float& v = c.at(x, y);
            const double u = nx(c, x), w = ny(c, y);
            if (u * u + w * w > 1.0) {
                v = -2000.0f;  // outside the reconstructed field of view
                continue;
            }
            v += float(noise.gauss() * (v < -900.0f ? 6.0 : 14.0));
        }
    return c;
}

Canvas mrHead(int size, double z, uint32_t seed) {
    Canvas c(size, size, 0.0f);
    Noise noise(seed);
    const double s = std::sqrt(std::max(0.08, 1.0 - std::pow((z - 0.3) / 0.8, 2.0)));
    fill(c, 0.0, 0.0, 0.78 * s, 0.92 * s, 0.0, 950.0f);  // scalp fat
    fill(c, 0.0, 0.0, 0.72 * s, 0.86 * s, 0.0, 90.0f);   // skull
    fill(c, 0.0, 0.0, 0.69 * s, 0.83 * s, 0.0, 260.0f);  // CSF
    fill(c, 0.0, 0.01, 0.665 * s, 0.80 * s, 0.0, 620.0f);  // cortex
    if (z > 0.15) {
        // White matter with a few gyral indentations of grey matter.
        fill(c, 0.0, 0.02, 0.53 * s, 0.68 * s, 0.0, 820.0f);
        for (int i = 0; i < 14; ++i) {
            const double a = 2 * pi * i / 14.0;
            fill(c, 0.5 * s * std::cos(a), 0.65 * s * std::sin(a), 0.06, 0.13, a, 620.0f);
        }
    }
    if (z > 0.35 && z < 0.75) {
        fill(c, -0.08, -0.04, 0.05, 0.24, 0.18, 230.0f);  // lateral ventricles
        fill(c, 0.08, -0.04, 0.05, 0.24, -0.18, 230.0f);
        fill(c, -0.2, 0.1, 0.07, 0.05, 0.0, 700.0f);      // basal ganglia
        fill(c, 0.2, 0.1, 0.07, 0.05, 0.0, 700.0f);
    }
    if (z < 0.2) {
        for (int side = -1; side <= 1; side += 2) {
            fill(c, side * 0.3, -0.7, 0.12, 0.12, 0.0, 300.0f);   // globes
            fill(c, side * 0.3, -0.8, 0.04, 0.02, 0.0, 500.0f);   // lenses
        }
    }
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float& v = c.at(x, y);
            const double bias = 1.0 + 0.15 * ny(c, y);  // receive coil shading
            v = float(std::abs(v * bias + noise.gauss() * 14.0));
        }
    return c;
}

Canvas xrayChest(int width, int height, uint32_t seed) {
    Canvas c(width, height, 3900.0f);
    Noise noise(seed);
    const double top = double(height) / width;
    fill(c, 0.0, 0.1 * top, 0.85, 0.95 * top, 0.0, 2300.0f);  // torso
    fill(c, -0.36, -0.05 * top, 0.30, 0.62 * top, 0.05, 3150.0f);  // lungs
    fill(c, 0.36, -0.05 * top, 0.28, 0.60 * top, -0.05, 3150.0f);
    fill(c, 0.08, 0.25 * top, 0.30, 0.26 * top, 0.4, 1700.0f);  // heart
    for (int y = 0; y < height; ++y) {
        const double v = ny(c, y);
        for (int x = 0; x < width; ++x) {
            const double u = nx(c, x);
            float& p = c.at(x, y);
            if (std::abs(u) < 0.07 && std::abs(v) < 0.95 * top) p = std::min(p, 1100.0f);  // spine
            // Ribs: curved bands across each lung field.
            for (int i = 0; i < 9; ++i) {
                const double centre = -0.55 * top + i * 0.12 * top + 0.35 * u * u;
                if (std::abs(v - centre) < 0.018 && std::abs(u) > 0.07 && std::abs(u) < 0.75) p -= 380.0f;
            }
            // Clavicles.
            if (std::abs(v - (-0.68 * top + 0.12 * std::abs(u))) < 0.025 && std::abs(u) < 0.55) p -= 450.0f;
            p += float(noise.gauss() * 25.0);
        }
    }
    return c;
}

Canvas beatingHeart(int size, double t, uint32_t seed) {
    Canvas c(size, size, 0.0f);
    Noise noise(seed);
    const double contraction = 0.5 - 0.5 * std::cos(2 * pi * t);  // 0 diastole, 1 systole
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double u = nx(c, x), v = ny(c, y);
            c.at(x, y) = u * u + v * v < 0.92 ? float(40.0 + 25.0 * (v + 1.0)) : 0.0f;
        }
    const double r = 0.34 - 0.08 * contraction;
    const double wall = 0.08 + 0.03 * contraction;
    fill(c, 0.02, 0.05, r + wall, (r + wall) * 1.35, 0.5, 110.0f);  // myocardium
    fill(c, 0.02, 0.05, r, r * 1.35, 0.5, 215.0f);                  // contrast-filled cavity
    // A catheter curving in from the top edge.
    for (int y = 0; y < size; ++y) {
        const double v = ny(c, y);
        const double u = -0.6 + 0.3 * std::sin(1.5 * (v + 1.0));
        const int x = int((u + 1.0) * size / 2.0);
        if (v < 0.1)
            for (int dx = 0; dx < std::max(2, size / 128); ++dx)
                if (x + dx >= 0 && x + dx < size) c.at(x + dx, y) = 250.0f;
    }
    for (float& v : c.value)
        if (v > 0.0f) v += float(noise.gauss() * 5.0);
    return c;
}

Canvas perfusion(int size, double t, uint32_t seed) {
    Canvas c(size, size, -1000.0f);
    Noise noise(seed);
    // Gamma-variate bolus: arrival after 20 % of the run, peak near 45 %.
    const double tt = std::max(0.0, t - 0.2) * 8.0;
    const double bolus = tt * tt * std::exp(-tt) / 0.54;
    fill(c, 0.0, 0.0, 0.72, 0.86, 0.0, 1300.0f);  // skull
    fill(c, 0.0, 0.0, 0.66, 0.80, 0.0, float(33.0 + 6.0 * bolus));  // brain
    fill(c, -0.08, -0.04, 0.05, 0.22, 0.18, 8.0f);
    fill(c, 0.08, -0.04, 0.05, 0.22, -0.18, 8.0f);
    fill(c, 0.25, -0.1, 0.25, 0.3, 0.0, float(30.0 + 2.0 * bolus));  // hypoperfused territory
    for (int side = -1; side <= 1; side += 2)
        fill(c, side * 0.3, 0.05, 0.03, 0.03, 0.0, float(40.0 + 350.0 * bolus));  // middle cerebral arteries
    fill(c, 0.0, 0.72, 0.04, 0.04, 0.0, float(40.0 + 300.0 * bolus));  // sagittal sinus
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float& v = c.at(x, y);
            const double u = nx(c, x), w = ny(c, y);
            v = u * u + w * w > 1.0 ? -2048.0f : v + float(noise.gauss() * 5.0);
        }
    return c;
}

Canvas ultrasound(int size, double t, uint32_t seed) {
    Canvas c(size, size, 0.0f);
    Noise noise(seed);
    const double apexY = -0.98, half = 0.62;
    const double leaflet = 0.5 * std::sin(2 * pi * t);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double u = nx(c, x), v = ny(c, y);
            const double depth = std::hypot(u, v - apexY);
            const double angle = std::atan2(u, v - apexY);
            if (depth > 1.85 || std::abs(angle) > half) continue;
            double reflect = 80.0;
            const double cu = u, cv = v - 0.15;
            if (cu * cu / 0.12 + cv * cv / 0.3 < 1.0) reflect = 8.0;  // blood pool
            if (std::abs(cv - 0.0) < 0.02 + 0.0 && std::abs(cu - 0.1) < 0.25 &&
                std::abs((cu - 0.1) * std::sin(leaflet) - cv * std::cos(leaflet)) < 0.02)
                reflect = 240.0;  // valve leaflet
            if (std::abs(depth - 1.6) < 0.03) reflect = 200.0;  // pericardium
            const double speckle = -std::log(std::max(1e-6, noise.uniform()));
            c.at(x, y) = float(reflect * (0.4 + 0.6 * speckle) * (1.0 - 0.25 * depth));
        }
    return c;
}

std::vector<int32_t> toSamples(const Canvas& c, double offset, int32_t low, int32_t high) {
    std::vector<int32_t> out(c.value.size());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = std::clamp(static_cast<int32_t>(std::lround(c.value[i] + offset)), low, high);
    return out;
}

}  // namespace vs::samples
