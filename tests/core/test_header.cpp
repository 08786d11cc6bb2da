// Which files the header scan accepts, and what it reads from them, through real loads.
#include <gtest/gtest.h>

#include "dicom/header.h"
#include "core/loader.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

using testing::DicomBuilder;
using testing::ImageRecipe;
using testing::makeImage;
using testing::Syntax;
using Bytes = std::vector<uint8_t>;

struct Loaded {
    uint16_t result;
    ImageState image;
    std::string patientLine;
    int firstByte;  // of the pixel data
};

Loaded loadBytes(const Bytes& bytes) {
    testing::TempDir dir;
    testing::TestViewer t;
    const uint16_t result = t.load(dir, "image.dcm", bytes);
    const int first = result == loadDone ? t.v().dicom.pixelData()[0] : -1;
    return {result, t.v().dicom.image, t.host.lines[controlPatientLine], first};
}

Loaded loadRecipe(const ImageRecipe& recipe) { return loadBytes(makeImage(recipe)); }

// A minimal image built element by element, for files that break the usual order.
DicomBuilder& imageElements(DicomBuilder& b, uint16_t rows, uint16_t columns, uint16_t bits) {
    return b.us(0x0028, 0x0010, rows).us(0x0028, 0x0011, columns).us(0x0028, 0x0100, bits);
}

TEST(Header, EveryLayoutByteOrderAndSign) {
    for (Syntax syntax : {Syntax::implicitLittle, Syntax::explicitLittle, Syntax::explicitBig}) {
        for (bool withMeta : {true, false}) {
            ImageRecipe recipe;
            recipe.syntax = syntax;
            recipe.withMeta = withMeta;
            recipe.rows = 17;  // big enough for 300 bytes without the meta header
            recipe.columns = 5;
            const Loaded l = loadRecipe(recipe);
            SCOPED_TRACE(int(syntax) * 2 + withMeta);
            ASSERT_EQ(l.result, loadDone);
            EXPECT_EQ(l.image.rows, 17);
            EXPECT_EQ(l.image.columns, 5);
            EXPECT_EQ(l.image.bigEndian, syntax == Syntax::explicitBig ? 1 : 0);
            EXPECT_EQ(l.image.signBit, 0x8000u);
        }
    }
    // Unsigned 16-bit samples are not two's complement; 12-bit ones never are.
    ImageRecipe recipe;
    recipe.pixelRepresentation = 0;
    EXPECT_EQ(loadRecipe(recipe).image.signBit, 0u);
    recipe.bitsAllocated = 12;
    recipe.pixelRepresentation = 1;
    EXPECT_EQ(loadRecipe(recipe).image.signBit, 0u);

    // An icon's pixel representation further on does not replace the image's.
    DicomBuilder b(Syntax::explicitLittle);
    imageElements(b, 2, 2, 16).us(0x0028, 0x0103, 0);
    b.us(0x0088, 0x0200, 0).us(0x0028, 0x0103, 1).pixelData(Bytes(8, 0xFF));
    EXPECT_EQ(loadBytes(b.build()).image.signBit, 0u);

    // Depths below 4 bits (nothing survives the sample mask) and beyond 23 bits are refused.
    for (uint16_t bits : {1, 3, 24, 32}) {
        DicomBuilder depth(Syntax::explicitLittle);
        imageElements(depth, 16, 16, bits).pixelData(Bytes(size_t(16) * 16 * bits / 8, 0));
        EXPECT_EQ(loadBytes(depth.build()).patientLine, "<unsupported filetype>") << bits;
    }
}

TEST(Header, ElementOrderDecidesWhatCounts) {
    // Samples per pixel after rows is ignored: a colour value there does not refuse the file.
    DicomBuilder late(Syntax::explicitLittle);
    late.us(0x0028, 0x0010, 2).us(0x0028, 0x0002, 3).us(0x0028, 0x0011, 2).us(0x0028, 0x0100, 8);
    EXPECT_EQ(loadBytes(late.pixelData(Bytes(4, 1), "OB").build()).result, loadDone);

    // Before rows it refuses the file.
    DicomBuilder colour(Syntax::explicitLittle);
    colour.us(0x0028, 0x0002, 3);
    EXPECT_EQ(loadBytes(imageElements(colour, 2, 2, 8).pixelData(Bytes(12, 1), "OB").build()).result, loadFailed);

    // Columns before rows is not taken, so the file has no columns.
    DicomBuilder swapped(Syntax::explicitLittle);
    swapped.us(0x0028, 0x0011, 2).us(0x0028, 0x0010, 2).us(0x0028, 0x0100, 8);
    EXPECT_EQ(loadBytes(swapped.pixelData(Bytes(4, 1), "OB").build()).patientLine, "<unsupported filetype>");

    // The first rows wins; the last pixel data wins (an icon's comes before the image's).
    DicomBuilder twice(Syntax::explicitLittle);
    imageElements(twice, 2, 3, 8).us(0x0028, 0x0010, 9);
    twice.pixelData(Bytes(4, 0), "OB").pixelData(Bytes(6, 7), "OB");
    const Loaded l = loadBytes(twice.build());
    ASSERT_EQ(l.result, loadDone);
    EXPECT_EQ(l.image.rows, 2);
    EXPECT_EQ(l.firstByte, 7);
}

