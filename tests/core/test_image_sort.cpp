// Ordering a folder's files by instance number for "Sort Images".
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/image_sort.h"
#include "tests/support/dicom_builder.h"

namespace fs = std::filesystem;
using namespace vs;
using vs::testing::ImageSpec;
using vs::testing::Syntax;

namespace {

class SortFolder : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vs_sort_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string directory() const { return dir_.string() + "/"; }

    void image(const std::string& name, const std::string& instance,
               Syntax syntax = Syntax::explicitLittle, bool withMeta = true) {
        ImageSpec spec;
        spec.syntax = syntax;
        spec.withMeta = withMeta;
        spec.instanceNumber = instance;
        spec.patientName = "Sort^Test";
        writeBytes(name, vs::testing::makeImage(spec));
    }
    void writeBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream out(dir_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::vector<std::string> sorted(const std::vector<std::string>& names) const {
        return sortNamesByInstanceNumber(directory(), names);
    }

    fs::path dir_;
};

std::string keyOf(const std::vector<uint8_t>& bytes, const std::string& name = "f") {
    return sortKeyOfBytes(bytes.data(), bytes.size(), name);
}

}  // namespace

TEST(ParseInstanceNumber, ReadsLikeTheCRuntime) {
    struct Case { const char* text; int32_t number; };
    const Case cases[] = {
        {"12", 12},        {"  7 ", 7},    {"+15", 15},        {"-3", -3},
        {"12abc", 12},     {"abc", 0},     {"", 0},            {"\t\n42", 42},
        {"- 4", 0},        {"0007", 7},    {"9999999999", INT32_MAX},
        {"-9999999999", INT32_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(parseInstanceNumber(c.text), c.number) << c.text;
}

TEST(SortKey, NumberIsWrittenWithFiveDigitsAndZeroBecomes99999) {
    ImageSpec spec;
    spec.instanceNumber = "42";
    EXPECT_EQ(keyOf(vs::testing::makeImage(spec), "a b.dcm"), "00042 a b.dcm");
    spec.instanceNumber = "0";
    EXPECT_EQ(keyOf(vs::testing::makeImage(spec)), "99999 f");
    spec.instanceNumber = "x1";  // not a number reads as 0
    EXPECT_EQ(keyOf(vs::testing::makeImage(spec)), "99999 f");
    spec.instanceNumber = "123456";
    EXPECT_EQ(keyOf(vs::testing::makeImage(spec)), "123456 f");
    spec.instanceNumber = "-5";
    EXPECT_EQ(keyOf(vs::testing::makeImage(spec)), "-0005 f");
}

TEST(SortKey, EveryEncodingFindsItsOwnNumber) {
    struct Case { Syntax syntax; bool withMeta; };
    const Case cases[] = {{Syntax::explicitLittle, true}, {Syntax::implicitLittle, true},
                          {Syntax::implicitLittle, false}, {Syntax::explicitBig, true},
                          {Syntax::explicitBig, false}};
    for (const Case& c : cases) {
        ImageSpec spec;
        spec.syntax = c.syntax;
        spec.withMeta = c.withMeta;
        spec.instanceNumber = "317";
        EXPECT_EQ(keyOf(vs::testing::makeImage(spec)), "00317 f")
            << int(c.syntax) << " meta " << c.withMeta;
    }
}

TEST(SortKey, OnlyTheFirst9000BytesAreSearched) {
    // Instance number placed after a long private text: not found within the bytes read.
    vs::testing::DicomBuilder late(Syntax::explicitLittle);
    late.text(0x0019, 0x0010, "LT", std::string(9100, 'x')).text(0x0020, 0x0013, "IS", "5");
    const std::vector<uint8_t> bytes = late.build();
    ASSERT_GT(bytes.size(), sortReadBytes);
    EXPECT_EQ(sortKeyOfBytes(bytes.data(), sortReadBytes, "f"), "AAAAA f");
    EXPECT_EQ(sortKeyOfBytes(bytes.data(), bytes.size(), "f"), "00005 f");

    EXPECT_EQ(sortKeyOfBytes(nullptr, 0, "f"), "BBBBB f");
}

TEST(SortKey, NameComesBackFromTheKeyUnchanged) {
    EXPECT_EQ(nameOfSortKey("00012 my scan  1.dcm"), "my scan  1.dcm");
    EXPECT_EQ(nameOfSortKey("AAAAA x"), "x");
    EXPECT_EQ(nameOfSortKey("AAAAA "), "");
}

TEST(SortTexts, CaseInsensitiveAndStable) {
    std::vector<std::string> texts = {"b", "B", "a", "C", "A", "c"};
    sortTextsCaseInsensitive(texts);
    EXPECT_EQ(texts, (std::vector<std::string>{"a", "A", "b", "B", "C", "c"}));
}

TEST_F(SortFolder, NumbersInNumericOrderThenTheLetterKeys) {
    image("a.dcm", "10");
    image("b.dcm", "9");
    image("c.dcm", "100");
    image("zero.dcm", "0");
    writeBytes("empty.dcm", {});
    {
        vs::testing::DicomBuilder none(Syntax::explicitLittle);
        none.text(0x0010, 0x0010, "PN", "No^Number");
        writeBytes("none.dcm", none.build());
    }
    // "gone.dcm" is listed but cannot be opened.
    EXPECT_EQ(sorted({"gone.dcm", "empty.dcm", "none.dcm", "zero.dcm", "c.dcm", "b.dcm", "a.dcm"}),
              (std::vector<std::string>{"b.dcm", "a.dcm", "c.dcm", "zero.dcm", "none.dcm",
                                        "empty.dcm", "gone.dcm"}));
}

TEST_F(SortFolder, EqualNumbersAndEqualLettersGoByName) {
    image("Beta.dcm", "3");
    image("alpha.dcm", "3");
    image("x.dcm", "1");
    writeBytes("Q.txt", {'h', 'i'});
    writeBytes("p.txt", {'h', 'o'});
    EXPECT_EQ(sorted({"Beta.dcm", "Q.txt", "alpha.dcm", "p.txt", "x.dcm"}),
              (std::vector<std::string>{"x.dcm", "alpha.dcm", "Beta.dcm", "p.txt", "Q.txt"}));
}

TEST_F(SortFolder, MixedByteOrdersSortTogether) {
    // A folder where big-endian and little-endian slices alternate: each file's number is
    // read in its own byte order, so none of them falls to the end.
    for (int i = 1; i <= 6; ++i)
        image("s" + std::to_string(7 - i) + ".dcm", std::to_string(i),
              i % 2 ? Syntax::explicitBig : Syntax::explicitLittle);
    EXPECT_EQ(sorted({"s1.dcm", "s2.dcm", "s3.dcm", "s4.dcm", "s5.dcm", "s6.dcm"}),
              (std::vector<std::string>{"s6.dcm", "s5.dcm", "s4.dcm", "s3.dcm", "s2.dcm", "s1.dcm"}));
}

TEST_F(SortFolder, NamesWithSpacesSurvive) {
    image("slice two.dcm", "2");
    image("slice  one .dcm", "1");
    EXPECT_EQ(sorted({"slice two.dcm", "slice  one .dcm"}),
              (std::vector<std::string>{"slice  one .dcm", "slice two.dcm"}));
}
