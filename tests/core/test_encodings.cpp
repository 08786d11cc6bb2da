// Frames of every encoding windowed into pictures: the rule applied to each sample, the same
// image uncompressed, in RLE and in JPEG giving the same picture, PackBits and segment edge
// cases, JPEG frames decoded in place, and damaged or undecodable frames.
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include "samples/dicom_builder.h"
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

// A file of one RLE fragment: the 64-byte header with the given segment offsets, then body.
Bytes rleFile(uint16_t rows, uint16_t columns, uint16_t bits, std::vector<uint32_t> offsets, const Bytes& body,
              uint32_t count = 0, bool delimited = true) {
    Bytes fragment(64, 0);
    offsets.insert(offsets.begin(), count ? count : uint32_t(offsets.size()));
    for (size_t k = 0; k < offsets.size() * 4; ++k) fragment[k] = uint8_t(offsets[k / 4] >> (8 * (k % 4)));
    fragment.insert(fragment.end(), body.begin(), body.end());
    return testing::encapsulatedImage(testing::uidRle, rows, columns, bits, {fragment}, delimited);
}

TEST(Encodings, UncompressedFramesFollowTheRule) {
    for (const ImageRecipe& base : {ImageRecipe{.bitsAllocated = 8, .pixelRepresentation = 0},
                                    ImageRecipe{.bitsAllocated = 12, .photometric = "MONOCHROME1"},
                                    ImageRecipe{.syntax = testing::Syntax::explicitBig}}) {
        ImageRecipe recipe = base;
        recipe.rows = 13;
        recipe.columns = 7;
        recipe.frames = 3;
        recipe.samples = testing::gradientSamples(recipe);
        const auto r = readImage(makeImage(recipe));
        EXPECT_EQ(r->dicom.image.monochrome1, recipe.photometric == "MONOCHROME1");
        const int32_t low = recipe.bitsAllocated == 16 ? -20000 : 10;
        const int32_t high = recipe.bitsAllocated == 16 ? 20000 : recipe.bitsAllocated == 12 ? 3000 : 200;
        for (bool invert : {false, true}) {
            Bytes rule;
            for (size_t i = 0; i < 91; ++i) rule.push_back(ruleByte(low, high, recipe.samples[91 + i]) ^ (invert ? 255 : 0));
            EXPECT_EQ(r->picture(1, low, high, invert), rule) << recipe.bitsAllocated;
        }
        EXPECT_EQ(r->picture(0, low, high, false, 8)[7], 0xEE);  // the columns up to the stride are left alone
    }
}

