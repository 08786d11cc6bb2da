// Ordering a folder's files by instance number for "Sort Images". Byte orders mixed in one
// folder and names with spaces are checked through the running program (test_panels_info).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/image_sort.h"
#include "samples/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

using testing::Syntax;

std::vector<uint8_t> numbered(const std::string& instance, Syntax syntax = Syntax::explicitLittle, bool withMeta = true) {
    return testing::makeImage({.syntax = syntax, .withMeta = withMeta, .instanceNumber = instance});
}

TEST(ImageSort, InstanceNumbersReadLikeTheCRuntime) {
    const struct { const char* text; int32_t number; } cases[] = {
        {"  7 ", 7},  {"+15", 15},  {"-3", -3},  {"12abc", 12},           {"abc", 0},
        {"", 0},      {"- 4", 0},   {"0007", 7}, {"9999999999", INT32_MAX}, {"-9999999999", INT32_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(parseInstanceNumber(c.text), c.number) << c.text;
}

TEST(ImageSort, KeysOfEveryEncoding) {
    const std::vector<uint8_t> n42 = numbered("42");
    EXPECT_EQ(sortKeyOfBytes(n42.data(), n42.size(), "a b.dcm"), "00042 a b.dcm");
    EXPECT_EQ(nameOfSortKey("00042 a b.dcm"), "a b.dcm");
    // Only the first 9,000 bytes are searched (cut: the first that many); an unreadable file
    // gets its own letters.
    testing::DicomBuilder late(Syntax::explicitLittle);
    const std::vector<uint8_t> far = late.text(0x0019, 0x0010, "LT", std::string(9100, 'x')).text(0x0020, 0x0013, "IS", "5").build();
    const struct { std::vector<uint8_t> bytes; const char* key; size_t cut = 0; } cases[] = {
        {numbered("0"), "99999 f"}, {numbered("x1"), "99999 f"}, {numbered("123456"), "123456 f"}, {numbered("-5"), "-0005 f"},
        {numbered("317", Syntax::implicitLittle), "00317 f"}, {numbered("317", Syntax::implicitLittle, false), "00317 f"},
        {numbered("317", Syntax::explicitBig), "00317 f"}, {numbered("317", Syntax::explicitBig, false), "00317 f"},
        {far, "AAAAA f", sortReadBytes}, {far, "00005 f"}, {{}, "BBBBB f"},
    };
    for (const auto& c : cases) EXPECT_EQ(sortKeyOfBytes(c.bytes.data(), c.cut ? c.cut : c.bytes.size(), "f"), c.key) << c.key;
}

TEST(ImageSort, AFolderInNumericOrderThenTheLetterKeysThenByName) {
    testing::TempDir dir;
    for (auto [name, instance] : {std::pair{"a", "10"}, {"b", "9"}, {"c", "100"}, {"zero", "0"}, {"Beta", "3"}, {"alpha", "3"}})
        dir.write(name + std::string(".dcm"), numbered(instance));
    dir.write("empty.dcm", {});
    dir.write("Q.txt", {'h', 'i'});
    dir.write("p.txt", {'h', 'o'});
    // "gone.dcm" is listed but cannot be opened.
    EXPECT_EQ(sortNamesByInstanceNumber(dir.path().string() + "/", {"gone.dcm", "empty.dcm", "Q.txt", "zero.dcm",
                                                                    "c.dcm", "b.dcm", "p.txt", "a.dcm", "Beta.dcm",
                                                                    "alpha.dcm"}),
              (std::vector<std::string>{"alpha.dcm", "Beta.dcm", "b.dcm", "a.dcm", "c.dcm", "zero.dcm", "p.txt",
                                        "Q.txt", "empty.dcm", "gone.dcm"}));
}

}  // namespace
}  // namespace vs
