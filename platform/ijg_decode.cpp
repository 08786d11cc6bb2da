// Decoding one frame with the IJG library of VIREOSCAN_IJG_BITS bits per sample; compiled once
// for each of 8, 12 and 16 (platform/ijg_build.h). Warnings of corrupt data (a stream cut
// short, a bad Huffman code, a lost restart marker) end the decoding as errors do: a frame is
// decoded whole or refused, never shown half-decoded.
#include <cstring>

#include "platform/ijg_build.h"
#include "platform/ijg_decode.h"

namespace vs::ijg {
namespace VIREOSCAN_IJG_NAMESPACE {
namespace {

// Warnings that tell of lost data. Others (bytes between markers, an unknown JFIF version,
// scan parameters a sequential stream ignores) leave the samples whole.
bool tellsOfDamage(int code) {
    switch (code) {
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_JPEG_EOF:
        case JWRN_MUST_RESYNC: return true;
        default: return false;
    }
}

void warnOrTrace(j_common_ptr common, int level) {
    if (level < 0 && tellsOfDamage(common->err->msg_code)) jumpBack(common);
}

// The stream is read from memory; past its end the library finds an end-of-image marker, after
// a warning that it was cut short.
struct MemorySource {
    jpeg_source_mgr manager;  // first, as for the trap
    const JOCTET* bytes;
    size_t size;
};

void startReading(j_decompress_ptr) {}
void stopReading(j_decompress_ptr) {}

boolean fillPastTheEnd(j_decompress_ptr info) {
    static const JOCTET endOfImage[2] = {0xFF, JPEG_EOI};
    WARNMS(info, JWRN_JPEG_EOF);
    info->src->next_input_byte = endOfImage;
    info->src->bytes_in_buffer = 2;
    return TRUE;
}

void skipBytes(j_decompress_ptr info, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* source = info->src;
    if (size_t(count) > source->bytes_in_buffer) {
        fillPastTheEnd(info);
        return;
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= size_t(count);
}

// What the decoding needs that the jump must find intact: the caller's, not the decoding
// function's own automatic variables.
struct Session {
    jpeg_decompress_struct info;
    ErrorTrap trap;
    MemorySource source;
};

// Whether the stream fits the layout; if not, why not in message. Checked before the library
// allocates anything for the image.
bool fits(const jpeg_decompress_struct& info, const FrameLayout& layout, char (&message)[JMSG_LENGTH_MAX]) {
    if (info.num_components != 1) {
        std::snprintf(message, sizeof message, "the stream holds %d components, not one grey level", info.num_components);
        return false;
    }
    if (info.image_width != layout.columns || info.image_height != layout.rows) {
        std::snprintf(message, sizeof message, "the stream is %u x %u pixels, the header says %u x %u",
                      unsigned(info.image_width), unsigned(info.image_height), unsigned(layout.columns),
                      unsigned(layout.rows));
        return false;
    }
    if (info.data_precision < 2 || info.data_precision > layout.bitsAllocated) {
        std::snprintf(message, sizeof message, "the stream's samples of %d bits do not fit %u bits allocated",
                      info.data_precision, unsigned(layout.bitsAllocated));
        return false;
    }
    return true;
}

// The rows into out, samples of layout.bitsAllocated bits little-endian; false, with why in
// the trap's message, when not. May jump back on an error, so it holds nothing that needs
// destroying.
bool readRows(Session& s, const FrameLayout& layout, std::vector<uint8_t>& out) {
    jpeg_decompress_struct& info = s.info;
    jpeg_read_header(&info, TRUE);
    if (!fits(info, layout, s.trap.message)) return false;
    info.out_color_space = JCS_GRAYSCALE;
    jpeg_start_decompress(&info);
    const size_t columns = layout.columns;
    const size_t bytesPerSample = layout.bitsAllocated / 8;
    out.resize(columns * layout.rows * bytesPerSample);
    // Rows go straight into out where a library sample has the width of an output sample;
    // else through one row of the library's own (freed with the decompressor).
    const bool direct = sizeof(JSAMPLE) == bytesPerSample;
    JSAMPARRAY scratch =
        direct ? nullptr : (*info.mem->alloc_sarray)(j_common_ptr(&info), JPOOL_IMAGE, info.output_width, 1);
    while (info.output_scanline < info.output_height) {
        uint8_t* row = out.data() + size_t(info.output_scanline) * columns * bytesPerSample;
        JSAMPROW target = direct ? reinterpret_cast<JSAMPROW>(row) : scratch[0];
        if (jpeg_read_scanlines(&info, &target, 1) != 1) {
            std::snprintf(s.trap.message, sizeof s.trap.message, "the stream ended before its last row");
            return false;
        }
        if (!direct) {
            // An 8-bit build's samples widened to 16 bits allocated.
            for (size_t x = 0; x < columns; ++x) {
                const uint32_t value = uint32_t(GETJSAMPLE(scratch[0][x]));
                row[2 * x] = uint8_t(value);
                row[2 * x + 1] = uint8_t(value >> 8);
            }
        }
    }
    jpeg_finish_decompress(&info);
    return true;
}

// True when decoded; else why not is in the trap's message.
bool decodeIn(Session& s, const uint8_t* bytes, size_t size, const FrameLayout& layout, std::vector<uint8_t>& out) {
    s.info.err = trapErrors(s.trap);
    s.trap.manager.emit_message = warnOrTrace;
    if (setjmp(s.trap.jump)) {
        jpeg_destroy_decompress(&s.info);
        return false;
    }
    jpeg_create_decompress(&s.info);
    s.source.manager.init_source = startReading;
    s.source.manager.fill_input_buffer = fillPastTheEnd;
    s.source.manager.skip_input_data = skipBytes;
    s.source.manager.resync_to_restart = jpeg_resync_to_restart;
    s.source.manager.term_source = stopReading;
    s.source.manager.next_input_byte = bytes;
    s.source.manager.bytes_in_buffer = size;
    s.info.src = &s.source.manager;
    const bool decoded = readRows(s, layout, out);
    jpeg_destroy_decompress(&s.info);
    return decoded;
}

}  // namespace
}  // namespace VIREOSCAN_IJG_NAMESPACE

bool VIREOSCAN_IJG_NAME(decode)(const uint8_t* bytes, size_t size, const FrameLayout& layout, std::vector<uint8_t>& out,
                      std::string& whyNot) {
    using namespace VIREOSCAN_IJG_NAMESPACE;
    Session session{};
    if (decodeIn(session, bytes, size, layout, out)) return true;
    out.clear();
    whyNot = "IJG JPEG (GDCM, " + std::to_string(VIREOSCAN_IJG_BITS) + " bits): " + session.trap.message;
    return false;
}

}  // namespace vs::ijg
