// Which files the header scan accepts, and what it reads from them, through real loads.
#include <gtest/gtest.h>

#include "core/header.h"
#include "core/loader.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

using testing::DicomBuilder;
using testing::ImageSpec;
using testing::makeImage;
using testing::Syntax;

struct Loaded {
    uint16_t result;
    ImageState image;
    std::string patientLine;
    int firstByte;  // of the pixel data
};

Loaded loadBytes(const std::vector<uint8_t>& bytes) {
    testing::TempDir dir;
    testing::TestViewer t;
    const uint16_t result = t.load(dir, "image.dcm", bytes);
    const int first = result == loadDone ? t.v().image.pixelData[0] : -1;
    return {result, t.v().image, t.host.lines[controlPatientLine], first};
}

Loaded loadSpec(const ImageSpec& spec) { return loadBytes(makeImage(spec)); }

// A minimal image built element by element, for files that break the usual order.
DicomBuilder& imageElements(DicomBuilder& b, uint16_t rows, uint16_t columns, uint16_t bits) {
    return b.us(0x0028, 0x0010, rows).us(0x0028, 0x0011, columns).us(0x0028, 0x0100, bits);
}

TEST(Header, EveryLayoutAndByteOrder) {
    for (Syntax syntax : {Syntax::implicitLittle, Syntax::explicitLittle, Syntax::explicitBig}) {
        for (bool withMeta : {true, false}) {
            ImageSpec spec;
            spec.syntax = syntax;
            spec.withMeta = withMeta;
            spec.rows = 17;  // big enough for 300 bytes without the meta header
            spec.columns = 5;
            spec.bitsAllocated = 16;
            const Loaded l = loadSpec(spec);
            SCOPED_TRACE(int(syntax) * 2 + withMeta);
            ASSERT_EQ(l.result, loadDone);
            EXPECT_EQ(l.image.rows, 17);
            EXPECT_EQ(l.image.columns, 5);
            EXPECT_EQ(l.image.bitsAllocated, 16);
            EXPECT_EQ(l.image.bigEndian, syntax == Syntax::explicitBig ? 1 : 0);
            EXPECT_EQ(l.image.pixelsPerFrame, 85u);
            EXPECT_EQ(l.image.pixelMask, 0xFFFFu);
            EXPECT_EQ(l.image.signBit, 0x8000u);
            EXPECT_EQ(l.image.compression, compressionNone);
        }
    }
}

TEST(Header, DepthsMasksAndSigns) {
    ImageSpec spec;
    spec.bitsAllocated = 12;
    spec.rows = spec.columns = 6;
    Loaded l = loadSpec(spec);
    ASSERT_EQ(l.result, loadDone);
    EXPECT_EQ(l.image.pixelMask, 0xFFFu);
    EXPECT_EQ(l.image.signBit, 0u);

    // Unsigned 16-bit samples are not two's complement.
    spec.bitsAllocated = 16;
    spec.pixelRepresentation = 0;
    l = loadSpec(spec);
    EXPECT_EQ(l.image.signBit, 0u);
    // Without (0028,0103) deep samples are taken as signed.
    spec.pixelRepresentation = -1;
    l = loadSpec(spec);
    EXPECT_EQ(l.image.signBit, 0x8000u);

    // An icon's pixel representation further on does not replace the image's.
    DicomBuilder b(Syntax::explicitLittle);
    imageElements(b, 2, 2, 16).us(0x0028, 0x0103, 0);
    b.us(0x0088, 0x0200, 0).us(0x0028, 0x0103, 1);
    b.pixelData(std::vector<uint8_t>(8, 0xFF));
    l = loadBytes(b.build());
    ASSERT_EQ(l.result, loadDone);
    EXPECT_EQ(l.image.signBit, 0u);

    // Depths below 4 bits (nothing survives the sample mask) and beyond 23 bits are refused.
    DicomBuilder oneBit(Syntax::explicitLittle);
    imageElements(oneBit, 16, 16, 1).pixelData(std::vector<uint8_t>(32, 0xAA), "OB");
    EXPECT_EQ(loadBytes(oneBit.build()).patientLine, "<unsupported filetype>");
    DicomBuilder deep(Syntax::explicitLittle);
    imageElements(deep, 2, 2, 32).pixelData(std::vector<uint8_t>(16, 0));
    EXPECT_EQ(loadBytes(deep.build()).patientLine, "<unsupported filetype>");
}

