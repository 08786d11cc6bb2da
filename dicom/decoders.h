// The decoders a reading may need, handed together wherever files are read: the viewer, the
// conversion run (one set per worker), the converter and --info. By default a file's frames
// are read as they are stored, baseline JPEG through the picture decoder; with allCompressions
// the header walk also accepts lossless and 12-bit JPEG, JPEG-LS, JPEG 2000, HTJ2K and
// deflated data sets, whose frames the sample decoders turn into stored samples. A missing
// decoder refuses the frames it would decode, each with a reason.
#pragma once

#include "dicom/inflater.h"
#include "dicom/picture.h"
#include "dicom/sample_decoder.h"

namespace vs {

struct Decoders {
    // 8-bit baseline and extended JPEG, shown as a picture (with or without allCompressions).
    PictureDecoder* picture = nullptr;
    // The rest serve only with allCompressions.
    SampleDecoder* jpeg = nullptr;      // lossless JPEG, 12-bit DCT, and DCT frames not shown as pictures
    SampleDecoder* jpegLs = nullptr;    // JPEG-LS, lossless and near-lossless
    SampleDecoder* jpeg2000 = nullptr;  // JPEG 2000 and HTJ2K
    Inflater* inflater = nullptr;       // deflated explicit VR little endian
    bool allCompressions = false;
};

// A set of decoders together with what owns them. A decoder serves one thread at a time: each
// thread that reads files has its own bundle.
class DecoderBundle {
public:
    virtual ~DecoderBundle() = default;
    const Decoders& decoders() const { return decoders_; }

protected:
    Decoders decoders_;
};

}  // namespace vs
