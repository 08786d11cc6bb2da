// The JSON strings of --info --json: any bytes give valid JSON, valid UTF-8 is kept as it is,
// and every other byte is written as the code point of its value.
#include <gtest/gtest.h>

#include <string>

#include "cli/json_text.h"

namespace vs::cli {
namespace {

TEST(JsonText, StringsOfAnyBytes) {
    const struct {
        std::string bytes, json;
    } cases[] = {
        {"Ren\xc3\xa9", "\"Ren\xc3\xa9\""},
        {"\xc0\xaf\xc1\xbf", "\"\\u00c0\\u00af\\u00c1\\u00bf\""},  // C0 and C1 begin overlong forms only
        {"\xc2\x80\xc2\x9f", "\"\xc2\x80\xc2\x9f\""},              // C1 controls written in UTF-8
        {"\x85\xe9", "\"\\u0085\\u00e9\""},                         // Latin-1 bytes
        {"\xe0\x9f\xbf", "\"\\u00e0\\u009f\\u00bf\""},              // overlong three bytes
        {"\xed\x9f\xbf", "\"\xed\x9f\xbf\""},                       // U+D7FF
        {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},              // a surrogate
        {"\xf0\x8f\xbf\xbf", "\"\\u00f0\\u008f\\u00bf\\u00bf\""},   // overlong four bytes
        {"\xf4\x8f\xbf\xbf", "\"\xf4\x8f\xbf\xbf\""},               // U+10FFFF
        {"\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""},   // beyond U+10FFFF
        {"\xe2\x82", "\"\\u00e2\\u0082\""},                         // cut short at the end
        {std::string("\x01\x1f\x7f\t", 4) + std::string(1, '\0'), "\"\\u0001\\u001f\x7f\\u0009\\u0000\""},
        {"\"\\/", "\"\\\"\\\\/\""},
    };
    for (const auto& c : cases) EXPECT_EQ(jsonString(c.bytes), c.json) << c.json;
}

}  // namespace
}  // namespace vs::cli
