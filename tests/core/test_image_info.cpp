// The information panel's five lines and the rescale and stored window read with them.
#include <gtest/gtest.h>

#include "core/loader.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

using testing::DicomBuilder;
using testing::ImageRecipe;
using testing::makeImage;
using testing::Syntax;

struct Info {
    std::map<int, std::string> lines;
    ImageState image;
};

Info infoOf(const std::vector<uint8_t>& bytes) {
    testing::TempDir dir;
    testing::TestViewer t;
    EXPECT_EQ(t.load(dir, "image.dcm", bytes), loadDone);
    return {t.host.lines, t.v().dicom.image};
}

ImageRecipe ctRecipe(Syntax syntax) {
    ImageRecipe recipe;
    recipe.syntax = syntax;
    recipe.rows = recipe.columns = 8;
    recipe.patientName = "Doe^John";
    recipe.birthDate = "19700101";
    recipe.patientId = "ID42";
    recipe.studyDate = "20240315";
    recipe.studyTime = "101530.123456";
    recipe.studyDescription = "CHEST";
    recipe.protocolName = "Thorax routine";
    recipe.instanceNumber = "17";
    recipe.pixelSpacing = "0.5\\0.5";
    recipe.sliceThickness = "5";
    recipe.sliceLocation = "-120.5";
    recipe.rescaleIntercept = -1024;
    recipe.rescaleSlope = 1;
    recipe.windowCenter = "40\\400";
    recipe.windowWidth = "400\\1500";
    return recipe;
}

TEST(ImageInfo, TheFiveLinesInEveryByteOrder) {
    for (Syntax syntax : {Syntax::implicitLittle, Syntax::explicitLittle, Syntax::explicitBig}) {
        SCOPED_TRACE(int(syntax));
        const Info info = infoOf(makeImage(ctRecipe(syntax)));
        EXPECT_EQ(info.lines.at(controlPatientLine), "Doe^John  19700101 ID42");
        EXPECT_EQ(info.lines.at(controlDateLine), "20240315 101530 Slice#:17");
        EXPECT_EQ(info.lines.at(controlStudyLine), "CHEST  Thorax routine");  // CS padded to even
        EXPECT_EQ(info.lines.at(controlImageLine), "8 x 8 Pixels,  16 Bit, 1 Frame");
        EXPECT_EQ(info.lines.at(controlPixsizeLine), "0.5000\\0.5000\\5.00 mm  Pos:-120.5");
        EXPECT_TRUE(info.image.storedWindowCenter);
        EXPECT_EQ(info.image.storedWindowWidth, 400.0f);
    }
}

TEST(ImageInfo, PixsizeFormats) {
    auto pixsize = [](const std::string& spacing, const std::string& thickness, const std::string& between,
                      const std::string& location) {
        ImageRecipe recipe;
        recipe.pixelSpacing = spacing;
        recipe.sliceThickness = thickness;
        recipe.spacingBetweenSlices = between;
        recipe.sliceLocation = location;
        return infoOf(makeImage(recipe)).lines.at(controlPixsizeLine);
    };
    EXPECT_EQ(pixsize("0.7", "", "", "12"), "0.7000 mm");
    EXPECT_EQ(pixsize("0.5\\0.25", "", "", ""), "0.5000\\0.2500 mm");
    EXPECT_EQ(pixsize("0.5\\0", "", "", "12"), "0.5000 mm  Pos:12");
    EXPECT_EQ(pixsize("0.5\\0.5", "2", "3", ""), "0.5000\\0.5000\\2.00\\3.00 mm");
    // A thickness that holds no number counts as none.
    EXPECT_EQ(pixsize("0.5\\0.5", "abc", "", ""), "0.5000\\0.5000 mm");
    EXPECT_EQ(pixsize("", "2", "", ""), "");
}

TEST(ImageInfo, RescaleAndWindowEdgeCases) {
    ImageRecipe recipe;
    recipe.rescaleSlope = 2;  // alone it is ignored
    recipe.windowCenter = "  -600 ";
    Info info = infoOf(makeImage(recipe));
    EXPECT_DOUBLE_EQ(info.image.rescaleSlope, 1.0);
    EXPECT_DOUBLE_EQ(info.image.rescaleIntercept, 0.0);
    EXPECT_EQ(info.image.storedWindowCenter, -600.0f);
    EXPECT_FALSE(info.image.storedWindowWidth);

    recipe.windowCenter = "";
    recipe.rescaleIntercept = 10;
    info = infoOf(makeImage(recipe));
    EXPECT_FALSE(info.image.storedWindowCenter);
    EXPECT_DOUBLE_EQ(info.image.rescaleSlope, 2.0);
    EXPECT_DOUBLE_EQ(info.image.rescaleIntercept, 10.0);
}

TEST(ImageInfo, MissingAndFarAwayElements) {
    // No name: the line starts with the birth date.
    ImageRecipe recipe;
    recipe.birthDate = "19800202";
    recipe.patientId = "X1";
    recipe.frames = 3;
    recipe.bitsAllocated = 16;
    recipe.rows = recipe.columns = 16;
    recipe.encoding = ImageRecipe::Encoding::rle;
    Info info = infoOf(makeImage(recipe));
    EXPECT_EQ(info.lines.at(controlPatientLine), "19800202 X1");
    EXPECT_EQ(info.lines.at(controlImageLine), "16 x 16 Pixels,  16 Bit,  3 Frames, Rle");

    // Study description falls back to the body part examined.
    DicomBuilder body(Syntax::explicitLittle);
    body.text(0x0018, 0x0015, "CS", "KNEE").us(0x0028, 0x0010, 2).us(0x0028, 0x0011, 2).us(0x0028, 0x0100, 8);
    body.pixelData(std::vector<uint8_t>(4, 0), "OB");
    EXPECT_EQ(infoOf(body.build()).lines.at(controlStudyLine), "KNEE ");

    // Elements after the first 9,000 bytes are not seen.
    DicomBuilder far(Syntax::explicitLittle);
    far.raw(0x0009, 0x1001, "OB", std::vector<uint8_t>(9000, 0)).text(0x0010, 0x0010, "PN", "Far^Away");
    far.us(0x0028, 0x0010, 2).us(0x0028, 0x0011, 2).us(0x0028, 0x0100, 8).pixelData(std::vector<uint8_t>(4, 0), "OB");
    EXPECT_EQ(infoOf(far.build()).lines.at(controlPatientLine), "");
}

}  // namespace
}  // namespace vs
