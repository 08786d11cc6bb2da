// libpng writes the file through a write callback into the sink. libpng reports an error by a
// longjmp to the last setjmp: every libpng call goes through `guarded`, whose caller frames
// hold only plain pointers and numbers, so the jump skips no destructor.
#include "platform/png_encoder.h"

#include <png.h>

#include <csetjmp>
#include <vector>

namespace vs {
namespace {

class LibpngRowSink : public PngRowSink {
public:
    LibpngRowSink(ByteSink& out, uint32_t height, size_t rowBytes) : out_(out), height_(height), rows_(rowBytes) {}
    ~LibpngRowSink() override { png_destroy_write_struct(&png_, &info_); }
    LibpngRowSink(const LibpngRowSink&) = delete;
    LibpngRowSink& operator=(const LibpngRowSink&) = delete;

    bool begin(const GreyPngLayout& layout, const PngCompression& compression);
    bool write(const void* bytes, size_t n) override;
    bool finish() override;

private:
    // Runs step, a few libpng calls; false when libpng reported an error, which also ends
    // every later step.
    template <typename Step>
    bool guarded(Step step) {
        if (failed_) return false;
        if (setjmp(png_jmpbuf(png_))) {
            failed_ = true;
            return false;
        }
        step();
        return true;
    }
    bool writeRow(const uint8_t* row);

    static void writeBytes(png_structp png, png_bytep bytes, png_size_t n);
    static void flushNothing(png_structp) {}
    static void raise(png_structp png, png_const_charp) { png_longjmp(png, 1); }
    static void ignore(png_structp, png_const_charp) {}

    ByteSink& out_;
    uint32_t height_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    bool failed_ = false;
    uint32_t rowsWritten_ = 0;
    RowGatherer rows_;
};

void LibpngRowSink::writeBytes(png_structp png, png_bytep bytes, png_size_t n) {
    auto* self = static_cast<LibpngRowSink*>(png_get_io_ptr(png));
    if (!self->out_.write(bytes, n)) png_error(png, "the output could not be written");
}

bool LibpngRowSink::begin(const GreyPngLayout& layout, const PngCompression& compression) {
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, raise, ignore);
    if (png_) info_ = png_create_info_struct(png_);
    if (!png_ || !info_) return false;
    // tEXt chunks: Latin-1 keyword and text, uncompressed.
    std::vector<png_text> texts(layout.texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        texts[i].compression = PNG_TEXT_COMPRESSION_NONE;
        texts[i].key = const_cast<char*>(layout.texts[i].keyword.c_str());
        texts[i].text = const_cast<char*>(layout.texts[i].text.c_str());
        texts[i].text_length = layout.texts[i].text.size();
    }
    png_text* textList = texts.data();
    const int textCount = int(texts.size());
    const bool sixteen = layout.bitDepth == 16;
    return guarded([&, this] {
        png_set_write_fn(png_, this, writeBytes, flushNothing);
        png_set_IHDR(png_, info_, layout.width, layout.height, int(layout.bitDepth), PNG_COLOR_TYPE_GRAY,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_compression_level(png_, compression.level);
        if (compression.strategy >= 0) png_set_compression_strategy(png_, compression.strategy);
        png_set_filter(png_, PNG_FILTER_TYPE_BASE, compression.filters);
        if (textCount > 0) png_set_text(png_, info_, textList, textCount);
        png_write_info(png_, info_);
        // The rows come as little-endian words; PNG stores them high byte first.
        if (sixteen) png_set_swap(png_);
    });
}

bool LibpngRowSink::writeRow(const uint8_t* row) {
    if (rowsWritten_ >= height_) return false;
    ++rowsWritten_;
    return guarded([this, row] { png_write_row(png_, row); });
}

bool LibpngRowSink::write(const void* bytes, size_t n) {
    return rows_.add(static_cast<const uint8_t*>(bytes), n, [this](const uint8_t* row) { return writeRow(row); });
}

bool LibpngRowSink::finish() {
    if (rowsWritten_ != height_ || rows_.partialRow()) return false;
    return guarded([this] { png_write_end(png_, nullptr); });
}

}  // namespace

std::unique_ptr<PngRowSink> LibpngEncoder::start(const GreyPngLayout& layout, ByteSink& out) const {
    if (layout.width == 0 || layout.height == 0 || (layout.bitDepth != 8 && layout.bitDepth != 16)) return nullptr;
    auto sink = std::make_unique<LibpngRowSink>(out, layout.height, size_t(layout.width) * (layout.bitDepth / 8));
    if (!sink->begin(layout, compression_)) return nullptr;
    return sink;
}

}  // namespace vs
