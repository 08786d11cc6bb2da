// Which files the library accepts, and what the header walk reads from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "dicom/header.h"
#include "samples/dicom_builder.h"
#include "tests/support/read_image.h"

namespace vs {
namespace {

using testing::Bytes;
using testing::DicomBuilder;
using testing::ImageRecipe;
using testing::makeImage;
using testing::readImage;
using testing::Syntax;

// A minimal image built element by element, for files that break the usual order.
DicomBuilder image(uint16_t rows, uint16_t columns, uint16_t bits) {
    DicomBuilder b(Syntax::explicitLittle);
    b.us(0x0028, 0x0010, rows).us(0x0028, 0x0011, columns).us(0x0028, 0x0100, bits);
    return b;
}

Bytes native(uint16_t rows, uint16_t columns, size_t bytes, std::optional<uint32_t> declared = {}) {
    return image(rows, columns, 8).pixelData(Bytes(bytes, 3), "OB", declared).build();
}

TEST(Header, WhichFilesAreAccepted) {
    const Bytes jpeg = testing::encodeJpegGrey(Bytes(64, 9), 8, 8);
    DicomBuilder colourFirst(Syntax::explicitLittle), colourLate(Syntax::explicitLittle), swapped(Syntax::explicitLittle);
    colourFirst.us(0x0028, 0x0002, 3).us(0x0028, 0x0010, 2).us(0x0028, 0x0011, 2).us(0x0028, 0x0100, 8);
    colourLate.us(0x0028, 0x0010, 2).us(0x0028, 0x0002, 3).us(0x0028, 0x0011, 2).us(0x0028, 0x0100, 8);
    swapped.us(0x0028, 0x0011, 2).us(0x0028, 0x0010, 2).us(0x0028, 0x0100, 8);
    DicomBuilder greyTwice(Syntax::explicitLittle), earlyPixels(Syntax::explicitLittle);
    greyTwice.us(0x0028, 0x0002, 1).us(0x0028, 0x0002, 3).us(0x0028, 0x0010, 2).us(0x0028, 0x0011, 2).us(0x0028, 0x0100, 8);
    earlyPixels.us(0x0028, 0x0010, 2).us(0x0028, 0x0011, 2).pixelData(Bytes(4, 9), "OB").us(0x0028, 0x0100, 8);
    DicomBuilder bigRle(Syntax::explicitBig);
    bigRle.transferSyntax(testing::uidRle).us(0x0028, 0x0010, 8).us(0x0028, 0x0011, 8).us(0x0028, 0x0100, 8);
    auto jpegImage = [&jpeg](const char* uid, uint16_t bits) { return testing::encapsulatedImage(uid, 8, 8, bits, {jpeg}); };
    const struct {
        const char* label;
        Bytes bytes;
        LoadStatus status;
    } cases[] = {
        {"299 bytes", Bytes(299, 0), statusTooShort},
        {"300 bytes of text", Bytes(300, 'x'), statusUnsupported},
        {"1 bit", image(16, 16, 1).pixelData(Bytes(32, 0)).build(), statusUnsupported},
        {"3 bits", image(16, 16, 3).pixelData(Bytes(96, 0)).build(), statusUnsupported},
        {"24 bits", image(16, 16, 24).pixelData(Bytes(768, 0)).build(), statusUnsupported},
        {"colour before rows", colourFirst.pixelData(Bytes(12, 1), "OB").build(), statusUnsupported},
        {"colour after rows, ignored", colourLate.pixelData(Bytes(4, 1), "OB").build(), statusLoaded},
        {"columns before rows, not taken", swapped.pixelData(Bytes(4, 1), "OB").build(), statusUnsupported},
        {"samples per pixel twice, the first taken", greyTwice.pixelData(Bytes(4, 1), "OB").build(), statusLoaded},
        {"pixel data before bits allocated, not taken", earlyPixels.pixelData(Bytes(4, 1), "OB").build(), statusLoaded},
        {"frame count after bits allocated, not taken",
         image(2, 2, 8).text(0x0028, 0x0008, "IS", "2").pixelData(Bytes(4, 1), "OB").build(), statusLoaded},
        {"exact length", native(4, 4, 16), statusLoaded},
        {"1,024 bytes more", native(4, 4, 16 + 1024), statusLoaded},
        {"2 bytes more", native(4, 4, 18), statusUnsupported},
        {"odd frame with its pad byte", native(3, 3, 10), statusLoaded},
        {"odd frame without", native(3, 3, 9), statusLoaded},
        {"frames past the spare room", native(5000, 5000, 16, 25000000), statusUnsupported},
        {"6000 x 6000", native(6000, 6000, 36000000), statusTooBigDimensions},
        {"lossless JPEG 70", jpegImage(testing::uidJpegLosslessSv1, 8), statusUnsupportedEncoding},
        {"hierarchical JPEG 65", jpegImage("1.2.840.10008.1.2.4.65", 8), statusUnsupportedEncoding},
        {"MPEG-2 100, tried as JPEG 10", jpegImage("1.2.840.10008.1.2.4.100", 8), statusLoaded},
        {"lossless JPEG 57, tried", jpegImage(testing::uidJpegLossless, 8), statusLoaded},
        {"12-bit JPEG", jpegImage(testing::uidJpegBaseline, 12), statusLoaded},
        {"16-bit JPEG", jpegImage(testing::uidJpegBaseline, 16), statusUnsupportedEncoding},
        {"RLE in a big-endian data set", bigRle.encapsulated({Bytes(64, 0)}).build(), statusUnsupported},
    };
    for (const auto& c : cases) EXPECT_EQ(readImage(c.bytes)->status, c.status) << c.label;
}

TEST(Header, SignBits) {
    // An icon's pixel representation further on does not replace the image's. (Unsigned 16-bit
    // and 12-bit samples read without a sign: the windowing tests.)
    DicomBuilder icon = image(2, 2, 16);
    icon.us(0x0028, 0x0103, 0).us(0x0088, 0x0200, 0).us(0x0028, 0x0103, 1).pixelData(Bytes(8, 0xFF));
    EXPECT_EQ(readImage(icon.build())->dicom.image.signBit, 0u);
}

TEST(Header, WhichElementCountsAndWhereFramesLie) {
    // The first rows wins; the last pixel data wins (an icon's comes before the image's).
    DicomBuilder twice = image(2, 3, 8);
    twice.us(0x0028, 0x0010, 9).pixelData(Bytes(4, 0), "OB").pixelData(Bytes(6, 7), "OB");
    const auto t = readImage(twice.build());
    ASSERT_EQ(t->status, statusLoaded);
    EXPECT_EQ(t->dicom.image.rows, 2);
    EXPECT_EQ(t->dicom.pixelData()[0], 7);

    // The RLE frame count comes from the fragments, not from (0028,0008).
    const ImageRecipe rle{.bitsAllocated = 8, .frames = 3, .encoding = ImageRecipe::Encoding::rle, .writeNumberOfFrames = false};
    EXPECT_EQ(readImage(makeImage(rle))->dicom.image.frameCount, 3u);

    // Frames that end inside the spare room read zeros for their missing samples.
    const auto s = readImage(native(100, 100, 10, 10000));
    ASSERT_EQ(s->status, statusLoaded);
    EXPECT_EQ(s->dicom.pixelData()[9] * 1000 + s->dicom.pixelData()[9999], 3000);

    // Each JPEG frame entry points at its stream; without a delimiter the last frame ends at the
    // file's end.
    const Bytes jpeg = testing::encodeJpegGrey(Bytes(64, 9), 8, 8);
    for (bool delimited : {true, false}) {
        const Bytes bytes = testing::encapsulatedImage(testing::uidJpegBaseline, 8, 8, 8, {jpeg, jpeg}, delimited);
        const auto r = readImage(bytes);
        ASSERT_EQ(r->dicom.image.frameCount, 2u);
        const std::vector<uint32_t>& entry = r->dicom.frameOffsets;
        EXPECT_EQ(bytes[entry[1]] * 256 + bytes[entry[1] + 1], 0xFFD8);
        EXPECT_EQ(entry[2], delimited ? bytes.size() - 8 : bytes.size());
    }
}

TEST(Header, NumberOfFramesIsTheWholeIntegerString) {
    // (0028,0008) as written, in each syntax: the frames read, or 0 for a count beyond the frame
    // table, which is refused with its reason (after the first chunks, for such a file is long).
    // The value ends where its length says, also when the next tag's bytes read as digits.
    const struct {
        Syntax syntax;
        const char* text;
        uint32_t frames;
        bool digitsAfter = false;
    } cases[] = {
        {Syntax::explicitLittle, "12", 12, true}, {Syntax::implicitLittle, "12", 12, true},
        {Syntax::explicitBig, "12", 12, true},
        {Syntax::explicitLittle, "1", 1},         {Syntax::explicitLittle, "12 ", 12},
        {Syntax::explicitLittle, "999", 999},     {Syntax::explicitLittle, "1000", 1000},
        {Syntax::implicitLittle, "1234", 1234},   {Syntax::explicitBig, "1234", 1234},
        {Syntax::explicitLittle, "65535", 65535}, {Syntax::explicitLittle, "65536", 0},
        {Syntax::explicitLittle, "123456789012", 0}, {Syntax::explicitLittle, "  42  ", 42},
        {Syntax::explicitLittle, "0", 1},         {Syntax::explicitLittle, "x7", 1},
        {Syntax::explicitLittle, "-3", 1},
    };
    for (const auto& c : cases) {
        DicomBuilder f(c.syntax);
        f.text(0x0028, 0x0008, "IS", c.text);
        const bool big = c.syntax == Syntax::explicitBig;
        if (c.digitsAfter) f.raw(big ? 0x3334 : 0x3433, big ? 0x3536 : 0x3635, "OB", {});  // "34" "56"
        f.us(0x0028, 0x0010, 2).us(0x0028, 0x0011, 2).us(0x0028, 0x0100, 8);
        f.pixelData(Bytes(4 * (c.frames ? c.frames : 65536), 1), "OB");
        const auto r = readImage(f.build());
        EXPECT_EQ(r->status, c.frames ? statusLoaded : statusTooBigDimensions) << c.text;
        EXPECT_EQ(r->dicom.image.frameCount, c.frames ? c.frames : r->dicom.image.frameCount) << c.text;
    }
}

TEST(Header, FramesOfTwoToTheThirtyTwoBitsAreCountedWithoutWrapping) {
    // 1,024 frames of 1024 x 512 bytes: the pixel data's declared length must be their 512 MiB,
    // not what a 32-bit count of their bits wraps to. The buffer's untouched pages cost nothing.
    for (const auto& [declared, status] : {std::pair{uint32_t(1) << 29, statusLoaded}, {0u, statusUnsupported}}) {
        DicomBuilder b(Syntax::explicitLittle);
        b.text(0x0028, 0x0008, "IS", "1024").us(0x0028, 0x0010, 512).us(0x0028, 0x0011, 1024).us(0x0028, 0x0100, 8);
        const Bytes file = b.pixelData({}, "OB", declared).build();
        DicomImage dicom;
        ASSERT_TRUE(dicom.bytes.prepare(file.size() + (uint64_t(1) << 29)));
        std::copy(file.begin(), file.end(), dicom.bytes.data());
        dicom.image.fileLength = uint32_t(file.size() + (uint64_t(1) << 29));
        EXPECT_EQ(scanHeader(dicom), status) << declared;
    }
}

TEST(Header, WithoutPhotometricInterpretationTheImageIsMonochrome2) {
    // (0028,0004) missing: the lowest value is black, as in MONOCHROME2.
    const auto r = readImage(image(1, 2, 8).pixelData(Bytes{0, 200}, "OB").build());
    ASSERT_EQ(r->status, statusLoaded);
    EXPECT_EQ(r->picture(0, 0, 255, r->dicom.image.monochrome1), Bytes({0, 200}));
}

TEST(Header, PixelDataIsLookedForUpTo80000OffsetsAfterBitsAllocated) {
    // Zeros between bits allocated and the pixel data hold no element: the walk gives up once
    // 80,000 offsets in a row, two bytes apart, held nothing it accepts.
    const uint8_t bitsTag[] = {0x28, 0x00, 0x00, 0x01}, pixelTag[] = {0xE0, 0x7F, 0x10, 0x00};
    auto distance = [&](const Bytes& file) {
        const auto bits = std::search(file.begin(), file.end(), std::begin(bitsTag), std::end(bitsTag));
        return size_t(std::search(bits, file.end(), std::begin(pixelTag), std::end(pixelTag)) - bits);
    };
    auto withGap = [](size_t zeros) {
        return image(1, 2, 8).raw(0x0009, 0x1000, "OB", Bytes(zeros, 0)).pixelData(Bytes(2, 1), "OB").build();
    };
    const size_t fixedPart = distance(withGap(0));
    for (const auto& [gap, status] : {std::pair{size_t(160002), statusLoaded}, {size_t(160004), statusUnsupported}})
        EXPECT_EQ(readImage(withGap(gap - fixedPart))->status, status) << gap;
}

TEST(Header, AReusedBufferReadsZerosPastTheNewFile) {
    const Bytes small = native(4, 4, 16);
    testing::TempDir dir;
    DicomImage dicom;
    ReadObserver quiet;
    ASSERT_EQ(readDicomFile(dir.write("large", native(2300, 2300, 2300 * 2300)), dicom, quiet), statusLoaded);
    ASSERT_EQ(readDicomFile(dir.write("small", small), dicom, quiet), statusLoaded);
    ASSERT_EQ(dicom.bytes.size(), small.size() + spareRoomBytes);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), dicom.bytes.data()));
    EXPECT_TRUE(std::all_of(dicom.bytes.data() + small.size(), dicom.bytes.data() + 6000000, [](uint8_t b) { return !b; }));
}

}  // namespace
}  // namespace vs
