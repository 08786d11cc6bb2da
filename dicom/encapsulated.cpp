#include "dicom/encapsulated.h"

#include <algorithm>
#include <cstring>

#include "dicom/byte_reader.h"

namespace vs {
namespace {

// The fragments of the pixel data, one item after the other.
class FragmentWalk {
public:
    FragmentWalk(const DicomImage& dicom, uint32_t firstItem)
        : in_(dicom.bytes.data(), std::min<uint64_t>(dicom.image.fileLength, dicom.bytes.size())), next_(firstItem) {}

    // Moves to the next fragment; false at the sequence delimiter, at anything that is no
    // item, or at the end of the file. A fragment the file's end cuts short ends there.
    bool next() {
        const uint64_t end = in_.length();
        if (uint64_t(next_) + itemHeaderBytes > end || in_.le32(next_) != itemTag) {
            end_ = uint32_t(std::min<uint64_t>(next_, end));
            return false;
        }
        value_ = next_ + itemHeaderBytes;
        length_ = uint32_t(std::min<uint64_t>(in_.le32(next_ + 4), end - value_));
        next_ = value_ + length_;
        return true;
    }

    uint32_t value() const { return value_; }
    uint32_t length() const { return length_; }
    // Where the fragments ended: the delimiter, or the file's end.
    uint32_t end() const { return end_; }
    const ByteReader& bytes() const { return in_; }

    // Whether the fragment begins a codestream.
    bool beginsCodestream() const {
        const uint32_t head = in_.le32(value_);
        constexpr uint32_t jp2Signature = 0x0C000000;  // 00 00 00 0C, the JP2 signature box's length
        return length_ >= 2 && ((head & 0xFFFF) == 0xD8FF || head == 0x51FF4FFF ||
                                (head == jp2Signature && in_.le32(value_ + 4) == 0x2020506A));
    }

private:
    ByteReader in_;
    uint32_t next_;
    uint32_t value_ = 0;
    uint32_t length_ = 0;
    uint32_t end_ = 0;
};

// The frames the basic offset table names: each offset, counted from the first fragment's
// item, must fall on a fragment's item, in rising order. 0 when the table is empty or not so.
uint32_t framesOfOffsetTable(DicomImage& dicom, uint32_t table, uint32_t tableLength, uint32_t firstItem) {
    const uint32_t count = tableLength / 4;
    if (count == 0 || count > mostFrames || tableLength % 4 != 0) return 0;
    const ByteReader in(dicom.bytes.data(), dicom.bytes.size());
    FragmentWalk walk(dicom, firstItem);
    uint32_t matched = 0;
    while (matched < count && walk.next()) {
        const uint64_t wanted = uint64_t(firstItem) + in.le32(table + 4 * uint64_t(matched));
        const uint32_t item = walk.value() - itemHeaderBytes;
        if (wanted < item) return 0;
        if (wanted == item) dicom.frameOffsets[matched++] = walk.value();
    }
    if (matched != count) return 0;
    while (walk.next()) {
    }
    dicom.frameOffsets[count] = walk.end();
    return count;
}

}  // namespace

uint32_t findFrameItems(DicomImage& dicom, uint32_t declaredFrames) {
    const uint32_t tableItem = dicom.image.pixelDataOffset;
    const ByteReader in(dicom.bytes.data(), dicom.bytes.size());
    if (uint64_t(tableItem) + itemHeaderBytes > dicom.image.fileLength || in.le32(tableItem) != itemTag) return 0;
    const uint32_t tableLength = in.le32(tableItem + 4);
    const uint64_t firstItem = uint64_t(tableItem) + itemHeaderBytes + tableLength;
    if (firstItem > dicom.image.fileLength) return 0;
    if (const uint32_t frames = framesOfOffsetTable(dicom, tableItem + itemHeaderBytes, tableLength, uint32_t(firstItem)))
        return frames;

    uint32_t fragments = 0;
    FragmentWalk counting(dicom, uint32_t(firstItem));
    while (counting.next()) ++fragments;
    const bool onePerFragment = fragments == declaredFrames && declaredFrames > 1;
    uint32_t frames = 0;
    FragmentWalk walk(dicom, uint32_t(firstItem));
    while (walk.next()) {
        const bool starts = frames == 0 || onePerFragment || walk.beginsCodestream();
        if (starts && frames < mostFrames) dicom.frameOffsets[frames++] = walk.value();
    }
    dicom.frameOffsets[frames] = walk.end();
    return frames;
}

std::optional<FrameSpan> frameSpan(const DicomImage& dicom, uint32_t frame) {
    if (uint64_t(frame) + 1 >= dicom.frameOffsets.size() || frame >= dicom.image.frameCount) return std::nullopt;
    const uint32_t start = dicom.frameOffsets[frame];
    // The next frame's first item, or where the fragments end, ends this frame's items.
    const uint32_t next = dicom.frameOffsets[frame + 1];
    const bool last = frame + 1 == dicom.image.frameCount;
    if (start < itemHeaderBytes || uint64_t(next) < uint64_t(start) + (last ? 0 : itemHeaderBytes)) return std::nullopt;
    return FrameSpan{start, last ? next : next - itemHeaderBytes};
}

FrameBytes frameCodestream(const DicomImage& dicom, uint32_t frame, std::vector<uint8_t>& joined) {
    const std::optional<FrameSpan> span = frameSpan(dicom, frame);
    if (!span) return {};
    const uint32_t end = span->end;
    FragmentWalk walk(dicom, span->start - itemHeaderBytes);
    if (!walk.next()) return {};
    const uint8_t* bytes = dicom.bytes.data();
    if (walk.value() + uint64_t(walk.length()) >= end) {
        return {bytes + walk.value(), std::min<size_t>(walk.length(), end - walk.value())};
    }
    joined.clear();
    do {
        if (walk.value() >= end) break;
        const size_t length = std::min<size_t>(walk.length(), end - walk.value());
        joined.insert(joined.end(), bytes + walk.value(), bytes + walk.value() + length);
    } while (walk.next());
    return {joined.data(), joined.size()};
}

}  // namespace vs
