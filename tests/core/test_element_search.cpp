// The element search over hand-made byte stretches: which place is taken and what is copied.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dicom/element_search.h"

namespace vs {
namespace {

struct Bytes {
    std::vector<uint8_t> b;
    Bytes& le16(uint16_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); return *this; }
    Bytes& be16(uint16_t v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); return *this; }
    Bytes& le32(uint32_t v) { le16(uint16_t(v)); return le16(uint16_t(v >> 16)); }
    Bytes& text(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
    Bytes& zeros(size_t n) { b.insert(b.end(), n, 0); return *this; }
    Bytes& explicitLe(uint16_t g, uint16_t e, const char* vr, const std::string& value) {
        return le16(g).le16(e).text(vr).le16(uint16_t(value.size())).text(value);
    }
    Bytes& implicitLe(uint16_t g, uint16_t e, const std::string& value) {
        return le16(g).le16(e).le32(uint32_t(value.size())).text(value);
    }
    Bytes& explicitBe(uint16_t g, uint16_t e, const char* vr, const std::string& value) {
        return be16(g).be16(e).text(vr).be16(uint16_t(value.size())).text(value);
    }
};

struct Found {
    uint8_t result;
    std::string text;
};

Found find(const Bytes& bytes, uint16_t g, uint16_t e, const char (&vr)[3], uint16_t outSize = 256,
           bool bigEndian = false, uint32_t searchLength = 0) {
    char out[257];
    out[outSize] = 0;
    const uint32_t length = searchLength ? searchLength : uint32_t(bytes.b.size());
    const uint8_t result =
        findElement(tagOf(g, e), vrOf(vr), bytes.b.data(), length, out, outSize, bigEndian, bytes.b.size());
    return {result, std::string(out)};
}

TEST(ElementSearch, ExplicitAndImplicitFormsAndVrMatching) {
    Bytes b;
    b.explicitLe(0x0008, 0x0020, "DA", "20240102").implicitLe(0x0010, 0x0010, "Doe^Jane").zeros(16);
    const Found date = find(b, 0x0008, 0x0020, "DA");
    EXPECT_EQ(date.result, elementFound);
    EXPECT_EQ(date.text, "20240102");
    // An explicit element whose VR differs from the one asked for is passed over.
    EXPECT_EQ(find(b, 0x0008, 0x0020, "TM").result, 0);
    // The implicit form is taken whatever VR is asked for, and says so.
    const Found name = find(b, 0x0010, 0x0010, "LO");
    EXPECT_EQ(name.result, elementFound | elementImplicit);
    EXPECT_EQ(name.text, "Doe^Jane");
    EXPECT_EQ(find(b, 0x0010, 0x0020, "LO").result, 0);
}

TEST(ElementSearch, PlacesThatAreTakenOrNot) {
    // An element at an odd offset is never found.
    Bytes odd;
    odd.zeros(1).explicitLe(0x0020, 0x0013, "IS", "7 ").zeros(16);
    EXPECT_EQ(find(odd, 0x0020, 0x0013, "IS").result, 0);
    // The tag pattern inside an earlier value, followed by a small number, wins.
    Bytes early;
    early.implicitLe(0x0009, 0x0010, std::string("\x20\x00\x13\x00\x02\x00\x00\x00" "99", 10))
        .explicitLe(0x0020, 0x0013, "IS", "7 ")
        .zeros(16);
    EXPECT_EQ(find(early, 0x0020, 0x0013, "IS").text, "99");
    // An element present with an empty value reads as missing.
    Bytes empty;
    empty.explicitLe(0x0010, 0x0010, "PN", "").zeros(16);
    EXPECT_EQ(find(empty, 0x0010, 0x0010, "PN").result, 0);
    // A stretch shorter than a tag finds nothing.
    EXPECT_EQ(find(early, 0x0009, 0x0010, "LO", 256, false, 2).result, 0);
}

TEST(ElementSearch, LengthsAreWholeAndCutAtTheBufferOnly) {
    // A 300-byte value (a length above 255) is copied up to the 256 bytes the buffer holds.
    Bytes b;
    b.explicitLe(0x0008, 0x1030, "LO", std::string(300, 'x')).zeros(16);
    EXPECT_EQ(find(b, 0x0008, 0x1030, "LO").text, std::string(256, 'x'));
    // outSize 10 keeps the first ten characters of a 14-character value.
    Bytes c;
    c.explicitLe(0x0020, 0x0013, "IS", "12345678901234").zeros(16);
    EXPECT_EQ(find(c, 0x0020, 0x0013, "IS", 10).text, "1234567890");
}

TEST(ElementSearch, NeverReadsPastTheReadableBytes) {
    // The declared length runs past the block: the missing bytes read as zeros.
    Bytes b;
    b.le16(0x0010).le16(0x0010).text("PN").le16(200).text("Doe");
    const Found name = find(b, 0x0010, 0x0010, "PN");
    EXPECT_EQ(name.result, elementFound);
    EXPECT_EQ(name.text, "Doe");
}

TEST(ElementSearch, BigEndianDataSets) {
    // Tags are byte-swapped, the VR characters stand as they are, the length is big endian.
    Bytes b;
    b.explicitBe(0x0008, 0x0020, "DA", "19991231").explicitBe(0x0018, 0x0050, "DS", "2.5 ").zeros(16);
    const Found date = find(b, 0x0008, 0x0020, "DA", 11, true);
    EXPECT_EQ(date.result, elementFound);
    EXPECT_EQ(date.text, "19991231");
    EXPECT_EQ(find(b, 0x0018, 0x0050, "DS", 256, true).text, "2.5 ");
    // The same bytes searched as a little-endian data set find nothing.
    EXPECT_EQ(find(b, 0x0008, 0x0020, "DA", 11, false).result, 0);
}

}  // namespace
}  // namespace vs
