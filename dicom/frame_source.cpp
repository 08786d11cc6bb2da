#include "dicom/frame_source.h"

namespace vs {

const char* codecOf(uint16_t compression) {
    switch (compression) {
        case compressionJpeg:
        case compressionLosslessJpeg:
        case compressionJpegSamples: return "JPEG";
        case compressionJpegLs: return "JPEG-LS";
        case compressionJpeg2000: return "JPEG 2000";
        case compressionHtj2k: return "HTJ2K";
        default: return nullptr;
    }
}

std::unique_ptr<FrameSource> frameSourceFor(const DicomImage& dicom, const Decoders& decoders) {
    const uint16_t kind = dicom.image.compression;
    switch (kind) {
        case compressionRle: return rleSource(dicom);
        case compressionJpeg: return jpegSource(dicom, decoders.picture);
        case compressionLosslessJpeg:
        case compressionJpegSamples: return decodedSource(dicom, decoders.jpeg, codecOf(kind));
        case compressionJpegLs: return decodedSource(dicom, decoders.jpegLs, codecOf(kind));
        case compressionJpeg2000:
        case compressionHtj2k: return decodedSource(dicom, decoders.jpeg2000, codecOf(kind));
        default: return uncompressedSource(dicom);
    }
}

}  // namespace vs