TEST(Header, ElementOrderDecidesWhatCounts) {
    // Samples per pixel after rows is ignored: a colour value there does not refuse the file.
    DicomBuilder late(Syntax::explicitLittle);
    late.us(0x0028, 0x0010, 2).us(0x0028, 0x0002, 3).us(0x0028, 0x0011, 2).us(0x0028, 0x0100, 8);
    late.pixelData(std::vector<uint8_t>(4, 1), "OB");
    EXPECT_EQ(loadBytes(late.build()).result, loadDone);

    // Before rows it refuses the file.
    DicomBuilder colour(Syntax::explicitLittle);
    colour.us(0x0028, 0x0002, 3);
    imageElements(colour, 2, 2, 8).pixelData(std::vector<uint8_t>(12, 1), "OB");
    EXPECT_EQ(loadBytes(colour.build()).result, loadFailed);

    // Columns before rows is not taken, so the file has no columns.
    DicomBuilder swapped(Syntax::explicitLittle);
    swapped.us(0x0028, 0x0011, 2).us(0x0028, 0x0010, 2).us(0x0028, 0x0100, 8);
    swapped.pixelData(std::vector<uint8_t>(4, 1), "OB");
    EXPECT_EQ(loadBytes(swapped.build()).patientLine, "<unsupported filetype>");

    // The first rows wins; the last pixel data wins (an icon's comes before the image's).
    DicomBuilder twice(Syntax::explicitLittle);
    imageElements(twice, 2, 3, 8).us(0x0028, 0x0010, 9);
    twice.pixelData(std::vector<uint8_t>(4, 0), "OB").pixelData(std::vector<uint8_t>(6, 7), "OB");
    const Loaded l = loadBytes(twice.build());
    ASSERT_EQ(l.result, loadDone);
    EXPECT_EQ(l.image.rows, 2);
    EXPECT_EQ(l.firstByte, 7);
}

TEST(Header, PixelDataLengthRules) {
    auto withLength = [](uint16_t rows, uint16_t columns, size_t bytes, std::optional<uint32_t> declared = {}) {
        DicomBuilder b(Syntax::explicitLittle);
        imageElements(b, rows, columns, 8).pixelData(std::vector<uint8_t>(bytes, 3), "OB", declared);
        return loadBytes(b.build()).result;
    };
    EXPECT_EQ(withLength(4, 4, 16), loadDone);
    EXPECT_EQ(withLength(4, 4, 16 + 1024), loadDone);
    EXPECT_EQ(withLength(4, 4, 18), loadFailed);
    // An odd frame is padded to an even length.
    EXPECT_EQ(withLength(3, 3, 10), loadDone);
    EXPECT_EQ(withLength(3, 3, 9), loadDone);
    // Frames that would reach past the file and its spare room are refused.
    EXPECT_EQ(withLength(5000, 5000, 16, 25000000), loadFailed);
    // Frames that end inside the spare room read zeros for the missing samples.
    testing::TempDir dir;
    testing::TestViewer t;
    DicomBuilder b(Syntax::explicitLittle);
    imageElements(b, 100, 100, 8).pixelData(std::vector<uint8_t>(10, 9), "OB", 10000);
    ASSERT_EQ(t.load(dir, "short.dcm", b.build()), loadDone);
    EXPECT_EQ(t.v().image.pixelData[9], 9);
    EXPECT_EQ(t.v().image.pixelData[9999], 0);
}

TEST(Header, NumberOfFrames) {
    auto frames = [](const std::string& text, uint32_t stored) {
        DicomBuilder b(Syntax::explicitLittle);
        b.text(0x0028, 0x0008, "IS", text);
        imageElements(b, 2, 2, 8).pixelData(std::vector<uint8_t>(4 * stored, 1), "OB");
        const Loaded l = loadBytes(b.build());
        return l.result == loadDone ? l.image.frameCount : 0u;
    };
    EXPECT_EQ(frames("12", 12), 12u);
    EXPECT_EQ(frames("7 ", 7), 7u);
    EXPECT_EQ(frames("1234", 123), 123u);  // three digits at most
    EXPECT_EQ(frames("0 ", 1), 1u);
}

