// A file's bytes read by the library as the converter reads them, with the frame source over
// them, so that tests see its pictures and written files as values.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "convert/writers.h"
#include "dicom/frame_source.h"
#include "dicom/read_file.h"
#include "platform/decoder_bundle.h"
#include "samples/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs::testing {

// Keeps what is written, up to room bytes; writes beyond the room fail.
struct MemorySink : ByteSink {
    Bytes bytes;
    size_t room = std::numeric_limits<size_t>::max();
    bool write(const void* data, size_t n) override;
};

struct ReadImage {
    std::unique_ptr<DecoderBundle> decoders;
    DicomImage dicom;
    LoadStatus status = statusNoAccess;
    std::unique_ptr<FrameSource> source;
    WindowedFrame drawn;  // of the last picture

    // The frame windowed low..high (inverted when invert is set), rows stride bytes apart
    // (0: the columns), in a block first filled with 0xEE. Throws when bytes past the frame's
    // last row were written.
    Bytes picture(uint32_t frame, int32_t low, int32_t high, bool invert = false, size_t stride = 0);
    // What writeFrame writes of the frame; nothing when it reports a failure.
    std::optional<Bytes> written(uint32_t frame, int32_t low, int32_t high, OutputFormat format, bool invert = false);
};

// The bytes written to a file in folder and read, with the rescale and stored window; a source
// only for a file read whole. Many reads share a folder: removing one takes milliseconds.
// allCompressions reads as Decoders::allCompressions does.
std::unique_ptr<ReadImage> readImage(const Bytes& bytes, const TempDir& folder = TempDir(),
                                     bool allCompressions = false);

}  // namespace vs::testing
