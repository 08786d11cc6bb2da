#include "tests/support/damaged_copies.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

namespace vs::testing {

namespace fs = std::filesystem;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<fs::path> pydicomTestFiles() {
    std::vector<fs::path> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(pydicomFilesFolder, error); !error && it != fs::end(it);
         it.increment(error)) {
        if (it->is_regular_file() && it->file_size() < 1000000) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

size_t pixelDataOffset(const Bytes& data) {
    const uint8_t little[] = {0xE0, 0x7F, 0x10, 0x00};
    const uint8_t big[] = {0x7F, 0xE0, 0x00, 0x10};
    size_t found = 132;
    for (const uint8_t* pattern : {little, big}) {
        auto it = std::find_end(data.begin(), data.end(), pattern, pattern + 4);
        if (it != data.end()) found = std::max(found, size_t(it - data.begin()));
    }
    return found;
}

std::vector<Variant> truncations(const Bytes& data) {
    const size_t n = data.size();
    const size_t pix = pixelDataOffset(data);
    std::set<size_t> cuts = {0, 1, 127, 128, 132, 133, 299, 300, 301, pix, pix + 2, pix + 4, pix + 8, pix + 10,
                             pix + 12, pix + 16, pix + 64, n / 3, n / 2, n - n / 8, n - 2, n - 1};
    for (size_t k = 1; k < 8; ++k) cuts.insert(pix + (n - std::min(pix, n)) * k / 8);
    std::vector<Variant> out;
    for (size_t cut : cuts)
        if (cut < n) out.push_back({"cut at " + std::to_string(cut), Bytes(data.begin(), data.begin() + long(cut))});
    return out;
}

std::vector<Variant> damages(const Bytes& data, uint32_t seed) {
    std::vector<Variant> out;
    const size_t n = data.size();
    if (n == 0) return out;
    std::mt19937 random(seed);
    auto below = [&random](size_t bound) { return size_t(random() % bound); };
    const size_t pix = std::min(pixelDataOffset(data), n - 1);
    // Scattered single bytes, anywhere and in the header.
    for (int round = 0; round < 4; ++round) {
        Bytes d = data;
        const size_t span = round % 2 ? n : std::min(n, pix + 16);
        for (int k = 0; k < 1 << (2 * round % 6); ++k) d[below(span)] = uint8_t(random());
        out.push_back({"bytes changed, round " + std::to_string(round), std::move(d)});
    }
    // Lengths, counts and offsets replaced by extreme numbers at even offsets before the pixels.
    const uint32_t extremes[] = {0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFF, 0x8000, 0, 1, 2};
    for (int round = 0; round < 4; ++round) {
        Bytes d = data;
        const size_t at = below(std::max<size_t>(1, std::min(n, pix + 24) - std::min<size_t>(n, 4))) & ~size_t(1);
        const uint32_t value = extremes[below(std::size(extremes))];
        for (size_t k = 0; k < 4 && at + k < n; ++k) d[at + k] = uint8_t(value >> (8 * k));
        out.push_back({"number " + std::to_string(value) + " at " + std::to_string(at), std::move(d)});
    }
    // The pixel data (and any fragment headers in it) overwritten by a run of one value.
    for (uint8_t fill : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x80)}) {
        Bytes d = data;
        const size_t start = pix + below(n - pix);
        std::fill(d.begin() + long(start), d.begin() + long(std::min(n, start + 96)), fill);
        out.push_back({"run of " + std::to_string(fill) + " from " + std::to_string(start), std::move(d)});
    }
    return out;
}

std::vector<ImageRecipe> encodingVariety() {
    std::vector<ImageRecipe> images;
    for (Syntax syntax : {Syntax::implicitLittle, Syntax::explicitBig})
        for (uint16_t bits : {8, 12, 16})
            images.push_back({.syntax = syntax, .rows = 40, .columns = 33, .bitsAllocated = bits, .frames = 2,
                              .rescaleIntercept = -1024, .rescaleSlope = 1, .windowCenter = "40", .windowWidth = "400"});
    using Encoding = ImageRecipe::Encoding;
    for (auto [encoding, bits] : {std::pair{Encoding::rle, 8}, {Encoding::rle, 16}, {Encoding::jpegBaseline, 8}})
        images.push_back({.rows = 48, .columns = 37, .bitsAllocated = uint16_t(bits), .frames = 3,
                          .pixelRepresentation = bits == 16 ? 1 : 0, .encoding = encoding});
    return images;
}

std::string describe(const ImageRecipe& image) {
    return "bits " + std::to_string(image.bitsAllocated) + ", encoding " + std::to_string(int(image.encoding)) +
           ", syntax " + std::to_string(int(image.syntax));
}

}  // namespace vs::testing
