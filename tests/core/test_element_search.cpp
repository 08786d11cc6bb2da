// The element search over hand-made byte stretches: which place is taken and what is copied.
#include <gtest/gtest.h>

#include <string>

#include "dicom/element_search.h"

namespace vs {
namespace {

std::string le16(uint16_t v) { return {char(v), char(v >> 8)}; }
std::string be16(uint16_t v) { return {char(v >> 8), char(v)}; }
std::string explicitLe(uint16_t g, uint16_t e, const std::string& vr, const std::string& value) {
    return le16(g) + le16(e) + vr + le16(uint16_t(value.size())) + value;
}
std::string implicitLe(uint16_t g, uint16_t e, const std::string& value) {
    return le16(g) + le16(e) + le16(uint16_t(value.size())) + le16(0) + value;
}
std::string explicitBe(uint16_t g, uint16_t e, const std::string& vr, const std::string& value) {
    return be16(g) + be16(e) + vr + be16(uint16_t(value.size())) + value;
}

TEST(ElementSearch, PlacesTakenAndValuesCopied) {
    const std::string pad(16, '\0');
    const struct {
        std::string bytes;
        uint16_t group, element;
        const char* vr;
        uint16_t mostBytes;
        bool bigEndian;
        uint8_t result;  // 0 not found, 1 found, 2 found in the implicit form
        std::string text;
    } cases[] = {
        {explicitLe(8, 0x20, "DA", "20240102") + pad, 8, 0x20, "DA", 256, false, 1, "20240102"},
        // An explicit element of another VR is passed over; the implicit form is taken for any.
        {explicitLe(8, 0x20, "DA", "20240102") + pad, 8, 0x20, "TM", 256, false, 0, ""},
        {implicitLe(0x10, 0x10, "Doe^Jane") + pad, 0x10, 0x10, "LO", 256, false, 2,
         "Doe^Jane"},
        // Never at an odd offset; the tag inside an earlier value, followed by a small number, wins.
        {std::string(1, '\0') + explicitLe(0x20, 0x13, "IS", "7 ") + pad, 0x20, 0x13, "IS", 256, false, 0, ""},
        {implicitLe(9, 0x10, le16(0x20) + le16(0x13) + le16(2) + le16(0) + "99") + explicitLe(0x20, 0x13, "IS", "7 ") +
             pad, 0x20, 0x13, "IS", 256, false, 2, "99"},
        {explicitLe(0x10, 0x10, "PN", "") + pad, 0x10, 0x10, "PN", 256, false, 0, ""},  // empty reads as missing
        {implicitLe(0x20, 0x13, "7") + pad, 0x20, 0x13, "IS", 256, false, 2, "7"},
        // Values are cut at the 256 bytes the buffer holds, or at outSize.
        {explicitLe(8, 0x1030, "LO", std::string(300, 'x')) + pad, 8, 0x1030, "LO", 256, false, 1,
         std::string(256, 'x')},
        {explicitLe(0x20, 0x13, "IS", "12345678901234") + pad, 0x20, 0x13, "IS", 10, false, 1, "1234567890"},
        // A length running past the readable bytes: the missing bytes read as zeros.
        {le16(0x10) + le16(0x10) + "PN" + le16(200) + "Doe", 0x10, 0x10, "PN", 256, false, 1, "Doe"},
        // Big endian: tags and length swapped, VR as it stands; not found when searched little endian.
        {explicitBe(8, 0x20, "DA", "19991231") + explicitBe(0x18, 0x50, "DS", "2.5 ") + pad, 0x18, 0x50, "DS", 256,
         true, 1, "2.5 "},
        {explicitBe(8, 0x20, "DA", "19991231") + std::string(16, 'x'), 8, 0x20, "DA", 256, true, 1, "19991231"},
        {explicitBe(8, 0x20, "DA", "19991231") + pad, 8, 0x20, "DA", 11, false, 0, ""},
    };
    for (const auto& c : cases) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(c.bytes.data());
        const uint32_t length = uint32_t(c.bytes.size());
        const ElementValue value = findElement(tagOf(c.group, c.element), vrOf({c.vr[0], c.vr[1], 0}), bytes, length,
                                               c.mostBytes, c.bigEndian, length);
        EXPECT_EQ(value.found ? 1 + value.implicit : 0, c.result) << c.text;
        EXPECT_EQ(value.text, c.text);
    }
}

}  // namespace
}  // namespace vs
