// An 8 x 8 lossless JPEG image whose frames libjpeg-turbo refuses except where good[i] is set:
// the refused ones are baseline frames relabelled as lossless.
#pragma once

#include <string>
#include <vector>

#include "samples/dicom_builder.h"

namespace vs::testing {

inline Bytes losslessCine(const std::vector<bool>& good) {
    const Bytes baseline = encodeJpegGrey(Bytes(64, 200), 8, 8);
    std::vector<Bytes> frames;
    for (bool decodable : good) frames.push_back(decodable ? baseline : relabelAsLossless(baseline));
    DicomBuilder b(Syntax::explicitLittle);
    b.transferSyntax(uidJpegLossless).text(0x0028, 0x0008, "IS", std::to_string(frames.size()));
    b.us(0x0028, 0x0010, 8).us(0x0028, 0x0011, 8).us(0x0028, 0x0100, 8);
    return b.encapsulated(frames).build();
}

}  // namespace vs::testing