TEST(Encodings, TheSameImageInEveryEncodingGivesTheSamePicture) {
    // 8 x 8 blocks of one value each (128 plus multiples of 3, which baseline JPEG at quality 90
    // keeps exactly); 16-bit samples far below or above the rest show that RLE reads them with
    // the file's signedness.
    for (int representation : {-8, 1, 0}) {
        ImageRecipe recipe{.rows = 16, .columns = 24, .bitsAllocated = uint16_t(representation < 0 ? 8 : 16), .frames = 2,
                           .pixelRepresentation = representation < 0 ? 0 : representation};
        for (uint32_t i = 0; i < 2 * 16 * 24; ++i) recipe.samples.push_back(128 + 3 * int32_t(i / 192 + i % 24 / 8));
        if (representation >= 0) recipe.samples[3] = representation ? -31000 : 65000;
        const auto native = readImage(makeImage(recipe));
        for (Encoding encoding : {Encoding::rle, Encoding::jpegBaseline}) {
            if (encoding == Encoding::jpegBaseline && representation >= 0) continue;
            recipe.encoding = encoding;
            const auto other = readImage(makeImage(recipe));
            for (uint32_t f = 0; f < 2; ++f) {
                SCOPED_TRACE(representation * 100 + 10 * int(encoding) + f);
                const SampleRange range = native->source->sampleRange(f);
                if (representation >= 0) {
                    EXPECT_EQ(other->source->sampleRange(f).low, range.low);
                }
                EXPECT_EQ(other->picture(f, range.low, range.high), native->picture(f, range.low, range.high));
                EXPECT_EQ(other->picture(f, 130, 134, true), native->picture(f, 130, 134, true));
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
        EXPECT_EQ(r->picture(0, 0, 255, false, 4), (Bytes{10, 11, 12, 0xEE, 7, 7, 7, 0xEE}));
        EXPECT_EQ(r->drawn.seen.value().low * 100 + r->drawn.seen->high, 712);
    }
    // 16 bits: three segments (or a huge count) decode nothing, paint nothing and write zeros;
    // one segment gives the high bytes with the low bytes zero, whatever the buffers held.
    for (uint32_t count : {3u, 0xFFFFFFFFu, 1u}) {
        const auto r = readImage(rleFile(1, 2, 16, {64, 68}, {0x01, 0x05, 0x06, 0x00, 0x01, 0x07, 0x08, 0x00}, count));
        Bytes words(4, 0xEE), planes(4, 0xEE);
        EXPECT_EQ(decodeRleFrame16(r->dicom, 0, words.data(), planes.data()), count == 1);
        r->picture(0, 0, 255);
        EXPECT_EQ(r->drawn.drawn, count == 1);
        EXPECT_EQ(r->written(0, 0, 255, formatRaw), count == 1 ? Bytes({0, 5, 0, 6}) : Bytes(4, 0)) << count;
    }
    // Segment offsets far beyond the file, segments cut off by the file's end (no delimiter) and
    // runs longer than the frame: nothing is written past the frame (picture throws if it is).
    const std::pair<std::vector<uint32_t>, Bytes> damaged[] = {
        {{0xFFFFFF00u, 0x7FFFFFFFu}, {}}, {{64, 66}, {0x7F, 1, 2, 3}}, {{64}, {0x7F, 1, 2, 3}}, {{64}, {0x81, 9}}};
    for (const auto& [offsets, body] : damaged) {
        const auto r = readImage(rleFile(40, 50, offsets.size() == 2 ? 16 : 8, offsets, body, 0, false));
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
    frames.push_back({0xFF, 0xD8, 0xFF, 0x00, 0x11, 0x11});
    for (bool delimited : {true, false}) {
        const auto r = readImage(testing::encapsulatedImage(testing::uidJpegBaseline, rows, columns, 8, frames, delimited));
        ASSERT_EQ(r->dicom.image.frameCount, 5u);
        // Each frame as TurboJPEG decodes its stream, through the window; the columns up to the
        // stride are black samples.
        for (uint32_t f = 0; f < 3; ++f) {
            Bytes grey(size_t(rows) * columns);
            tjhandle handle = tjInitDecompress();
            tjDecompress2(handle, frames[f].data(), frames[f].size(), grey.data(), columns, columns, rows, TJPF_GRAY, 0);
            tjDestroy(handle);
            const Bytes picture = r->picture(f, 40, 210, true, 32);
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

TEST(Encodings, RowBandsWindowAsOneBandDoes) {
    // Every kind of frame windowed, ranged and written on one thread and in row bands on pools
    // of 2, 3 and 7 lanes (8 to 28 bands, so some bands of the small frames have no rows): the
    // same bytes, range and samples seen. Small frames are banded here by lowering the least
    // banded size; the 2048 x 600 frame (written in two slices) is banded as programs band it.
    const struct { ImageRecipe recipe; bool every; } kinds[] = {
        {{.bitsAllocated = 8, .pixelRepresentation = 0}, false},
        {{.bitsAllocated = 12, .photometric = "MONOCHROME1"}, false},
        {{}, false},
        {{.syntax = testing::Syntax::explicitBig, .pixelRepresentation = 0}, false},
        {{.bitsAllocated = 8, .encoding = Encoding::rle}, false},
        {{.encoding = Encoding::rle}, false},
        {{.bitsAllocated = 8, .encoding = Encoding::jpegBaseline}, false},
        {{.bitsAllocated = 16, .bitsStored = 12, .encoding = Encoding::jpegLossless}, true}};
    const std::pair<uint16_t, uint16_t> sizes[] = {{1, 1}, {3, 7}, {13, 5}, {64, 33}, {600, 2048}};
    std::vector<std::unique_ptr<BandPool>> pools;
    for (unsigned lanes : {2u, 3u, 7u}) pools.push_back(std::make_unique<BandPool>(lanes));
    const testing::TempDir folder;
    for (const auto& [base, every] : kinds) {
        for (const auto& [rows, columns] : sizes) {
            const bool large = columns == 2048;
            if (large && base.encoding != Encoding::native) continue;
            ImageRecipe recipe = base;
            recipe.rows = rows;
            recipe.columns = columns;
            recipe.frames = 2;
            const auto r = readImage(makeImage(recipe), folder, every);
            ASSERT_EQ(r->status, statusLoaded);
            const SampleRange range = r->source->sampleRange(1);
            const int32_t quarter = (range.high - range.low) / 4;
            const auto everything = [&] {
                std::vector<Bytes> out = {r->picture(1, range.low, range.high, 0, columns + 3)};
                const WindowedFrame drawn = r->drawn;
                out.push_back(r->picture(1, range.low + quarter, range.high - quarter, 255));
                for (OutputFormat format : {formatTiff8, formatBmp, formatTiff16})
                    out.push_back(r->written(1, range.low + quarter, range.high, format).value_or(Bytes{}));
                const SampleRange banded = r->source->sampleRange(1);
                out.push_back({uint8_t(banded.low == range.low), uint8_t(banded.high == range.high),
                               uint8_t(drawn.drawn), uint8_t(drawn.widens), uint8_t(bool(drawn.seen))});
                if (drawn.seen) out.push_back({uint8_t(drawn.seen->low), uint8_t(drawn.seen->high)});
                return out;
            };
            const std::vector<Bytes> alone = everything();
            for (const auto& pool : pools) {
                SCOPED_TRACE(std::to_string(int(base.encoding)) + " " + std::to_string(base.bitsAllocated) + " " +
                             std::to_string(rows) + "x" + std::to_string(columns) + " lanes " +
                             std::to_string(pool->lanes()));
                r->source->bandOn(pool.get(), large ? bandedFramePixels : 0);
                EXPECT_EQ(everything(), alone);
            }
        }
    }
}

}  // namespace
}  // namespace vs
