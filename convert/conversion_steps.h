// The two halves of a conversion run. A FileConverter reads one file and writes each frame to
// a temporary beside its output; it asks nothing, so several can run at once. A Committer then
// takes the files in their given order, tells what failed, asks before an existing output is
// replaced and renames (or removes) the temporaries. Whether one converter or many fed it, the
// committer asks the same questions in the same order, so the outputs, the messages and the
// report are the same.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "convert/conversion.h"
#include "convert/part_file.h"
#include "convert/writers.h"
#include "dicom/dicom_image.h"
#include "dicom/frame_source.h"

namespace vs {

// A frame written to its temporary (part), or why not (message).
struct FrameOutcome {
    std::string target;  // the output path
    std::string message;
    std::unique_ptr<PartFile> part;
};

struct FileOutcome {
    std::string given;  // the path as given
    LoadStatus status = statusNoAccess;  // statusLoaded, or why the file was not read
    std::vector<FrameOutcome> frames;
};

// A file read for conversion: its image, and where its outputs go. Once read it is only read,
// so that several workers can write its frames at once, each through a frame source of its own.
struct OpenedFile {
    std::string given;
    std::string folder;  // of the outputs, with its trailing separator
    std::string name;    // the source's file name, which the outputs' names start with
    LoadStatus status = statusNoAccess;  // statusLoaded, or why the file was not read
    std::unique_ptr<DicomImage> dicom;  // null when the file did not load
};

// A path cut to the path capacity.
std::string cutToPath(std::string path);

class FileConverter {
public:
    FileConverter(const ConversionSettings& settings, const Decoders& decoders);

    // Reads the file and writes its frames to temporaries. frameProgress (may be null) is told
    // of each frame; a stop that turns true ends the work early (its outcome is of no use then).
    FileOutcome convert(const std::string& given, ReadObserver& observer, ConversionDialogue* frameProgress,
                        const std::atomic<bool>* stop);

    // The two halves of convert, for frames of one file written by several converters: reading
    // the file, and writing one frame of it through a source of this converter's decoders.
    OpenedFile open(const std::string& given, ReadObserver& observer);
    std::unique_ptr<FrameSource> sourceFor(const OpenedFile& file) const;
    FrameOutcome convertFrame(FrameSource& source, const OpenedFile& file, uint32_t frame);
    // Keeps a file's image to read the next file into: its buffers are then reused, and a run
    // over many files touches fresh memory once rather than at every file.
    void recycle(OpenedFile& file);

private:
    const ConversionSettings& settings_;
    Decoders decoders_;
    std::string outputFolder_;  // empty: beside each source
    std::unique_ptr<DicomImage> spare_;
    RowRoom room_;  // the writers' rows, kept from frame to frame for the same reason
};

class Committer {
public:
    Committer(ConversionDialogue& dialogue, BatchResult& result) : dialogue_(dialogue), result_(result) {}

    // Tells, asks and renames for one file; after a Cancel it only removes temporaries.
    void commit(FileOutcome& outcome);

private:
    void commitFrame(FrameOutcome& frame);
    void placeOutput(PartFile& part);
    MessageAnswer ask(const std::string& text, MessageButtons buttons, MessageIcon icon);

    ConversionDialogue& dialogue_;
    BatchResult& result_;
};

}  // namespace vs
