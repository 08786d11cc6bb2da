// Damaged copies of DICOM files: cut short at many lengths, and with bytes, numbers and runs
// overwritten at a fixed seed. Shared by the core's and the windows' damaged-file tests, so
// both meet the same bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "samples/dicom_builder.h"

namespace vs::testing {

struct Variant {
    std::string label;
    Bytes bytes;
};

// Where pydicom's test files are when Debian's python3-pydicom is installed.
inline const std::filesystem::path pydicomFilesFolder = "/usr/lib/python3/dist-packages/pydicom/data/test_files";

Bytes readFile(const std::filesystem::path& path);

// pydicom's test files under 1,000,000 bytes, sorted; empty when they are not installed.
std::vector<std::filesystem::path> pydicomTestFiles();

// Where the last (7FE0,0010) pattern starts, in either byte order: the damage that matters
// most is near it.
size_t pixelDataOffset(const Bytes& data);

// The file cut at fixed lengths around the header and the pixel data.
std::vector<Variant> truncations(const Bytes& data);
// The file with scattered bytes, length-like numbers and runs in the pixel data overwritten.
std::vector<Variant> damages(const Bytes& data, uint32_t seed);

// Small multi-frame images in every encoding the reader takes: implicit little and explicit
// big endian at 8, 12 and 16 bits, RLE at 8 and 16 bits, baseline JPEG at 8 bits.
std::vector<ImageRecipe> encodingVariety();
// A short text naming the recipe's bits, encoding and syntax.
std::string describe(const ImageRecipe& image);

}  // namespace vs::testing
