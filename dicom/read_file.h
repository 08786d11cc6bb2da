// Reading a file into a DicomImage: the whole file in 64 KiB chunks, with progress and an
// abort between chunks, the header walk once the first four chunks are in, and the frames
// located once all are.
#pragma once

#include <cstdint>
#include <string>

#include "dicom/decoders.h"
#include "dicom/dicom_image.h"
#include "dicom/load_status.h"

namespace vs {

inline constexpr uint32_t loadChunkBytes = 65536;
// Files of more chunks than this tell their progress.
inline constexpr uint32_t progressChunkThreshold = 70;

// What a reading tells while it runs, and how it is stopped. Every step may be left alone.
class ReadObserver {
public:
    virtual ~ReadObserver() = default;
    // The file opened and is long enough to be an image: reading begins.
    virtual void started() {}
    // The buffer holds room for the file: length bytes, read in chunks; large files tell
    // their progress.
    virtual void opened(uint64_t /*length*/, bool /*large*/) {}
    // Percent of a large file read, each value once.
    virtual void progress(int /*percent*/) {}
    // Asked after every chunk; true ends the reading with statusAborted.
    virtual bool abortRequested() { return false; }
    // A large file is all in; its frames are being located.
    virtual void examining() {}
};

// Reads the file at path into dicom and walks its header. statusLoaded when it is an image we
// show, else why not. The buffer is replaced (or released, for a file too big to hold) only
// once the file has opened and is long enough to be an image. With every compression
// (decoders.allCompressions) the header walk accepts more encodings, and a deflated data set
// is inflated by decoders.inflater before it (statusTooBig when it would reach 3 GB).
LoadStatus readDicomFile(const std::string& path, DicomImage& dicom, ReadObserver& observer,
                         const Decoders& decoders = {});

}  // namespace vs
