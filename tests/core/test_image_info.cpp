// The five lines a file's description shows, and the rescale and stored window read with them.
#include <gtest/gtest.h>

#include "dicom/image_description.h"
#include "samples/dicom_builder.h"
#include "tests/support/read_image.h"

namespace vs {
namespace {

using testing::Bytes;
using testing::DicomBuilder;
using testing::ImageRecipe;
using testing::makeImage;
using testing::Syntax;

ImageDescription describe(const Bytes& bytes) {
    const auto r = testing::readImage(bytes);
    EXPECT_EQ(r->status, statusLoaded);
    return r->source ? describeImage(r->dicom, *r->source) : ImageDescription{};
}

TEST(ImageInfo, TheFiveLinesInEveryByteOrder) {
    for (int layout = 0; layout < 6; ++layout) {  // each byte order, with and without the meta header
        const ImageDescription d = describe(makeImage(
            {.syntax = Syntax(layout / 2), .withMeta = layout % 2 == 0, .rows = 8, .columns = 8, .patientName = "Doe^John", .patientId = "ID42",
             .birthDate = "19700101", .studyDate = "20240315", .studyTime = "101530.123456", .studyDescription = "CHEST",
             .protocolName = "Thorax routine", .instanceNumber = "17", .pixelSpacing = "0.5\\0.5", .sliceThickness = "5",
             .sliceLocation = "-120.5"}));
        EXPECT_EQ(d.patient, "Doe^John  19700101 ID42");
        EXPECT_EQ(d.date, "20240315 101530 Slice#:17");
        EXPECT_EQ(d.study, "CHEST  Thorax routine");  // CS padded to even
        EXPECT_EQ(d.image, "8 x 8 Pixels,  16 Bit, 1 Frame");
        EXPECT_EQ(d.pixsize, "0.5000\\0.5000\\5.00 mm  Pos:-120.5");
    }
    // No name: the line starts with the birth date; RLE frames are counted on the Image line.
    const ImageDescription d = describe(makeImage({.rows = 16, .columns = 16, .frames = 3,
                                                   .encoding = ImageRecipe::Encoding::rle, .patientId = "X1",
                                                   .birthDate = "19800202"}));
    EXPECT_EQ(d.patient, "19800202 X1");
    EXPECT_EQ(d.image, "16 x 16 Pixels,  16 Bit,  3 Frames, Rle");

    // The study falls back to the body part; elements after the first 9,000 bytes are not seen.
    DicomBuilder body(Syntax::explicitLittle), far(Syntax::explicitLittle);
    body.text(0x0018, 0x0015, "CS", "KNEE");
    far.raw(0x0009, 0x1001, "OB", Bytes(9000, 0)).text(0x0010, 0x0010, "PN", "Far^Away");
    for (DicomBuilder* b : {&body, &far})
        b->us(0x0028, 0x0010, 2).us(0x0028, 0x0011, 2).us(0x0028, 0x0100, 8).pixelData(Bytes(4, 0), "OB");
    EXPECT_EQ(describe(body.build()).study, "KNEE ");
    EXPECT_EQ(describe(far.build()).patient, "");
}

TEST(ImageInfo, PixsizeFormats) {
    const struct {
        const char *spacing, *thickness, *between, *location, *line;
    } cases[] = {
        {"0.7", "", "", "12", "0.7000 mm"},
        {"0.5\\0.25", "", "", "", "0.5000\\0.2500 mm"},
        {"0.5\\0", "", "", "12", "0.5000 mm  Pos:12"},
        {"0.5\\0.5", "2", "3", "", "0.5000\\0.5000\\2.00\\3.00 mm"},
        {"0.5\\0.5", "abc", "", "", "0.5000\\0.5000 mm"},  // a thickness that is no number counts as none
        {"", "2", "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describe(makeImage({.pixelSpacing = c.spacing, .sliceThickness = c.thickness,
                                      .spacingBetweenSlices = c.between, .sliceLocation = c.location}))
                      .pixsize,
                  c.line);
    }
}

TEST(ImageInfo, DateAndTimeFallBackToTheAcquisition) {
    // The study date and time, each else the acquisition's, when missing or empty.
    const struct {
        const char *studyDate, *studyTime, *acquisitionDate, *acquisitionTime, *line;
    } cases[] = {
        {"20240315", "101530", "20230101", "090000", "20240315 101530"},
        {nullptr, nullptr, "20230101", "090000.25", "20230101 090000"},
        {"", "", "20230101", "0900", "20230101 0900"},
        {"20240315", nullptr, nullptr, "0900", "20240315 0900"},
        {nullptr, nullptr, nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        DicomBuilder b(Syntax::explicitLittle);
        const struct { uint16_t element; const char *vr, *text; } elements[] = {
            {0x0020, "DA", c.studyDate}, {0x0022, "DA", c.acquisitionDate}, {0x0030, "TM", c.studyTime},
            {0x0032, "TM", c.acquisitionTime}};
        for (const auto& e : elements)
            if (e.text) b.text(0x0008, e.element, e.vr, e.text);
        b.us(0x0028, 0x0010, 2).us(0x0028, 0x0011, 2).us(0x0028, 0x0100, 8).pixelData(Bytes(4, 0), "OB");
        EXPECT_EQ(describe(b.build()).date, c.line) << c.line;
    }
}

}  // namespace
}  // namespace vs
