// `vireoscan-convert --thumbnail SIZE INPUT OUTPUT`: the thumbnailer that file managers run.
#pragma once

#include <cstdint>
#include <string>

namespace vs::cli {

// Parses a thumbnail size, 1 to largestThumbnailSide.
bool parseThumbnailSide(const std::string& text, uint32_t& side);

// Writes the thumbnail of input, fitted into side x side, as the PNG file output, under a
// temporary name until it is whole. It reads only input and writes only in output's folder,
// so it runs in a sandbox that binds just those. Returns the exit status: 0, or 1 with a
// message when input gives no thumbnail or output cannot be written (nothing is left then).
int writeThumbnailFile(uint32_t side, const std::string& input, const std::string& output);

}  // namespace vs::cli
