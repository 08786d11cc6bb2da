// JSON text for --info --json: strings escaped so that any bytes make valid UTF-8 JSON, and
// numbers written as the shortest text that reads back as the same double.
#pragma once

#include <string>

namespace vs::cli {

// A JSON string literal with its quotes. Valid UTF-8 is kept as it is; a byte that is not part
// of valid UTF-8 becomes \u00XX (XX its value), so nothing is dropped and a Latin-1 name reads
// as Latin-1. Control characters, the quote and the backslash are escaped.
std::string jsonString(const std::string& bytes);

// A JSON number; null for infinities and NaN, which JSON cannot hold.
std::string jsonNumber(double value);

// One JSON object, built field by field, on one line.
class JsonObject {
public:
    JsonObject& text(const char* name, const std::string& value);
    // A text field only when value is not empty.
    JsonObject& textIfGiven(const char* name, const std::string& value);
    JsonObject& number(const char* name, double value);
    // A field whose value is already JSON (an object, an array).
    JsonObject& raw(const char* name, const std::string& json);
    bool empty() const { return body_.empty(); }
    std::string str() const { return "{" + body_ + "}"; }

private:
    void name(const char* name);
    std::string body_;
};

}  // namespace vs::cli
