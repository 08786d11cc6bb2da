// Lossless JPEG (ITU-T T.81 process 14) for the builder, through one build of the IJG codec
// that GDCM ships (libgdcm-dev: gdcmjpeg8, 12 or 16), whose streams are of its own precision;
// compiled once for each (platform/ijg_build.h).
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ijg_build.h"
#include "samples/lossless_jpeg.h"

namespace vs::ijg::VIREOSCAN_IJG_NAMESPACE {
namespace {

// The stream grows in out; the library is handed one block at a time.
struct VectorDestination {
    jpeg_destination_mgr manager;  // first, as for the trap
    std::vector<uint8_t>* out;
    JOCTET block[4096];
};

void startWriting(j_compress_ptr info) {
    auto* d = reinterpret_cast<VectorDestination*>(info->dest);
    d->manager.next_output_byte = d->block;
    d->manager.free_in_buffer = sizeof d->block;
}

boolean takeBlock(j_compress_ptr info) {
    auto* d = reinterpret_cast<VectorDestination*>(info->dest);
    d->out->insert(d->out->end(), d->block, d->block + sizeof d->block);
    startWriting(info);
    return TRUE;
}

void finishWriting(j_compress_ptr info) {
    auto* d = reinterpret_cast<VectorDestination*>(info->dest);
    d->out->insert(d->out->end(), d->block, d->block + (sizeof d->block - d->manager.free_in_buffer));
}

struct Session {
    jpeg_compress_struct info;
    ErrorTrap trap;
    VectorDestination destination;
};

struct Settings {
    uint16_t rows, columns;
    int predictor, pointTransform;
    unsigned restartInterval;
};

bool compress(Session& s, const Settings& settings, std::vector<JSAMPLE>& samples) {
    s.info.err = trapErrors(s.trap);
    if (setjmp(s.trap.jump)) {
        jpeg_destroy_compress(&s.info);
        return false;
    }
    jpeg_create_compress(&s.info);
    s.destination.manager.init_destination = startWriting;
    s.destination.manager.empty_output_buffer = takeBlock;
    s.destination.manager.term_destination = finishWriting;
    s.info.dest = &s.destination.manager;
    s.info.image_width = settings.columns;
    s.info.image_height = settings.rows;
    s.info.input_components = 1;
    s.info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&s.info);
    jpeg_simple_lossless(&s.info, settings.predictor, settings.pointTransform);
    s.info.restart_interval = settings.restartInterval;
    jpeg_start_compress(&s.info, TRUE);
    while (s.info.next_scanline < s.info.image_height) {
        JSAMPROW row = samples.data() + size_t(s.info.next_scanline) * settings.columns;
        jpeg_write_scanlines(&s.info, &row, 1);
    }
    jpeg_finish_compress(&s.info);
    jpeg_destroy_compress(&s.info);
    return true;
}

}  // namespace
}  // namespace vs::ijg::VIREOSCAN_IJG_NAMESPACE

namespace vs::testing {

std::vector<uint8_t> VIREOSCAN_IJG_NAME(encodeLossless)(const std::vector<int32_t>& samples, uint16_t rows, uint16_t columns,
                                      int bits, int predictor, int pointTransform, unsigned restartInterval) {
    using namespace vs::ijg::VIREOSCAN_IJG_NAMESPACE;
    // A sample's low bits, as a stored value of that many bits holds it (two's complement for
    // negative values).
    std::vector<JSAMPLE> words(size_t{rows} * columns);
    const uint32_t mask = (uint32_t(1) << bits) - 1;
    for (size_t i = 0; i < words.size(); ++i) words[i] = JSAMPLE(uint32_t(samples[i]) & mask);
    std::vector<uint8_t> out;
    Session session{};
    session.destination.out = &out;
    const Settings settings{rows, columns, predictor, pointTransform, restartInterval};
    if (!compress(session, settings, words))
        throw std::runtime_error(std::string("encodeJpegLossless: ") + session.trap.message);
    return out;
}

}  // namespace vs::testing
