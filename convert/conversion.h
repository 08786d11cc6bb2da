// Converting files: every frame of each file windowed and written as a picture file named
// after its source, asking before an existing file is replaced. The viewer's batch run and the
// converter both run it; each says how it asks its questions.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/part_file.h"
#include "convert/questions.h"
#include "convert/writers.h"
#include "dicom/band_pool.h"
#include "dicom/decoders.h"
#include "dicom/read_file.h"
#include "dicom/windowing.h"

namespace vs {

inline constexpr size_t pathCapacity = 2048;  // paths are cut to pathCapacity - 1 characters
inline constexpr char pathSeparator = '/';

struct ConversionSettings {
    OutputFormat format = formatTiff8;
    // With automatic windowing every frame gets the preset's window; without, every frame is
    // written through window.
    bool automaticWindowing = true;
    uint16_t preset = 1;  // a WindowPreset
    DisplayWindow window;
    bool negative = false;
    // Empty: each output goes beside its source. Otherwise the folder outputs go into (named
    // from each source's file name), with or without a trailing separator.
    std::string outputDirectory;
    // The encoder of the PNG formats (shared by every worker); null: PNG outputs fail.
    const PngEncoder* png = nullptr;
    // Where the temporaries being written are listed, so that an interrupted run can remove
    // them; null: each output lists its own.
    TemporaryFiles* temporaries = nullptr;
    // The threads a large frame's rows are windowed on (shared by every worker); null: each
    // frame on its worker's thread alone.
    BandPool* bands = nullptr;
};

struct BatchResult {
    uint32_t files = 0;      // files given, also when the run was ended early
    uint32_t converted = 0;  // images written
    uint32_t failed = 0;     // files that did not load, and images not written
    bool cancelled = false;  // a question or message was answered with Cancel
};

// Who the run asks and tells. Reading each file tells it as a ReadObserver does.
class ConversionDialogue : public ReadObserver {
public:
    // A question or a message; Cancel ends the run.
    virtual MessageAnswer ask(const std::string& text, MessageButtons buttons, MessageIcon icon) = 0;
    // The message for a file that was not read (path as given), and why.
    virtual std::string notReadText(const std::string& path, LoadStatus why) const = 0;
    virtual void fileStarted(uint32_t /*index*/, uint32_t /*count*/) {}
    virtual void frameStarted(uint32_t /*frame*/, uint32_t /*count*/) {}
};

// Converts every frame of every file, read with decoders. Relative paths are taken from the
// working directory, which the run never changes. Each output is written under a temporary
// name and renamed into place once it is whole, after the question when the output exists.
BatchResult convertFiles(const std::vector<std::string>& paths, const ConversionSettings& settings,
                         const Decoders& decoders, ConversionDialogue& dialogue);

// Makes the decoders of one worker.
using DecoderMaker = std::function<std::unique_ptr<DecoderBundle>()>;

// The same run with jobs workers reading and writing files at once, each with its own decoders;
// the questions, messages, outputs and report are those of convertFiles, in the same order.
// The dialogue is called from the calling thread only; its fileStarted counts the files the
// workers have finished, and frameStarted is not called.
BatchResult convertFilesInParallel(const std::vector<std::string>& paths, const ConversionSettings& settings,
                                   unsigned jobs, const DecoderMaker& makeDecoders, ConversionDialogue& dialogue);

// The output path of frame frame of a file with frameCount frames: folder + name + suffix, the
// suffix ".TIF", ".BMP", ".RAW" or ".PNG", preceded by the frame number zero-padded to as many digits
// as frameCount has when there is more than one frame. Cut at the path capacity.
std::string batchOutputPath(const std::string& folder, const std::string& name, uint32_t frameCount,
                            uint32_t frame, uint16_t format);

// The report at the end of a run.
std::string batchReportText(const BatchResult& result);

// The viewer's message for a file that was not read, whatever the reason.
std::string unsupportedFormatText(const std::string& path);
// The messages of an output that cannot be created, or not written whole; Save Image As tells
// them as the run does.
std::string cannotCreateText(const std::string& path);
std::string cannotWriteText(const std::string& path);

}  // namespace vs
