// Frames of every encoding windowed into pictures: the rule applied to each sample, the same
// image uncompressed, in RLE and in JPEG giving the same picture, PackBits and segment edge
// cases, JPEG frames decoded in place, and damaged or undecodable frames.
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include "tests/support/dicom_builder.h"
#include "tests/support/read_image.h"

namespace vs {
namespace {

using testing::Bytes;
using testing::ImageRecipe;
using testing::makeImage;
using testing::readImage;
using Encoding = ImageRecipe::Encoding;

uint8_t ruleByte(int64_t low, int64_t high, int64_t value) {
    return uint8_t(value < low ? 0 : value > high ? 255 : 255 * (value - low) / std::max<int64_t>(1, high - low));
}

// The rule applied to frame of the recipe's samples, inverted by invert.
Bytes ruleFrame(const ImageRecipe& recipe, uint32_t frame, int32_t low, int32_t high, uint8_t invert) {
    const size_t pixels = size_t(recipe.rows) * recipe.columns;
    Bytes out;
    for (size_t i = 0; i < pixels; ++i) out.push_back(ruleByte(low, high, recipe.samples[frame * pixels + i]) ^ invert);
    return out;
}

// A file of one RLE fragment: the 64-byte header with the given segment offsets, then body.
Bytes rleFile(uint16_t rows, uint16_t columns, uint16_t bits, std::vector<uint32_t> offsets, const Bytes& body,
              uint32_t count = 0, bool delimited = true) {
    Bytes fragment(64, 0);
    auto put = [&fragment](size_t at, uint32_t value) {
        for (int k = 0; k < 4; ++k) fragment[at + k] = uint8_t(value >> (8 * k));
    };
    put(0, count ? count : uint32_t(offsets.size()));
    for (size_t k = 0; k < offsets.size(); ++k) put(4 + 4 * k, offsets[k]);
    fragment.insert(fragment.end(), body.begin(), body.end());
    testing::DicomBuilder b(testing::Syntax::explicitLittle);
    b.transferSyntax(testing::uidRle).us(0x0028, 0x0010, rows).us(0x0028, 0x0011, columns);
    b.us(0x0028, 0x0100, bits).us(0x0028, 0x0103, 0).encapsulated({fragment}, delimited);
    return b.build();
}

TEST(Encodings, UncompressedFramesFollowTheRule) {
    const struct {
        uint16_t bits;
        int representation;
        testing::Syntax syntax;
        int32_t low, high;
        const char* photometric;
    } cases[] = {
        {8, 0, testing::Syntax::explicitLittle, 10, 200, "MONOCHROME2"},
        {12, 0, testing::Syntax::explicitLittle, 100, 3000, "MONOCHROME1"},
        {16, 1, testing::Syntax::explicitBig, -20000, 20000, "MONOCHROME2"},
    };
    for (const auto& c : cases) {
        ImageRecipe recipe;
        recipe.syntax = c.syntax;
        recipe.rows = 13;
        recipe.columns = 7;
        recipe.frames = 3;
        recipe.bitsAllocated = c.bits;
        recipe.pixelRepresentation = c.representation;
        recipe.photometric = c.photometric;
        recipe.samples = testing::gradientSamples(recipe);
        const auto r = readImage(makeImage(recipe));
        const uint8_t invert = c.photometric[10] == '1' ? 255 : 0;
        EXPECT_EQ(r->dicom.image.invertMask, invert);
        for (uint32_t f : {1u, 2u}) {
            EXPECT_EQ(r->picture(f, c.low, c.high, f == 1 ? 255 : 0), ruleFrame(recipe, f, c.low, c.high, f == 1 ? 255 : 0))
                << c.bits << " frame " << f;
        }
        // The columns up to the stride are left alone.
        EXPECT_EQ(r->picture(0, c.low, c.high, 0, 8)[7], 0xEE);
    }
}

TEST(Encodings, TheSameImageInEveryEncodingGivesTheSamePicture) {
    // 8 x 8 blocks of one value each (128 plus multiples of 3, which baseline JPEG at quality 90
    // keeps exactly); 16-bit samples far below or above the rest show that RLE reads them with
    // the file's signedness.
    const struct {
        uint16_t bits;
        int representation;
        std::vector<Encoding> encodings;
    } cases[] = {{8, 0, {Encoding::rle, Encoding::jpegBaseline}}, {16, 1, {Encoding::rle}}, {16, 0, {Encoding::rle}}};
    for (const auto& c : cases) {
        ImageRecipe recipe;
        recipe.rows = 16;
        recipe.columns = 24;
        recipe.frames = 2;
        recipe.bitsAllocated = c.bits;
        recipe.pixelRepresentation = c.representation;
        for (uint32_t i = 0; i < 2 * 16 * 24; ++i) recipe.samples.push_back(128 + 3 * int32_t(i / 192 + i % 24 / 8));
        if (c.bits == 16) recipe.samples[3] = c.representation ? -31000 : 65000;
        const auto native = readImage(makeImage(recipe));
        for (Encoding encoding : c.encodings) {
            recipe.encoding = encoding;
            const auto other = readImage(makeImage(recipe));
            for (uint32_t f = 0; f < 2; ++f) {
                SCOPED_TRACE(c.bits * 10 + c.representation + 100 * int(encoding) + 1000 * f);
                const SampleRange range = native->source->sampleRange(f);
                if (encoding == Encoding::rle && c.bits == 16) {
                    EXPECT_EQ(other->source->sampleRange(f).low, range.low);
                    EXPECT_EQ(other->source->sampleRange(f).high, range.high);
                }
                EXPECT_EQ(other->picture(f, range.low, range.high), native->picture(f, range.low, range.high));
                EXPECT_EQ(other->picture(f, 130, 134, 255), native->picture(f, 130, 134, 255));
            }
        }
    }
}

TEST(Encodings, RlePackBitsAndSegments) {
    // Literal 10 11 12, replicate 7 three times; with no-ops (0x80) between the runs; with a last
    // run longer than the frame.
    for (const Bytes& segment : {Bytes{0x02, 0x0A, 0x0B, 0x0C, 0xFE, 0x07},
                                 Bytes{0x80, 0x02, 0x0A, 0x0B, 0x0C, 0x80, 0x80, 0xFE, 0x07, 0x00},
                                 Bytes{0x02, 0x0A, 0x0B, 0x0C, 0x81, 0x07}}) {
        const auto r = readImage(rleFile(2, 3, 8, {64}, segment));
        EXPECT_EQ(r->picture(0, 0, 255, 0, 4), (Bytes{10, 11, 12, 0xEE, 7, 7, 7, 0xEE}));
        ASSERT_TRUE(r->drawn.seen);
        EXPECT_EQ(r->drawn.seen->low * 100 + r->drawn.seen->high, 712);
    }
    // 16 bits: three segments (or a huge count) decode nothing, paint nothing and write zeros;
    // one segment gives the high bytes with the low bytes zero, whatever the buffers held.
    const Bytes body = {0x01, 0x05, 0x06, 0x00, 0x01, 0x07, 0x08, 0x00};
    for (uint32_t count : {3u, 0xFFFFFFFFu}) {
        const auto bad = readImage(rleFile(1, 2, 16, {64, 68}, body, count));
        Bytes words(4, 0xEE), planes(4, 0xEE);
        EXPECT_FALSE(decodeRleFrame16(bad->dicom, 0, words.data(), planes.data()));
        bad->picture(0, 0, 255);
        EXPECT_FALSE(bad->drawn.drawn);
        EXPECT_EQ(bad->written(0, 0, 255, formatRaw), Bytes(4, 0));
    }
    const auto one = readImage(rleFile(1, 2, 16, {64}, {0x01, 0x05, 0x06, 0x00}));
    Bytes words(4, 0xEE), planes(4, 0xEE);
    ASSERT_TRUE(decodeRleFrame16(one->dicom, 0, words.data(), planes.data()));
    EXPECT_EQ(words, (Bytes{0, 5, 0, 6}));

    // Segment offsets far beyond the file, segments cut off by the file's end (no delimiter) and
    // runs longer than the frame: nothing is written past the frame (picture throws if it is).
    const struct {
        uint16_t bits;
        std::vector<uint32_t> offsets;
        Bytes body;
    } damaged[] = {{16, {0xFFFFFF00u, 0x7FFFFFFFu}, {}}, {16, {64, 66}, {0x7F, 1, 2, 3}}, {8, {64}, {0x7F, 1, 2, 3}},
                   {8, {64}, {0x81, 9}}};
    for (const auto& c : damaged) {
        const auto r = readImage(rleFile(40, 50, c.bits, c.offsets, c.body, 0, false));
        ASSERT_EQ(r->status, statusLoaded);
        r->picture(0, 0, 255);
        r->source->sampleRange(0);
    }
}

TEST(Encodings, JpegFramesDecodeInPlaceOrSayWhyNot) {
    const uint16_t rows = 24, columns = 30;
    std::vector<Bytes> frames;
    for (int f = 0; f < 3; ++f) {
        Bytes pixels(size_t(rows) * columns);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i * 7 + f * 60) % 256);
        frames.push_back(testing::encodeJpegGrey(pixels, rows, columns, 85));
    }
    frames.push_back(testing::relabelAsLossless(frames[0]));
    Bytes broken = {0xFF, 0xD8, 0xFF, 0x00};
    broken.resize(400, 0x11);
    frames.push_back(broken);
    for (bool delimited : {true, false}) {
        testing::DicomBuilder b(testing::Syntax::explicitLittle);
        b.transferSyntax(testing::uidJpegBaseline).us(0x0028, 0x0010, rows).us(0x0028, 0x0011, columns);
        const auto r = readImage(b.us(0x0028, 0x0100, 8).encapsulated(frames, delimited).build());
        ASSERT_EQ(r->dicom.image.frameCount, 5u);
        // Each frame as TurboJPEG decodes its stream, through the window; the columns up to the
        // stride are black samples.
        for (uint32_t f = 0; f < 3; ++f) {
            Bytes grey(size_t(rows) * columns);
            tjhandle handle = tjInitDecompress();
            tjDecompress2(handle, frames[f].data(), frames[f].size(), grey.data(), columns, columns, rows, TJPF_GRAY, 0);
            tjDestroy(handle);
            const Bytes picture = r->picture(f, 40, 210, 255, 32);
            for (uint32_t i = 0; i < picture.size(); ++i)
                ASSERT_EQ(picture[i], ruleByte(40, 210, i % 32 < columns ? grey[i / 32 * columns + i % 32] : 0) ^ 255) << i;
        }
        EXPECT_EQ(r->source->unreadableReason(3), "libjpeg-turbo: Unsupported JPEG process: SOF type 0xc3");
        r->picture(3, 0, 255);
        EXPECT_FALSE(r->drawn.drawn);  // no picture is left from the frame before
        EXPECT_EQ(r->source->unreadableReason(4).rfind("libjpeg-turbo: ", 0), 0u);
        const JpegFragment last = jpegFragment(r->dicom, 4);
        EXPECT_EQ(last.start + last.size, r->dicom.image.fileLength - (delimited ? 8 : 0));
        // An end entry never written, or lying before the start, is bounded by the file.
        for (uint32_t end : {0xFFFFFFF0u, r->dicom.frameOffsets[4] - 2}) {
            r->dicom.frameOffsets[5] = end;
            EXPECT_EQ(jpegFragment(r->dicom, 4).start + jpegFragment(r->dicom, 4).size, r->dicom.image.fileLength);
        }
    }
}

}  // namespace
}  // namespace vs
