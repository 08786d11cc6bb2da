#include "cli/json_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace vs::cli {
namespace {

// The length of the valid UTF-8 sequence at text[at], or 0 when none starts there (RFC 3629:
// no overlong forms, no surrogates, nothing above U+10FFFF).
size_t utf8SequenceLength(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return i < text.size() ? uint8_t(text[i]) : uint8_t(0); };
    const auto follows = [&](size_t i) { return (byte(i) & 0xC0) == 0x80; };
    const uint8_t lead = byte(at);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return follows(at + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const uint8_t second = byte(at + 1);
        const bool inRange = (lead != 0xE0 || second >= 0xA0) && (lead != 0xED || second < 0xA0);
        return inRange && follows(at + 1) && follows(at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const uint8_t second = byte(at + 1);
        const bool inRange = (lead != 0xF0 || second >= 0x90) && (lead != 0xF4 || second < 0x90);
        return inRange && follows(at + 1) && follows(at + 2) && follows(at + 3) ? 4 : 0;
    }
    return 0;
}

void appendEscapedByte(std::string& out, uint8_t byte) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
    out += escaped;
}

}  // namespace

std::string jsonString(const std::string& bytes) {
    std::string out = "\"";
    for (size_t at = 0; at < bytes.size();) {
        const uint8_t c = uint8_t(bytes[at]);
        const size_t length = utf8SequenceLength(bytes, at);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || length == 0) {
            appendEscapedByte(out, c);
        } else {
            out.append(bytes, at, length);
            at += length;
            continue;
        }
        ++at;
    }
    return out + "\"";
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : "null";
}

void JsonObject::name(const char* name) {
    if (!body_.empty()) body_ += ',';
    body_ += jsonString(name) + ':';
}

JsonObject& JsonObject::text(const char* name, const std::string& value) { return raw(name, jsonString(value)); }

JsonObject& JsonObject::textIfGiven(const char* name, const std::string& value) {
    return value.empty() ? *this : text(name, value);
}

JsonObject& JsonObject::number(const char* name, double value) { return raw(name, jsonNumber(value)); }

JsonObject& JsonObject::raw(const char* name, const std::string& json) {
    this->name(name);
    body_ += json;
    return *this;
}

}  // namespace vs::cli
