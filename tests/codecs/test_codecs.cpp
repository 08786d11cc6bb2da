// The JPEG-LS and JPEG 2000 / HTJ2K sample decoders on the cases make_codec_cases.py makes
// (codestreams of the Debian encoders and of pydicom's test files, each with its truth), and
// on damaged copies of a few of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>

#include "platform/jpeg2000_decoder.h"
#include "platform/jpegls_decoder.h"

namespace vs {
namespace {

struct Case {
    std::string name;
    std::string kind;  // jpegls, j2k or htj2k
    FrameLayout layout;
    int tolerance = 0;  // -1: the stream must be refused
    std::vector<uint8_t> stream;
    std::vector<int32_t> truth;
};

// The whole file as values of type T (little-endian, as this machine's).
template <typename T>
std::vector<T> fileValues(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    std::vector<T> values(size_t(in.tellg()) / sizeof(T));
    in.seekg(0).read(reinterpret_cast<char*>(values.data()), std::streamsize(values.size() * sizeof(T)));
    return values;
}

// The cases by name; a missing one throws (std::map::at) and fails its test.
const std::map<std::string, Case>& cases() {
    static const std::map<std::string, Case> all = [] {
        std::map<std::string, Case> read;
        std::ifstream list(std::string(CODEC_CASES_DIR) + "/cases.txt");
        Case c;
        int isSigned = 0;
        while (list >> c.name >> c.kind >> c.layout.rows >> c.layout.columns >> c.layout.bitsAllocated >>
               c.layout.bitsStored >> isSigned >> c.tolerance) {
            c.layout.isSigned = isSigned != 0;
            const std::string base = std::string(CODEC_CASES_DIR) + "/" + c.name;
            c.stream = fileValues<uint8_t>(base + ".stream");
            c.truth = fileValues<int32_t>(base + ".truth");
            read[c.name] = c;
        }
        return read;
    }();
    return all;
}

std::unique_ptr<SampleDecoder> decoderFor(const std::string& kind) {
    return kind == "jpegls" ? makeJpegLsDecoder() : makeJpeg2000Decoder();
}
std::string nameOf(const std::string& kind) { return kind == "jpegls" ? "JPEG-LS" : "JPEG 2000"; }

// Sample i as the reader takes it: its low Bits Stored bits, with the header's sign.
int32_t sampleValue(const std::vector<uint8_t>& out, size_t i, const FrameLayout& layout) {
    uint32_t word = layout.bitsAllocated == 8 ? out[i] : uint32_t(out[2 * i] | out[2 * i + 1] << 8);
    word &= (1u << layout.bitsStored) - 1;
    const bool negative = layout.isSigned && (word >> (layout.bitsStored - 1)) != 0;
    return negative ? int32_t(word) - (1 << layout.bitsStored) : int32_t(word);
}

// Decodes stream with the case's truth and tolerance in mind; empty when all is as it should be.
std::string verdict(SampleDecoder& decoder, const Case& c, const std::vector<uint8_t>& stream) {
    std::vector<uint8_t> out(3, 0xEE);
    std::string whyNot;
    const bool decoded = decoder.decode(stream.data(), stream.size(), c.layout, out, whyNot);
    if (c.tolerance < 0) {
        if (decoded) return "decoded a stream it should refuse";
        if (whyNot.rfind(nameOf(c.kind), 0) != 0) return "the reason does not name the decoder: " + whyNot;
        if (!out.empty()) return "samples left behind";
        return {};
    }
    if (!decoded) return "refused: " + whyNot;
    const size_t samples = size_t(c.layout.rows) * c.layout.columns;
    if (out.size() != samples * c.layout.bitsAllocated / 8) return "wrong size " + std::to_string(out.size());
    for (size_t i = 0; i < samples; ++i) {
        if (std::abs(sampleValue(out, i, c.layout) - c.truth[i]) > c.tolerance)
            return "sample " + std::to_string(i) + " is " + std::to_string(sampleValue(out, i, c.layout)) +
                   ", not " + std::to_string(c.truth[i]);
    }
    return {};
}

TEST(SampleDecoders, DecodeEveryCaseToItsTruth) {
    ASSERT_GE(cases().size(), 40u) << "the cases were not made (ctest runs make_codec_cases.py first)";
    // One decoder of each kind reads all its cases, as a frame source reads frame after frame.
    std::map<std::string, std::unique_ptr<SampleDecoder>> decoders;
    for (const auto& [name, c] : cases()) {
        auto& decoder = decoders[c.kind];
        if (!decoder) decoder = decoderFor(c.kind);
        EXPECT_EQ(verdict(*decoder, c, c.stream), "") << name;
    }
}

// The first frame, and the same frame with bytes added after the codestream, as a frame's
// range holds them: an item header and a pad byte; zeros before a JPEG-LS end-of-image marker.
TEST(SampleDecoders, BytesAroundTheCodestreamAreTolerated) {
    const std::vector<uint8_t> itemHeader = {0xFE, 0xFF, 0x00, 0xE0, 0x10, 0x00, 0x00, 0x00, 0x00};
    const std::vector<uint8_t> tilePartStart = {0xFF, 0x90, 0x00, 0x0A};
    for (const char* name : {"jls_12s_37x23", "j2k_12s_37x23", "htj2k_12s_37x23", "jls_16u_512x512"}) {
        const Case& c = cases().at(name);
        std::vector<uint8_t> padded = c.stream;
        padded.insert(padded.end(), itemHeader.begin(), itemHeader.end());
        EXPECT_EQ(verdict(*decoderFor(c.kind), c, padded), "") << name << " with an item header after it";
    }
    // A last tile-part whose length is left 0 runs to the end-of-codestream marker.
    for (const char* name : {"j2k_12s_37x23", "htj2k_12s_37x23"}) {
        Case open = cases().at(name);
        const auto tilePart = std::search(open.stream.begin(), open.stream.end(), tilePartStart.begin(), tilePartStart.end());
        ASSERT_NE(tilePart, open.stream.end()) << name;
        std::fill(tilePart + 6, tilePart + 10, 0);
        EXPECT_EQ(verdict(*decoderFor(open.kind), open, open.stream), "") << name << " with a tile-part length of 0";
    }
    Case c = cases().at("jls_8u_37x23");
    ASSERT_EQ(c.stream.end()[-2], 0xFF);
    c.stream.insert(c.stream.end() - 2, {0x00, 0x00});
    EXPECT_EQ(verdict(*decoderFor(c.kind), c, c.stream), "") << "zeros before the end-of-image marker";
    c.stream.push_back(0x00);
    EXPECT_EQ(verdict(*decoderFor(c.kind), c, c.stream), "") << "zeros before the marker and a pad byte after it";
}

// Damaged streams and streams the layout disagrees with: each refused with a reason that names
// the decoder, and nothing left in the output.
TEST(SampleDecoders, DamagedOrDisagreeingStreamsAreRefused) {
    using Change = std::function<void(Case&)>;
    const std::vector<std::pair<std::string, Change>> changes = {
        {"empty", [](Case& c) { c.stream.clear(); }},
        {"cut in the header", [](Case& c) { c.stream.resize(30); }},
        {"cut in half", [](Case& c) { c.stream.resize(c.stream.size() / 2); }},
        {"cut before its last 12 bytes", [](Case& c) { c.stream.erase(c.stream.end() - 12, c.stream.end()); }},
        {"no start marker", [](Case& c) { c.stream[1] ^= 0x01; }},
        {"a marker in the coded data", [](Case& c) { c.stream[c.stream.size() * 2 / 3] = 0xFF, c.stream[c.stream.size() * 2 / 3 + 1] = 0xA0; }},
        {"one row more than the stream", [](Case& c) { ++c.layout.rows; }},
        {"one column fewer than the stream", [](Case& c) { --c.layout.columns; }},
        {"12-bit samples in 8 bits allocated", [](Case& c) { c.layout.bitsAllocated = c.layout.bitsStored = 8; }},
        {"12 bits allocated", [](Case& c) { c.layout.bitsAllocated = 12; }},
    };
    for (const char* name : {"jls_12s_37x23", "j2k_12s_37x23", "htj2k_12s_37x23", "j2k_jp2_12u_37x23"}) {
        for (const auto& [what, change] : changes) {
            Case c = cases().at(name);
            change(c);
            c.tolerance = -1;
            EXPECT_EQ(verdict(*decoderFor(c.kind), c, c.stream), "") << name << ": " << what;
        }
    }
    // In an HTJ2K stream not even an end of packet header marker may stand in the coded data: a
    // code-block could start at it.
    Case marked = cases().at("htj2k_12s_37x23");
    marked.stream[marked.stream.size() * 2 / 3] = 0xFF, marked.stream[marked.stream.size() * 2 / 3 + 1] = 0x92;
    marked.tolerance = -1;
    EXPECT_EQ(verdict(*decoderFor(marked.kind), marked, marked.stream), "") << "HTJ2K: FF92 in the coded data";
    // CharLS is never handed a scan cut short: past the end of one it counts zero bits for seconds.
    Case cut = cases().at("jls_12s_37x23");
    cut.stream.resize(cut.stream.size() - 3);
    std::vector<uint8_t> out;
    std::string whyNot;
    EXPECT_FALSE(makeJpegLsDecoder()->decode(cut.stream.data(), cut.stream.size(), cut.layout, out, whyNot));
    EXPECT_NE(whyNot.find("cut short"), std::string::npos) << whyNot;
}

// Flipped bits anywhere: a decoder may not notice one in the coded data, but it either gives a
// whole frame or refuses with a reason and no samples, and never reads or writes outside its buffers (the
// sanitizer build runs this too).
TEST(SampleDecoders, FlippedBitsGiveAFrameOrAReason) {
    std::mt19937 random(14);
    for (const char* name : {"jls_12s_37x23", "j2k_12s_37x23", "htj2k_12s_37x23", "j2k_16s_37x23_lossy"}) {
        const Case& c = cases().at(name);
        const auto decoder = decoderFor(c.kind);
        for (int flip = 0; flip < 300; ++flip) {
            std::vector<uint8_t> stream = c.stream;
            stream[random() % stream.size()] ^= uint8_t(1u << (random() % 8));
            std::vector<uint8_t> out;
            std::string whyNot;
            if (decoder->decode(stream.data(), stream.size(), c.layout, out, whyNot))
                ASSERT_EQ(out.size(), c.truth.size() * c.layout.bitsAllocated / 8) << name;
            else
                ASSERT_TRUE(whyNot.rfind(nameOf(c.kind), 0) == 0 && out.empty()) << name << ": " << whyNot;
        }
    }
}

}  // namespace
}  // namespace vs
