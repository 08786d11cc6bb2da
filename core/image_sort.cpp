#include "core/image_sort.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <memory>
#include <new>

#include "dicom/element_search.h"
#include "dicom/file_handle.h"

namespace vs {

namespace {

// (0020,0013) Instance Number, VR IS (DICOM PS3.6); at most this many characters are read.
constexpr uint32_t instanceNumberTag = tagOf(0x0020, 0x0013);
constexpr uint16_t instanceNumberChars = 10;

std::string joinKey(std::string_view prefix, std::string_view name) {
    std::string key;
    key.reserve(prefix.size() + 1 + name.size());
    key.append(prefix);
    key.push_back(' ');
    key.append(name);
    return key;
}

}  // namespace

int32_t parseInstanceNumber(std::string_view text) {
    return int32_t(std::clamp<int64_t>(leadingInteger(text).value_or(0), INT32_MIN, INT32_MAX));
}

std::string sortKeyOfBytes(const uint8_t* bytes, size_t count, std::string_view name) {
    if (count == 0) return joinKey(keyEmptyFile, name);
    const uint32_t length = uint32_t(std::min<size_t>(count, UINT32_MAX));
    // Each file is searched in its own byte order, whatever the image on screen uses.
    ElementValue value = ElementReader(bytes, length, length, false).value(instanceNumberTag, "IS", instanceNumberChars);
    if (!value.found) value = ElementReader(bytes, length, length, true).value(instanceNumberTag, "IS", instanceNumberChars);
    if (!value.found) return joinKey(keyNoInstanceNumber, name);

    int32_t number = parseInstanceNumber(value.text);
    if (number == 0) number = unnumberedInstance;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05d", number);
    return joinKey(digits, name);
}

std::string sortKeyOfFile(const std::string& directory, std::string_view name) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[sortBufferBytes]);
    if (!buffer) return joinKey(keyNoMemory, name);
    const std::string path = directory + std::string(name);
    const FileHandle file = openFile(path, "rb");
    if (!file) return joinKey(keyNoAccess, name);
    const size_t count = std::fread(buffer.get(), 1, sortReadBytes, file.get());
    return sortKeyOfBytes(buffer.get(), count, name);
}

std::string nameOfSortKey(std::string_view key) {
    const size_t space = key.find(' ');
    return space == std::string_view::npos ? std::string() : std::string(key.substr(space + 1));
}

void sortTextsCaseInsensitive(std::vector<std::string>& texts) {
    std::stable_sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                return std::tolower(static_cast<unsigned char>(x)) <
                       std::tolower(static_cast<unsigned char>(y));
            });
    });
}

std::vector<std::string> sortNamesByInstanceNumber(const std::string& directory,
                                                   const std::vector<std::string>& names) {
    std::vector<std::string> keys;
    keys.reserve(names.size());
    for (const std::string& name : names) keys.push_back(sortKeyOfFile(directory, name));
    sortTextsCaseInsensitive(keys);
    std::vector<std::string> sorted;
    sorted.reserve(keys.size());
    for (const std::string& key : keys) sorted.push_back(nameOfSortKey(key));
    return sorted;
}

}  // namespace vs
