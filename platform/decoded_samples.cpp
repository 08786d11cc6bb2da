#include "platform/decoded_samples.h"

namespace vs {

bool refuse(std::string_view decoder, std::string_view why, std::string& whyNot) {
    whyNot.assign(decoder).append(": ").append(why);
    return false;
}

std::string shapeMismatch(std::string_view decoder, const CodestreamShape& shape, const FrameLayout& layout) {
    const std::string name(decoder);
    if (layout.bitsAllocated != 8 && layout.bitsAllocated != 16)
        return name + ": frames of " + std::to_string(layout.bitsAllocated) + " bits allocated are not decoded";
    if (shape.components != 1)
        return name + ": the stream holds " + std::to_string(shape.components) +
               " components (colour); only greyscale frames are shown";
    if (shape.width != layout.columns || shape.height != layout.rows)
        return name + ": the stream holds " + std::to_string(shape.width) + " x " + std::to_string(shape.height) +
               " samples, the header " + std::to_string(layout.columns) + " x " + std::to_string(layout.rows);
    if (shape.precision == 0 || shape.precision > layout.bitsAllocated)
        return name + ": the stream's " + std::to_string(shape.precision) + "-bit samples do not fit in " +
               std::to_string(layout.bitsAllocated) + " bits allocated";
    return {};
}

}  // namespace vs
