#include "tests/support/read_image.h"

#include <algorithm>
#include <stdexcept>

#include "dicom/image_description.h"

namespace vs::testing {

bool MemorySink::write(const void* data, size_t n) {
    const size_t taken = std::min(n, room - std::min(room, bytes.size()));
    bytes.insert(bytes.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + taken);
    return taken == n;
}

Bytes ReadImage::picture(uint32_t frame, int32_t low, int32_t high, bool invert, size_t stride) {
    if (stride == 0) stride = dicom.image.columns;
    const size_t frameBytes = dicom.image.rows * stride, guardBytes = 16;
    Bytes out(frameBytes + guardBytes, 0xEE);
    drawn = source->windowRows(frame, windowMapping(low, high, invert), 0, dicom.image.rows, out.data(), stride);
    if (!std::all_of(out.begin() + long(frameBytes), out.end(), [](uint8_t b) { return b == 0xEE; }))
        throw std::runtime_error("the picture was written past the frame's last row");
    out.resize(frameBytes);
    return out;
}

std::optional<Bytes> ReadImage::written(uint32_t frame, int32_t low, int32_t high, OutputFormat format,
                                        bool invert) {
    MemorySink sink;
    if (!writeFrame(*source, dicom.image, frame, windowMapping(low, high, invert), format, sink)) return std::nullopt;
    return sink.bytes;
}

std::unique_ptr<ReadImage> readImage(const Bytes& bytes, const TempDir& folder, bool allCompressions) {
    auto r = std::make_unique<ReadImage>();
    r->decoders = makeDecoderBundle(allCompressions);
    ReadObserver quiet;
    r->status = readDicomFile(folder.write("image.dcm", bytes), r->dicom, quiet, r->decoders->decoders());
    if (r->status != statusLoaded) return r;
    readRescaleAndWindow(r->dicom);
    r->source = frameSourceFor(r->dicom, r->decoders->decoders());
    return r;
}

}  // namespace vs::testing
