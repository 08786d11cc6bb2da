// A synthetic image written to a temporary folder and loaded by a recording viewer.
#pragma once

#include <memory>

#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs::testing {

struct Loaded {
    TempDir dir;
    TestViewer t;
    Viewer& v() { return t.v(); }
};

// The loaded file, or null when the loader refused it.
inline std::unique_ptr<Loaded> load(const std::vector<uint8_t>& bytes) {
    auto l = std::make_unique<Loaded>();
    if (l->t.load(l->dir, "image.dcm", bytes) != 1) return nullptr;
    return l;
}

inline std::unique_ptr<Loaded> load(const ImageRecipe& recipe) { return load(makeImage(recipe)); }

}  // namespace vs::testing
