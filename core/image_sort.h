// Ordering the files of a folder by their DICOM instance number, for the panel's
// "Sort Images" switch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vs {

inline constexpr uint32_t sortReadBytes = 9000;     // only the start of each file is searched
inline constexpr uint32_t sortBufferBytes = 10000;  // the block those bytes are read into
inline constexpr int32_t unnumberedInstance = 99999; // instance number 0 or not a number

// Key prefixes of files without a usable instance number; they sort after every number.
inline constexpr const char* keyNoInstanceNumber = "AAAAA";
inline constexpr const char* keyEmptyFile = "BBBBB";
inline constexpr const char* keyNoAccess = "CCCCC";
inline constexpr const char* keyNoMemory = "DDDDD";

// The value text read as a decimal integer: leading white space skipped, an optional sign,
// then digits up to the first other character; no digits give 0. Saturates at the limits
// of a 32-bit integer.
int32_t parseInstanceNumber(std::string_view text);

// The sort key of a file whose first bytes are given: "%05d name" with its instance number
// (0020,0013) IS, or "AAAAA name" when the bytes hold none, "BBBBB name" when there are no
// bytes. The element is looked for in the file's own byte order: little endian first, then
// big endian.
std::string sortKeyOfBytes(const uint8_t* bytes, size_t count, std::string_view name);

// The sort key of directory + name, read from the first sortReadBytes of the file
// ("CCCCC name" when it cannot be opened).
std::string sortKeyOfFile(const std::string& directory, std::string_view name);

// The file name inside a key: everything after the key's first space.
std::string nameOfSortKey(std::string_view key);

// Sorts texts by case-insensitive comparison of the whole text; equal texts keep their order.
void sortTextsCaseInsensitive(std::vector<std::string>& texts);

// The names in instance-number order (each file of directory is read once).
std::vector<std::string> sortNamesByInstanceNumber(const std::string& directory,
                                                   const std::vector<std::string>& names);

}  // namespace vs
