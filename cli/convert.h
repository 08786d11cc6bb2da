// `vireoscan-convert` conversion: the batch run over the files named on the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vs::cli {

enum class Overwrite { ask, yes, no };

struct ConvertOptions {
    uint16_t format = 0;                  // an OutputFormat
    uint16_t preset = 1;                  // a WindowPreset (Stored Settings)
    std::optional<int32_t> windowLow;     // a fixed window: automatic windowing off
    std::optional<int32_t> windowHigh;
    bool negative = false;
    std::string outputDirectory;          // empty: beside each source
    Overwrite overwrite = Overwrite::ask;
    bool quiet = false;
    unsigned jobs = 1;                    // files converted at once
    bool allDecoders = false;             // read every compression (Decoders::allCompressions)
};

inline constexpr unsigned mostJobs = 256;
inline constexpr unsigned mostDefaultJobs = 4;

// The number of cores, at most mostDefaultJobs.
unsigned defaultJobs();
// Parses a job count, 1 to mostJobs.
bool parseJobs(const std::string& text, unsigned& jobs);

// Parses a format name (tiff8, tiff16, bmp, raw, png8, png16); false when it is none of them.
bool parseFormat(const std::string& name, uint16_t& format);
// Parses a preset name (stretch, stored, lung, bone, chest, soft-tissue, brain).
bool parsePreset(const std::string& name, uint16_t& preset);
// Parses LOW:HIGH (integers, LOW <= HIGH).
bool parseWindow(const std::string& text, int32_t& low, int32_t& high);

// Converts every frame of every file; returns the exit status (0 when nothing was
// unsuccessful, 1 otherwise).
int runConvert(const ConvertOptions& options, const std::vector<std::string>& paths);

}  // namespace vs::cli