TEST(Header, TransferSyntaxesAndPhotometric) {
    ImageSpec spec;
    spec.bitsAllocated = 8;
    spec.rows = spec.columns = 16;
    spec.frames = 3;
    spec.encoding = ImageSpec::Encoding::rle;
    Loaded l = loadSpec(spec);
    ASSERT_EQ(l.result, loadDone);
    EXPECT_EQ(l.image.compression, compressionRle);
    EXPECT_EQ(l.image.frameCount, 3u);

    // The RLE frame count comes from the fragments, not from (0028,0008).
    spec.writeNumberOfFrames = false;
    EXPECT_EQ(loadSpec(spec).image.frameCount, 3u);

    spec.encoding = ImageSpec::Encoding::jpegBaseline;
    l = loadSpec(spec);
    ASSERT_EQ(l.result, loadDone);
    EXPECT_EQ(l.image.compression, compressionJpeg);

    // Lossless JPEG of process 70 is refused; 57 is taken as JPEG.
    auto withSyntax = [](const char* uid, uint16_t bits) {
        const std::vector<uint8_t> jpeg = testing::encodeJpegGrey(std::vector<uint8_t>(64, 9), 8, 8);
        DicomBuilder b(Syntax::explicitLittle);
        b.transferSyntax(uid);
        imageElements(b, 8, 8, bits).encapsulated({jpeg});
        const Loaded loaded = loadBytes(b.build());
        return loaded.result == loadDone ? int(loaded.image.compression) : -1;
    };
    EXPECT_EQ(withSyntax(testing::uidJpegLosslessSv1, 8), -1);
    EXPECT_EQ(withSyntax(testing::uidJpegLossless, 8), compressionJpeg);
    EXPECT_EQ(withSyntax(testing::uidJpegBaseline, 12), compressionJpeg);
    EXPECT_EQ(withSyntax(testing::uidJpegBaseline, 16), -1);

    ImageSpec mono;
    mono.photometric = "MONOCHROME1";
    EXPECT_EQ(loadSpec(mono).image.invertMask, 255u);
    mono.photometric = "MONOCHROME2";
    EXPECT_EQ(loadSpec(mono).image.invertMask, 0u);
    mono.photometric = "";
    EXPECT_EQ(loadSpec(mono).image.invertMask, 0u);
    mono.photometric = "RGB";
    EXPECT_EQ(loadSpec(mono).result, loadFailed);
}

TEST(Header, FrameSearchOfEncapsulatedData) {
    const std::vector<uint8_t> jpeg = testing::encodeJpegGrey(std::vector<uint8_t>(64, 9), 8, 8);
    for (bool delimited : {true, false}) {
        DicomBuilder b(Syntax::explicitLittle);
        b.transferSyntax(testing::uidJpegBaseline);
        imageElements(b, 8, 8, 8).encapsulated({jpeg, jpeg}, delimited);
        const std::vector<uint8_t> bytes = b.build();
        testing::TempDir dir;
        testing::TestViewer t;
        ASSERT_EQ(t.load(dir, "two.dcm", bytes), loadDone);
        const std::vector<uint32_t>& entry = t.v().frameOffsets;
        EXPECT_EQ(t.v().image.frameCount, 2u);
        EXPECT_EQ(bytes[entry[0]], 0xFF);
        EXPECT_EQ(bytes[entry[0] + 1], 0xD8);
        // Without a delimiter the last frame ends at the file's end.
        EXPECT_EQ(entry[2], delimited ? bytes.size() - 8 : bytes.size());
    }

    // Compressed pixel data in a big-endian data set has no frames.
    DicomBuilder big(Syntax::explicitBig);
    big.transferSyntax(testing::uidRle);
    imageElements(big, 8, 8, 8).encapsulated({std::vector<uint8_t>(64, 0)});
    EXPECT_EQ(loadBytes(big.build()).result, loadFailed);
}

TEST(Header, TitleAndAnimationControl) {
    testing::TempDir dir;
    testing::TestViewer t;
    ImageSpec spec;
    spec.bitsAllocated = 8;
    ASSERT_EQ(t.load(dir, "one.dcm", makeImage(spec)), loadDone);
    EXPECT_EQ(t.host.imageTitle, "Dicom Image");
    EXPECT_FALSE(t.host.animationShown);

    spec.frames = 20;
    ASSERT_EQ(t.load(dir, "twenty.dcm", makeImage(spec)), loadDone);
    EXPECT_EQ(t.host.imageTitle, "Dicom Image - Frame 1");
    EXPECT_EQ(t.host.effectsStartingWith("animation").back(), "animation 20 0");
}

}  // namespace
}  // namespace vs
