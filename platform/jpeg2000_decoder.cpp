// The sample decoder for JPEG 2000 (1.2.840.10008.1.2.4.90, .91) and HTJ2K (.201 to .203)
// frames, over OpenJPEG, which reads both. A frame is a raw codestream (or, from some
// encoders, a JP2 file, whose codestream is taken out of its box). The codestream's SIZ
// marker segment is read here and compared with the layout before OpenJPEG sees the stream, so
// that no picture, tile table or buffer is ever sized from a stream the header disagrees with.
// OpenJPEG stops at the end-of-codestream marker: the item headers or pad byte after it are
// never read.
#include "platform/jpeg2000_decoder.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/decoded_samples.h"

namespace vs {
namespace {

constexpr std::string_view decoderName = "JPEG 2000 (OpenJPEG)";
// OpenJPEG keeps a record of several kilobytes a tile from the header on, so the tiles a stream
// may be cut into are bounded by the layout: 4096, or as many as tiles of 64 x 64 samples on
// average, whichever is more. Real files have one tile, or a few hundred.
uint64_t mostTiles(const FrameLayout& layout) {
    constexpr uint64_t fewestAllowed = 4096, samplesPerTile = 64 * 64;
    return std::max(fewestAllowed, uint64_t(layout.rows) * layout.columns / samplesPerTile);
}
// Code-blocks are decoded on this many threads at most; more gain little on one frame.
constexpr unsigned mostThreads = 4;
// OpenJPEG reads the memory stream through a buffer of this size (or the frame's, if smaller).
constexpr size_t streamChunkBytes = size_t(1) << 20;

using Bytes = std::span<const uint8_t>;

uint32_t be16(Bytes b, size_t at) { return uint32_t(b[at]) << 8 | b[at + 1]; }
uint32_t be32(Bytes b, size_t at) { return be16(b, at) << 16 | be16(b, at + 2); }
uint64_t ceilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

constexpr uint32_t boxType(const char (&name)[5]) {
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
           uint8_t(name[3]);
}

// The contents of the first box of the given type among the boxes that fill b (ISO/IEC
// 15444-1 I.4), or nothing when there is none or a box's length runs past the end.
std::optional<Bytes> findBox(Bytes b, uint32_t type) {
    size_t at = 0;
    while (b.size() - at >= 8) {
        uint64_t length = be32(b, at);
        size_t header = 8;
        if (length == 1) {
            if (b.size() - at < 16) return std::nullopt;
            length = uint64_t(be32(b, at + 8)) << 32 | be32(b, at + 12);
            header = 16;
        } else if (length == 0) {
            length = b.size() - at;
        }
        if (length < header || length > b.size() - at) return std::nullopt;
        if (be32(b, at + 4) == type) return b.subspan(at + header, size_t(length) - header);
        at += size_t(length);
    }
    return std::nullopt;
}

// The codestream of a frame: the frame itself, or the contents of a JP2 file's codestream box.
// A JP2 palette makes one component colour, which is refused as colour is.
std::optional<Bytes> codestreamOf(Bytes frame, std::string& whyNot) {
    static constexpr uint8_t jp2Signature[12] = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    if (frame.size() < sizeof jp2Signature || std::memcmp(frame.data(), jp2Signature, sizeof jp2Signature) != 0)
        return frame;
    const std::optional<Bytes> header = findBox(frame, boxType("jp2h"));
    if (header && findBox(*header, boxType("pclr"))) {
        refuse(decoderName, "the JP2 file holds a colour palette; only greyscale frames are shown", whyNot);
        return std::nullopt;
    }
    const std::optional<Bytes> codestream = findBox(frame, boxType("jp2c"));
    if (!codestream) refuse(decoderName, "the JP2 file holds no readable codestream", whyNot);
    return codestream;
}

// The picture a codestream's SIZ marker segment describes (ISO/IEC 15444-1 A.5.1), measured on
// its first component, and the number of tiles; nothing when the segment is not there or its
// values are ones no decoder accepts.
struct SizeSegment {
    CodestreamShape shape;
    uint64_t tiles = 0;
};

std::optional<SizeSegment> readSizeSegment(Bytes b) {
    constexpr size_t firstComponent = 42;  // SOC, SIZ, Lsiz, Rsiz and eight 32-bit sizes, Csiz
    if (b.size() < firstComponent + 3 || be16(b, 0) != 0xFF4F || be16(b, 2) != 0xFF51) return std::nullopt;
    const uint64_t xSize = be32(b, 8), ySize = be32(b, 12), xOffset = be32(b, 16), yOffset = be32(b, 20);
    const uint64_t xTile = be32(b, 24), yTile = be32(b, 28), xTileOffset = be32(b, 32), yTileOffset = be32(b, 36);
    const uint32_t components = be16(b, 40);
    const uint32_t xStep = b[firstComponent + 1], yStep = b[firstComponent + 2];
    if (xSize <= xOffset || ySize <= yOffset || xTile == 0 || yTile == 0 || xTileOffset > xOffset ||
        yTileOffset > yOffset || xStep == 0 || yStep == 0 || components == 0)
        return std::nullopt;
    SizeSegment siz;
    siz.shape.width = uint32_t(ceilDiv(xSize, xStep) - ceilDiv(xOffset, xStep));
    siz.shape.height = uint32_t(ceilDiv(ySize, yStep) - ceilDiv(yOffset, yStep));
    siz.shape.components = components;
    siz.shape.precision = (b[firstComponent] & 0x7Fu) + 1;
    siz.tiles = ceilDiv(xSize - xTileOffset, xTile) * ceilDiv(ySize - yTileOffset, yTile);
    return siz;
}

// Within the coded data of a tile-part, a 0xFF byte is never followed by one above 0x8F: such a
// pair is a marker (ISO/IEC 15444-1 A.1 and B.10.1; HTJ2K code-blocks are stuffed the same way).
// The OpenJPEG of Debian 12 stops the whole program on such a pair at the start of an HTJ2K
// code-block (an assertion in its MEL decoder), so a stream holding one is refused before
// OpenJPEG sees it. Where no header asks for HTJ2K code-blocks, the start of packet
// (FF91 0004 nnnn) and end of packet header (FF92) markers may stand there, and so may the end
// of the codestream (FFD9) near the end of the frame, whose range may hold the next item's
// header and a pad byte after it. In an HTJ2K stream no pair is let through: a code-block
// could start at any of them.
bool holdsMarker(Bytes coded, bool highThroughput) {
    constexpr uint8_t startOfPacket = 0x91, endOfPacketHeader = 0x92, endOfCodestream = 0xD9;
    constexpr size_t mostBytesAfterTheEnd = 16;
    for (size_t at = 0; at + 1 < coded.size(); ++at) {
        if (coded[at] != 0xFF || coded[at + 1] <= 0x8F) continue;
        if (highThroughput) return true;
        if (coded[at + 1] == endOfPacketHeader) continue;
        if (coded[at + 1] == endOfCodestream && coded.size() - at <= 2 + mostBytesAfterTheEnd) return false;
        const bool packetStart =
            coded[at + 1] == startOfPacket && coded.size() - at >= 4 && coded[at + 2] == 0 && coded[at + 3] == 4;
        if (!packetStart) return true;
    }
    return false;
}

// Whether the marker segment at `at` asks for HTJ2K code-blocks: the capabilities segment
// (CAP), or a coding style (COD, COC) whose code-block style has the HT bit (ISO/IEC 15444-15
// A.2). A style cut off by the end is taken as asking, which only makes the check stricter.
bool asksForHighThroughput(Bytes b, size_t at, size_t end, uint32_t components) {
    constexpr uint32_t capabilities = 0xFF50, codingStyle = 0xFF52, componentCodingStyle = 0xFF53;
    constexpr uint8_t highThroughputBlocks = 0x40;
    const uint32_t marker = be16(b, at);
    if (marker == capabilities) return true;
    size_t style = 0;  // offset of the code-block style byte: after Scod, SGcod and three SPcod bytes
    if (marker == codingStyle) style = at + 12;
    else if (marker == componentCodingStyle) style = at + (components < 257 ? 9 : 10);
    else return false;
    return style >= end || (b[style] & highThroughputBlocks) != 0;
}

// The coded data of every tile-part, and whether any header asks for HTJ2K code-blocks.
struct CodedData {
    std::vector<Bytes> parts;
    bool highThroughput = false;
};

// The first marker `wanted` among the marker segments from `at` on, or `end` when none is
// found before a segment runs past `end`; the segments passed over are looked at for HTJ2K.
size_t skipSegmentsTo(Bytes b, size_t at, size_t end, uint32_t wanted, uint32_t components, CodedData& coded) {
    while (at < end && end - at >= 4 && be16(b, at) != wanted) {
        coded.highThroughput |= asksForHighThroughput(b, at, end, components);
        at += 2 + be16(b, at + 2);
    }
    return at < end && end - at >= 2 && be16(b, at) == wanted ? at : end;
}

// The walk goes over the main header's marker segments to the first start of tile-part (SOT),
// then from tile-part to tile-part by their lengths; where a length is lost, all that follows is
// taken as coded data, since OpenJPEG may look for code-blocks there. Nothing after the
// end-of-codestream marker is read.
CodedData findCodedData(Bytes b, uint32_t components) {
    constexpr uint32_t startOfTilePart = 0xFF90, startOfData = 0xFF93, endOfCodestream = 0xFFD9;
    constexpr size_t tilePartHeader = 12;  // SOT, Lsot, Isot, Psot, TPsot, TNsot
    CodedData coded;
    size_t at = skipSegmentsTo(b, 2, b.size(), startOfTilePart, components, coded);
    while (at < b.size()) {
        if (b.size() - at >= 2 && be16(b, at) == endOfCodestream) break;
        if (b.size() - at < tilePartHeader || be16(b, at) != startOfTilePart) {
            coded.parts.push_back(b.subspan(at));
            break;
        }
        // Psot, the tile-part's length; 0 for a last tile-part running to the end-of-codestream
        // marker, which OpenJPEG takes to be the last two bytes.
        const uint64_t length = be32(b, at + 6);
        const size_t end = length == 0 ? b.size() - 2 : length > b.size() - at ? b.size() : at + size_t(length);
        const size_t data = skipSegmentsTo(b, at + tilePartHeader, end, startOfData, components, coded);
        if (data == end) {
            coded.parts.push_back(b.subspan(at));
            break;
        }
        coded.parts.push_back(b.subspan(data + 2, end - data - 2));
        at = end;
    }
    return coded;
}

bool codedDataHoldsMarker(Bytes codestream, uint32_t components) {
    const CodedData coded = findCodedData(codestream, components);
    return std::any_of(coded.parts.begin(), coded.parts.end(),
                       [&](Bytes part) { return holdsMarker(part, coded.highThroughput); });
}

// OpenJPEG reads the frame from memory. The read function answers (OPJ_SIZE_T)-1 at the end of
// the data: OpenJPEG takes 0 as "try again" and would wait for more forever.
struct MemoryStream {
    Bytes bytes;
    size_t position = 0;
};

OPJ_SIZE_T readFromMemory(void* buffer, OPJ_SIZE_T count, void* user) {
    auto* stream = static_cast<MemoryStream*>(user);
    const size_t left = stream->bytes.size() - stream->position;
    if (left == 0) return OPJ_SIZE_T(-1);
    const size_t n = std::min<size_t>(count, left);
    std::memcpy(buffer, stream->bytes.data() + stream->position, n);
    stream->position += n;
    return n;
}

OPJ_OFF_T skipInMemory(OPJ_OFF_T count, void* user) {
    auto* stream = static_cast<MemoryStream*>(user);
    const auto position = OPJ_OFF_T(stream->position);
    const OPJ_OFF_T to = std::clamp<OPJ_OFF_T>(position + count, 0, OPJ_OFF_T(stream->bytes.size()));
    if (count != 0 && to == position) return -1;
    stream->position = size_t(to);
    return to - position;
}

OPJ_BOOL seekInMemory(OPJ_OFF_T to, void* user) {
    auto* stream = static_cast<MemoryStream*>(user);
    if (to < 0 || uint64_t(to) > stream->bytes.size()) return OPJ_FALSE;
    stream->position = size_t(to);
    return OPJ_TRUE;
}

// OpenJPEG's messages go nowhere but its last error, which becomes the reason given.
void keepError(const char* message, void* user) {
    auto* text = static_cast<std::string*>(user);
    text->assign(message);
    while (!text->empty() && (text->back() == '\n' || text->back() == ' ')) text->pop_back();
}
void dropMessage(const char*, void*) {}
std::string reasonOf(const std::string& lastError) {
    return lastError.empty() ? "the stream cannot be decoded" : lastError;
}

struct CodecDeleter {
    void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct StreamDeleter {
    void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct ImageDeleter {
    void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};

class Jpeg2000Decoder : public SampleDecoder {
public:
    bool decode(const uint8_t* bytes, size_t size, const FrameLayout& layout, std::vector<uint8_t>& out,
                std::string& whyNot) override {
        out.clear();
        if (bytes == nullptr || size == 0) return refuse(decoderName, "no data to decode", whyNot);
        const std::optional<Bytes> codestream = codestreamOf(Bytes(bytes, size), whyNot);
        if (!codestream) return false;
        const std::optional<SizeSegment> siz = readSizeSegment(*codestream);
        if (!siz) return refuse(decoderName, "the frame does not start with a readable codestream header", whyNot);
        whyNot = shapeMismatch(decoderName, siz->shape, layout);
        if (!whyNot.empty()) return false;
        if (siz->tiles > mostTiles(layout))
            return refuse(decoderName, "the stream is cut into " + std::to_string(siz->tiles) + " tiles", whyNot);
        if (codedDataHoldsMarker(*codestream, siz->shape.components))
            return refuse(decoderName, "the coded data holds a marker; the stream is damaged", whyNot);
        return decodeCodestream(*codestream, layout, out, whyNot);
    }
    // Every decoding has an OpenJPEG codec and stream of its own.
    bool decodesConcurrently() const override { return true; }

private:
    static bool decodeCodestream(Bytes codestream, const FrameLayout& layout, std::vector<uint8_t>& out,
                                 std::string& whyNot) {
        std::string lastError;
        const std::unique_ptr<opj_codec_t, CodecDeleter> codec(opj_create_decompress(OPJ_CODEC_J2K));
        opj_dparameters_t parameters;
        opj_set_default_decoder_parameters(&parameters);
        if (!codec || !opj_set_error_handler(codec.get(), keepError, &lastError) ||
            !opj_set_warning_handler(codec.get(), dropMessage, nullptr) ||
            !opj_set_info_handler(codec.get(), dropMessage, nullptr) || !opj_setup_decoder(codec.get(), &parameters) ||
            !opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE))
            return refuse(decoderName, "the decoder could not be started", whyNot);
        if (opj_has_thread_support()) {
            const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, mostThreads);
            opj_codec_set_threads(codec.get(), int(threads));
        }
        MemoryStream source{codestream, 0};
        const std::unique_ptr<opj_stream_t, StreamDeleter> stream(
            opj_stream_create(std::min(codestream.size(), streamChunkBytes), OPJ_TRUE));
        if (!stream) return refuse(decoderName, "the decoder could not be started", whyNot);
        opj_stream_set_user_data(stream.get(), &source, nullptr);
        opj_stream_set_user_data_length(stream.get(), codestream.size());
        opj_stream_set_read_function(stream.get(), readFromMemory);
        opj_stream_set_skip_function(stream.get(), skipInMemory);
        opj_stream_set_seek_function(stream.get(), seekInMemory);

        opj_image_t* read = nullptr;
        const bool headerRead = opj_read_header(stream.get(), codec.get(), &read);
        const std::unique_ptr<opj_image_t, ImageDeleter> image(read);
        if (!headerRead || !image) return refuse(decoderName, reasonOf(lastError), whyNot);
        // OpenJPEG's own reading of the header must agree with the one checked before.
        const opj_image_comp_t* component = image->numcomps > 0 ? &image->comps[0] : nullptr;
        whyNot = shapeMismatch(decoderName,
                               {component ? component->w : 0, component ? component->h : 0, image->numcomps,
                                component ? component->prec : 0},
                               layout);
        if (!whyNot.empty()) return false;
        if (!opj_decode(codec.get(), stream.get(), image.get()) || !opj_end_decompress(codec.get(), stream.get()))
            return refuse(decoderName, reasonOf(lastError), whyNot);
        component = &image->comps[0];
        if (component->data == nullptr || component->w != layout.columns || component->h != layout.rows)
            return refuse(decoderName, "the stream decoded to a picture of another size", whyNot);
        storeSamples(component->data, size_t(layout.rows) * layout.columns, layout.bitsAllocated, out);
        return true;
    }
};

}  // namespace

std::unique_ptr<SampleDecoder> makeJpeg2000Decoder() { return std::make_unique<Jpeg2000Decoder>(); }

}  // namespace vs