TEST(Header, PixelDataLengthAndFrameCount) {
    auto withLength = [](uint16_t rows, uint16_t columns, size_t bytes, std::optional<uint32_t> declared = {}) {
        DicomBuilder b(Syntax::explicitLittle);
        imageElements(b, rows, columns, 8).pixelData(Bytes(bytes, 3), "OB", declared);
        return loadBytes(b.build()).result;
    };
    EXPECT_EQ(withLength(4, 4, 16), loadDone);
    EXPECT_EQ(withLength(4, 4, 16 + 1024), loadDone);
    EXPECT_EQ(withLength(4, 4, 18), loadFailed);
    EXPECT_EQ(withLength(3, 3, 10), loadDone);  // an odd frame with its pad byte
    EXPECT_EQ(withLength(3, 3, 9), loadDone);
    // Frames that would reach past the file and its spare room are refused.
    EXPECT_EQ(withLength(5000, 5000, 16, 25000000), loadFailed);
    // Frames that end inside the spare room read zeros for the missing samples.
    testing::TempDir dir;
    testing::TestViewer t;
    DicomBuilder b(Syntax::explicitLittle);
    imageElements(b, 100, 100, 8).pixelData(Bytes(10, 9), "OB", 10000);
    ASSERT_EQ(t.load(dir, "short.dcm", b.build()), loadDone);
    EXPECT_EQ(t.v().dicom.pixelData()[9], 9);
    EXPECT_EQ(t.v().dicom.pixelData()[9999], 0);

    auto frames = [](const std::string& text, uint32_t stored) {
        DicomBuilder f(Syntax::explicitLittle);
        f.text(0x0028, 0x0008, "IS", text);
        const Loaded l = loadBytes(imageElements(f, 2, 2, 8).pixelData(Bytes(4 * stored, 1), "OB").build());
        return l.result == loadDone ? l.image.frameCount : 0u;
    };
    EXPECT_EQ(frames("7 ", 7), 7u);
    EXPECT_EQ(frames("1234", 123), 123u);  // three digits at most
    EXPECT_EQ(frames("0 ", 1), 1u);
}

TEST(Header, TransferSyntaxesAndEncapsulatedFrames) {
    // The RLE frame count comes from the fragments, not from (0028,0008).
    ImageRecipe recipe;
    recipe.bitsAllocated = 8;
    recipe.rows = recipe.columns = 16;
    recipe.frames = 3;
    recipe.encoding = ImageRecipe::Encoding::rle;
    recipe.writeNumberOfFrames = false;
    const Loaded rle = loadRecipe(recipe);
    EXPECT_EQ(rle.image.compression, compressionRle);
    EXPECT_EQ(rle.image.frameCount, 3u);

    // Lossless JPEG of process 70 is refused; 57 is taken as JPEG; 16-bit JPEG is refused.
    const Bytes jpeg = testing::encodeJpegGrey(Bytes(64, 9), 8, 8);
    auto withSyntax = [&jpeg](const char* uid, uint16_t bits) {
        DicomBuilder b(Syntax::explicitLittle);
        b.transferSyntax(uid);
        const Loaded l = loadBytes(imageElements(b, 8, 8, bits).encapsulated({jpeg}).build());
        return l.result == loadDone ? int(l.image.compression) : -1;
    };
    EXPECT_EQ(withSyntax(testing::uidJpegLosslessSv1, 8), -1);
    EXPECT_EQ(withSyntax(testing::uidJpegLossless, 8), compressionJpeg);
    EXPECT_EQ(withSyntax(testing::uidJpegBaseline, 12), compressionJpeg);
    EXPECT_EQ(withSyntax(testing::uidJpegBaseline, 16), -1);

    // Each frame entry points at its JPEG stream; without a delimiter the last frame ends at
    // the file's end.
    for (bool delimited : {true, false}) {
        DicomBuilder b(Syntax::explicitLittle);
        b.transferSyntax(testing::uidJpegBaseline);
        const Bytes bytes = imageElements(b, 8, 8, 8).encapsulated({jpeg, jpeg}, delimited).build();
        testing::TempDir dir;
        testing::TestViewer t;
        ASSERT_EQ(t.load(dir, "two.dcm", bytes), loadDone);
        const std::vector<uint32_t>& entry = t.v().dicom.frameOffsets;
        EXPECT_EQ(t.v().dicom.image.frameCount, 2u);
        EXPECT_EQ(bytes[entry[1]], 0xFF);
        EXPECT_EQ(bytes[entry[1] + 1], 0xD8);
        EXPECT_EQ(entry[2], delimited ? bytes.size() - 8 : bytes.size());
    }

    // Compressed pixel data in a big-endian data set has no frames.
    DicomBuilder big(Syntax::explicitBig);
    big.transferSyntax(testing::uidRle);
    EXPECT_EQ(loadBytes(imageElements(big, 8, 8, 8).encapsulated({Bytes(64, 0)}).build()).result, loadFailed);
}

}  // namespace
}  // namespace vs
