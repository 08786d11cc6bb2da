#include "dicom/header.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "dicom/byte_reader.h"
#include "dicom/element_search.h"
#include "dicom/encapsulated.h"
#include "dicom/frame_source.h"
#include "dicom/jpeg_markers.h"

namespace vs {

namespace {

// The tag patterns the scan looks for, as the four tag bytes read little-endian. A big-endian
// data set stores each 16-bit half with its bytes swapped.
enum TagPattern : uint32_t {
    leTransferSyntax = 0x00100002, beTransferSyntax = 0x10000200,
    leSamplesPerPixel = 0x00020028, beSamplesPerPixel = 0x02002800,
    lePhotometric = 0x00040028, bePhotometric = 0x04002800,
    leNumberOfFrames = 0x00080028, beNumberOfFrames = 0x08002800,
    leRows = 0x00100028, beRows = 0x10002800,
    leColumns = 0x00110028, beColumns = 0x11002800,
    leBitsAllocated = 0x01000028, beBitsAllocated = 0x00012800,
    leBitsStored = 0x01010028, beBitsStored = 0x01012800,
    lePixelRepresentation = 0x01030028, bePixelRepresentation = 0x03012800,
    lePixelData = 0x00107FE0, bePixelData = 0x1000E07F,
};

// The elements a candidate set has accepted, one bit each.
enum SeenFlag : uint32_t {
    seenSamplesPerPixel = 1, seenRows = 2, seenColumns = 4, seenBitsAllocated = 8, seenPixelData = 16,
};
constexpr uint32_t seenDimensions = seenRows | seenColumns | seenBitsAllocated;
constexpr uint32_t seenImageElements = seenDimensions | seenPixelData;

enum Photometric : int { monochrome1 = 0, monochrome2 = 1, photometricNotGiven = 2, photometricOther = 4 };

// The first two bytes of every tag pattern, read little-endian: the groups 0002, 0028 and
// 7FE0, each in both byte orders.
constexpr uint16_t tagLowHalves[] = {0x0002, 0x0028, 0x7FE0, 0x0200, 0x2800, 0xE07F};

// The same halves, one bit each: offsets whose first two bytes are none of them are passed
// over with one look-up.
constexpr std::array<uint64_t, 1024> tagLowHalfTable() {
    std::array<uint64_t, 1024> bits{};
    for (const uint32_t low : tagLowHalves) bits[low >> 6] |= uint64_t(1) << (low & 63);
    return bits;
}
constexpr std::array<uint64_t, 1024> tagLowHalfBits = tagLowHalfTable();

constexpr bool mayBeTag(uint32_t w) {
    const uint32_t low = w & 0xFFFF;
    return (tagLowHalfBits[low >> 6] >> (low & 63)) & 1;
}
static_assert(mayBeTag(leTransferSyntax) && mayBeTag(beTransferSyntax) && mayBeTag(leSamplesPerPixel) &&
              mayBeTag(beSamplesPerPixel) && mayBeTag(lePhotometric) && mayBeTag(bePhotometric) &&
              mayBeTag(leNumberOfFrames) && mayBeTag(beNumberOfFrames) && mayBeTag(leRows) &&
              mayBeTag(beRows) && mayBeTag(leColumns) && mayBeTag(beColumns) && mayBeTag(leBitsAllocated) &&
              mayBeTag(beBitsAllocated) && mayBeTag(leBitsStored) && mayBeTag(beBitsStored) &&
              mayBeTag(lePixelRepresentation) &&
              mayBeTag(bePixelRepresentation) && mayBeTag(lePixelData) && mayBeTag(bePixelData));

// What the scan found for one byte order.
struct CandidateSet {
    bool bigEndian = false;
    uint32_t flags = 0;
    int samplesPerPixel = 1;
    int photometric = photometricNotGiven;
    uint32_t frames = 1;
    uint16_t rows = 0, columns = 0, bitsAllocated = 0;
    uint16_t bitsStored = 0;
    int pixelRepresentation = -1;
    uint32_t pixelValueOffset = 0, pixelLength = 0;
};

constexpr uint16_t jpegStartOfImage = 0xD8FF;  // FF D8 read little-endian
// The transfer syntax's value is looked for this far from its tag.
constexpr uint32_t syntaxSearchBytes = 30;
// Enough of a Number of Frames value for any count, blanks around it included (an IS holds 12
// characters at most).
constexpr uint16_t framesTextBytes = 64;

// Every transfer syntax read here is one of DICOM's own, 1.2.840.10008.1.2[.N...] (PS3.5 A,
// PS3.6 A): implicit VR little endian is the root itself, the JPEG family 1.2.840.10008.1.2.4.N.
constexpr std::string_view syntaxRoot = "1.2.840.10008.1.2.";
constexpr std::string_view jpegFamily = "1.2.840.10008.1.2.4.";
constexpr std::string_view deflatedSyntax = "1.2.840.10008.1.2.1.99";

// A UID without the blanks some writers pad it with.
std::string_view withoutTrailingBlanks(std::string_view uid) {
    while (!uid.empty() && uid.back() == ' ') uid.remove_suffix(1);
    return uid;
}

// The number that ends a JPEG-family UID, 1.2.840.10008.1.2.4.N: the JPEG process (50
// baseline, 51 extended, 57 and 70 lossless; 65 and above are hierarchical and lossless), or
// the encoding of the later members (80 JPEG-LS, 90 JPEG 2000, 201 HTJ2K, 100 MPEG-2 ...).
// None for other UIDs, or when the last component is not a number.
std::optional<uint32_t> jpegFamilyNumber(std::string_view uid) {
    uid = withoutTrailingBlanks(uid);
    if (!uid.starts_with(jpegFamily)) return std::nullopt;
    const std::string_view last = uid.substr(jpegFamily.size());
    if (last.empty() || last.size() > 9 || last.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    uint32_t number = 0;
    for (const char digit : last) number = number * 10 + uint32_t(digit - '0');
    return number;
}

// The JPEG processes read by default: those below 65 (lossless .57 included, whose frames
// the picture decoder then refuses one by one).
constexpr uint32_t firstUnreadJpegProcess = 65;
// By default a JPEG-family UID is judged by the number its last component starts with, of
// at most two characters: .100 (MPEG-2) and .201 (HTJ2K) read as 10 and 20, so they are
// tried as JPEG and the picture decoder refuses their frames one by one.
constexpr size_t processCharacters = 2;

// The kind of a DICOM transfer syntax by default: any JPEG-family UID is JPEG unless its
// process is one never read; RLE; everything else uncompressed.
uint16_t kindByDefault(std::string_view uid) {
    const char family = uid.size() > syntaxRoot.size() ? uid[syntaxRoot.size()] : 0;
    if (family == '5') return compressionRle;
    if (family != '4') return compressionNone;
    const std::string_view last = uid.substr(std::min(uid.size(), jpegFamily.size()), processCharacters);
    const std::optional<int64_t> process = leadingInteger(last);
    return process && *process >= firstUnreadJpegProcess ? compressionLosslessJpeg : compressionJpeg;
}

// The kind of a DICOM transfer syntax read with every compression, or none for those refused
// (hierarchical JPEG, multi-component JPEG 2000, JPIP, MPEG, ...).
std::optional<uint16_t> kindOfEverySyntax(std::string_view uid) {
    if (withoutTrailingBlanks(uid) == deflatedSyntax) return compressionDeflate;
    const std::string_view family = uid.substr(syntaxRoot.size());
    if (family.starts_with('5')) return compressionRle;
    if (!family.starts_with("4.")) return compressionNone;
    const std::optional<uint32_t> number = jpegFamilyNumber(uid);
    if (!number) return std::nullopt;
    // Baseline, extended, progressive and lossless .57: the stream's frame header decides
    // later whether a frame is a picture or samples.
    if (*number < firstUnreadJpegProcess) return compressionJpeg;
    switch (*number) {
        case 70: return compressionLosslessJpeg;
        case 80:
        case 81: return compressionJpegLs;
        case 90:
        case 91: return compressionJpeg2000;
        case 201:
        case 202:
        case 203: return compressionHtj2k;
        default: return std::nullopt;
    }
}

class HeaderScan {
public:
    HeaderScan(DicomImage& dicom, bool allCompressions)
        : dicom_(dicom), in_(dicom.bytes.data(), dicom.bytes.size()), allCompressions_(allCompressions) {
        big_.bigEndian = true;
    }

    // Walks the first bytes of the file, two at a time, until 80,000 offsets in a row held
    // nothing accepted.
    void walk() {
        // The file buffer's spare room makes the whole scan range readable in place.
        if (in_.length() >= uint64_t(headerScanBytes) + 8) walkOver<true>();
        else walkOver<false>();
    }

    // The little-endian set when it holds every image element, else the big-endian one.
    CandidateSet* chosen() {
        for (CandidateSet* set : {&little_, &big_})
            if ((set->flags & seenImageElements) == seenImageElements) return set;
        return nullptr;
    }

    // The last transfer syntax seen is one that is never read.
    bool syntaxRefused() const {
        return allCompressions_ ? refused_ : dicom_.image.compression == compressionLosslessJpeg;
    }
    // The last transfer syntax seen is the deflated one, which is read only with every
    // compression.
    bool deflatedUnread() const { return deflatedUnread_; }

private:
    // Offsets are visited two bytes apart. The walk gives up once 80,000 offsets in a row
    // held nothing accepted, so after an element accepted at offset a (or from the start, as
    // if at 0) it ends before a + 2 * 80,001 + 2.
    static uint32_t walkEndAfter(uint32_t accepted) {
        return std::min<uint32_t>(headerScanBytes, accepted + 2 * (headerScanGiveUp + 1) + 2);
    }

    template <bool inPlace>
    void walkOver() {
        uint32_t end = walkEndAfter(0);
        uint32_t w = 0;
        for (uint32_t p = nextPossibleTag<inPlace>(0, end, w); p < end; p = nextPossibleTag<inPlace>(p + 2, end, w))
            if (visit(p, w)) end = walkEndAfter(p);
    }

    // The first offset from p on, before end, whose four bytes w may be a tag pattern; end
    // when there is none.
    template <bool inPlace>
    uint32_t nextPossibleTag(uint32_t p, uint32_t end, uint32_t& w) const {
        const uint8_t* bytes = in_.data();
        while (p < end) {
            // Eight offsets at a time while none of them can start a tag (most of a header and
            // all of the zeroed spare room), then one by one through the block that can.
            if constexpr (inPlace)
                while (p + 16 <= end && !anyHalfIsOneOf(bytes + p, tagLowHalves)) p += 16;
            const uint32_t blockEnd = std::min(end, p + 16);
            for (; p < blockEnd; p += 2) {
                if constexpr (inPlace) std::memcpy(&w, bytes + p, 4);  // little-endian machine
                else w = in_.le32(p);
                if (mayBeTag(w)) return p;
            }
        }
        return end;
    }

    int16_t signed16(const CandidateSet& set, uint32_t at) const {
        return int16_t(set.bigEndian ? in_.be16(at) : in_.le16(at));
    }
    uint32_t number32(const CandidateSet& set, uint32_t at) const {
        return set.bigEndian ? in_.be32(at) : in_.le32(at);
    }

    bool visit(uint32_t p, uint32_t w) {
        switch (w) {
            case leTransferSyntax: return transferSyntax(little_, p, w);
            case beTransferSyntax: return transferSyntax(big_, p, w);
            case leSamplesPerPixel: return samplesPerPixel(little_, p);
            case beSamplesPerPixel: return samplesPerPixel(big_, p);
            case lePhotometric: return photometric(little_, p);
            case bePhotometric: return photometric(big_, p);
            case leNumberOfFrames: return numberOfFrames(little_, p);
            case beNumberOfFrames: return numberOfFrames(big_, p);
            case leRows: return dimension(little_, p, 0, seenRows, little_.rows);
            case beRows: return dimension(big_, p, 0, seenRows, big_.rows);
            case leColumns: return dimension(little_, p, seenRows, seenColumns, little_.columns);
            case beColumns: return dimension(big_, p, seenRows, seenColumns, big_.columns);
            case leBitsAllocated:
                return dimension(little_, p, seenRows | seenColumns, seenBitsAllocated, little_.bitsAllocated);
            case beBitsAllocated:
                return dimension(big_, p, seenRows | seenColumns, seenBitsAllocated, big_.bitsAllocated);
            case leBitsStored: bitsStored(little_, p); return false;
            case beBitsStored: bitsStored(big_, p); return false;
            case lePixelRepresentation: pixelRepresentation(little_, p); return false;
            case bePixelRepresentation: pixelRepresentation(big_, p); return false;
            case lePixelData: return pixelData(little_, p);
            case bePixelData: return pixelData(big_, p);
            default: return false;
        }
    }

    // No rows, columns, bits allocated or pixel data seen yet: the elements that come before
    // them in a data set are taken only then.
    static bool beforeImageElements(const CandidateSet& set) { return (set.flags & seenImageElements) == 0; }

    // (0002,0010): the transfer syntax decides the compression; the byte order is decided by
    // which candidate set ends up complete.
    bool transferSyntax(CandidateSet& set, uint32_t p, uint32_t pattern) {
        if (!beforeImageElements(set)) return false;
        const ElementReader here(in_.data() + p, in_.length() - p, syntaxSearchBytes, false);
        const std::string uid = here.text(pattern, "UI");
        deflatedUnread_ = false;
        if (!uid.starts_with(syntaxRoot)) return true;
        if (allCompressions_) {
            const std::optional<uint16_t> kind = kindOfEverySyntax(uid);
            refused_ = !kind;
            dicom_.image.compression = kind.value_or(compressionNone);
            return true;
        }
        dicom_.image.compression = kindByDefault(uid);
        deflatedUnread_ = withoutTrailingBlanks(uid) == deflatedSyntax;
        return true;
    }

    // Samples per pixel counts only before every other element: a colour image names it first.
    bool samplesPerPixel(CandidateSet& set, uint32_t p) {
        if (set.flags != 0) return false;
        set.samplesPerPixel = signed16(set, p + 8);
        set.flags |= seenSamplesPerPixel;
        return true;
    }

    bool photometric(CandidateSet& set, uint32_t p) {
        if (!beforeImageElements(set)) return false;
        if (in_.le32(p + 14) == 0x454D4F52) {  // "ROME" of "MONOCHROME1" / "MONOCHROME2"
            const uint8_t kind = in_.byte(p + 18);
            if (kind == '2') set.photometric = monochrome2;
            else if (kind == '1') set.photometric = monochrome1;
        } else {
            set.photometric = photometricOther;
        }
        return true;
    }

    // (0028,0008) IS: the number its value starts with; none, or one below 1, counts as one
    // frame.
    bool numberOfFrames(CandidateSet& set, uint32_t p) {
        if (!beforeImageElements(set)) return false;
        const std::string text = elementTextAt(in_.data(), in_.length(), p, vrOf("IS"), set.bigEndian, framesTextBytes);
        const std::optional<int64_t> frames = leadingInteger(text);
        set.frames = frames && *frames > 0 ? uint32_t(std::min<int64_t>(*frames, UINT32_MAX)) : 0;
        return true;
    }

    // Rows, columns and bits allocated, each accepted only in that order.
    bool dimension(CandidateSet& set, uint32_t p, uint32_t seenBefore, uint32_t seen, uint16_t& value) {
        if ((set.flags & seenImageElements) != seenBefore) return false;
        value = uint16_t(signed16(set, p + 8));
        set.flags |= seen;
        return true;
    }

    // (0028,0101) and (0028,0103): the first one after bits allocated belongs to the image;
    // an icon image sequence further on carries its own.
    void bitsStored(CandidateSet& set, uint32_t p) {
        if (!(set.flags & seenBitsAllocated) || set.bitsStored) return;
        set.bitsStored = uint16_t(signed16(set, p + 8));
    }

    void pixelRepresentation(CandidateSet& set, uint32_t p) {
        if (!(set.flags & seenBitsAllocated) || set.pixelRepresentation >= 0) return;
        set.pixelRepresentation = signed16(set, p + 8) != 0 ? 1 : 0;
    }

    // (7FE0,0010): every later pattern replaces the earlier one, so the image's own pixel data
    // wins over an icon's that came before it.
    bool pixelData(CandidateSet& set, uint32_t p) {
        if ((set.flags & seenDimensions) != seenDimensions) return false;
        set.flags |= seenPixelData;
        const uint8_t c0 = in_.byte(p + 4), c1 = in_.byte(p + 5);
        if (c0 == 'O' && (c1 == 'W' || c1 == 'B')) {
            set.pixelLength = number32(set, p + 8);
            set.pixelValueOffset = p + 12;
        } else {
            set.pixelLength = number32(set, p + 4);
            set.pixelValueOffset = p + 8;
        }
        return true;
    }

    DicomImage& dicom_;
    ByteReader in_;
    const bool allCompressions_;
    bool refused_ = false;
    bool deflatedUnread_ = false;
    CandidateSet little_;
    CandidateSet big_;
};

// Uncompressed pixel data must hold exactly the frames, or the frames plus 1,024 bytes that
// some writers leave. DICOM pads an odd-length value with one byte (PS3.5 7.1.1), so an odd
// expected length may be declared one byte longer.
bool nativeLengthMatches(const CandidateSet& set) {
    const uint64_t expected = (uint64_t(set.bitsAllocated) * set.columns * set.rows * set.frames) >> 3;
    const uint64_t declared = set.pixelLength;
    if (expected == declared || expected + pixelDataAllowance == declared) return true;
    return (expected & 1) && declared == expected + 1;
}

// The frames must lie inside the file buffer (the file and its spare room), counted without
// wrapping; the sample reader may read 4 bytes at the last sample.
bool nativeFramesFit(const DicomImage& dicom, const CandidateSet& set) {
    const uint64_t samples = uint64_t(set.columns) * set.rows * set.frames;
    if (samples > UINT32_MAX) return false;
    const uint64_t bytes = (samples * set.bitsAllocated + 7) / 8;
    return uint64_t(set.pixelValueOffset) + bytes + 4 <= dicom.bytes.size();
}

}  // namespace

LoadStatus scanHeader(DicomImage& dicom, bool allCompressions) {
    ImageState& image = dicom.image;
    image.compression = compressionNone;
    image.bigEndian = false;

    HeaderScan scan(dicom, allCompressions);
    scan.walk();
    if (scan.syntaxRefused()) return statusUnsupportedEncoding;

    CandidateSet* found = scan.chosen();
    if (!found) return scan.deflatedUnread() ? statusUnsupportedEncoding : statusUnsupported;
    CandidateSet& set = *found;
    if (set.frames == 0) set.frames = 1;
    if (set.frames > mostFrames) return statusTooBigDimensions;
    if (set.samplesPerPixel > 1) return statusUnsupported;  // colour
    // Below 4 bits the sample mask keeps nothing (every sample would read as 0); from 24 bits
    // on the masks end.
    if (set.bitsAllocated < 4 || set.bitsAllocated >= 24) return statusUnsupported;
    if (set.rows == 0 || set.columns == 0) return statusUnsupported;
    const bool native = image.compression == compressionNone || image.compression == compressionDeflate;
    if (native && (!nativeLengthMatches(set) || !nativeFramesFit(dicom, set))) return statusUnsupported;
    if (set.photometric == photometricOther) return statusUnsupported;
    image.monochrome1 = set.photometric == monochrome1;

    image.rows = set.rows;
    image.columns = set.columns;
    image.bitsAllocated = set.bitsAllocated;
    image.frameCount = set.frames;
    image.pixelDataOffset = set.pixelValueOffset;
    image.bigEndian = set.bigEndian;
    image.pixelRepresentation = int16_t(set.pixelRepresentation);
    image.bitsStored = set.bitsStored;

    image.pixelsPerFrame = uint32_t(image.columns) * image.rows;
    image.pixelMask = pixelMaskTable[image.bitsAllocated / 4];
    // Samples deeper than 12 bits are two's complement unless (0028,0103) says unsigned.
    image.signBit = image.bitsAllocated > 12 && set.pixelRepresentation != 0
                        ? 1u << (image.bitsAllocated - 1)
                        : 0;

    // JPEG frames of 16 bits allocated are decoded only as samples.
    if (image.compression == compressionJpeg && image.bitsAllocated == 16 && !allCompressions)
        return statusUnsupportedEncoding;
    return statusLoaded;
}

namespace {

// Encapsulated pixel data: every item holds one frame (RLE: after the offset table; JPEG:
// items that begin with a start-of-image marker). Every byte is looked at, not only element
// boundaries.
uint32_t findFragments(DicomImage& dicom, uint32_t pixelDataOffset) {
    const ByteReader in(dicom.bytes.data(), dicom.bytes.size());
    const bool rle = dicom.image.compression == compressionRle;
    const uint32_t fileLength = dicom.image.fileLength;
    uint32_t* entry = dicom.frameOffsets.data();
    uint32_t count = 0;
    int64_t endRecordedAt = -1;
    bool offsetTableSkipped = false;

    const uint8_t* base = dicom.bytes.data();
    for (uint32_t q = pixelDataOffset; q < fileLength;) {
        // Every tag of interest starts with FE FF.
        const void* hit = std::memchr(base + q, 0xFE, fileLength - q);
        if (!hit) break;
        q = uint32_t(static_cast<const uint8_t*>(hit) - base);
        const uint32_t w = in.le32(q);
        if (w == itemTag) {
            const bool isFrame = rle ? offsetTableSkipped : in.le16(q + 8) == jpegStartOfImage;
            offsetTableSkipped = true;
            if (isFrame && count < mostFrames) entry[count++] = q + 8;
        } else if ((w == sequenceDelimiterTag || w == itemDelimiterTag) && in.le16(q + 8) == 0) {
            entry[count] = q;
            endRecordedAt = count;
        }
        ++q;
    }
    // Without a delimiter after the last frame, the file's end bounds it.
    if (count > 0 && endRecordedAt != int64_t(count)) entry[count] = fileLength;
    return count;
}

}  // namespace

uint32_t buildFrameOffsets(DicomImage& dicom) {
    const ImageState& image = dicom.image;
    if (image.compression == compressionNone || image.compression == compressionDeflate) {
        for (uint32_t i = 0; i <= image.frameCount; ++i) dicom.frameOffsets[i] = i * image.pixelsPerFrame;
        return image.frameCount;
    }
    // No big-endian compressed transfer syntax exists.
    if (image.bigEndian) return 0;
    if (image.compression == compressionJpeg || image.compression == compressionRle)
        return findFragments(dicom, image.pixelDataOffset);
    return findFrameItems(dicom, image.frameCount);
}

namespace {

// With every compression read, what a JPEG file's first frame says of them all: a stream of
// 8-bit DCT samples in 8 bits allocated stays a picture, as by default; a lossless stream, or
// a DCT one of another precision or depth, is decoded to samples. A first frame without a
// frame header leaves the file as it is: its frames are then refused when decoded.
uint16_t kindOfJpegFrames(const DicomImage& dicom) {
    const JpegFragment first = jpegFragment(dicom, 0);
    const std::optional<JpegFrameHeader> header =
        first.reachable ? readJpegFrameHeader(dicom.bytes.data() + first.start, first.size) : std::nullopt;
    const uint16_t kind = dicom.image.compression;
    if (!header) return kind;
    if (header->lossless()) return compressionLosslessJpeg;
    const bool picture = header->dct() && header->precision == 8 && dicom.image.bitsAllocated == 8;
    if (kind == compressionJpeg && picture) return compressionJpeg;
    return compressionJpegSamples;
}

}  // namespace

bool locateFrames(DicomImage& dicom, bool allCompressions) {
    ImageState& image = dicom.image;
    const uint32_t declaredFrames = image.frameCount;
    image.frameCount = buildFrameOffsets(dicom);
    const bool jpeg = image.compression == compressionJpeg || image.compression == compressionLosslessJpeg;
    if (allCompressions && jpeg && image.frameCount != 0) {
        const uint16_t kind = kindOfJpegFrames(dicom);
        if (kind != image.compression) {
            // Frames decoded to samples are found item by item.
            const bool located = image.compression != compressionJpeg;
            image.compression = kind;
            if (!located) {
                image.frameCount = declaredFrames;
                image.frameCount = buildFrameOffsets(dicom);
            }
        }
    }
    return image.frameCount != 0;
}

}  // namespace vs
