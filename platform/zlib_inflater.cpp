// Raw deflate (a window size of -15 to inflateInit2: no zlib or gzip wrapper), as DICOM
// deflates a data set.
#include "platform/zlib_inflater.h"

#include <zlib.h>

#include <climits>

namespace vs {
namespace {

class ZlibInflater : public Inflater {
public:
    ZlibInflater() { started_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
    ~ZlibInflater() override {
        if (started_) inflateEnd(&stream_);
    }
    ZlibInflater(const ZlibInflater&) = delete;
    ZlibInflater& operator=(const ZlibInflater&) = delete;

    void restart() override {
        if (started_) inflateReset(&stream_);
    }

    InflateStep inflate(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) override {
        InflateStep step;
        if (!started_) {
            step.whyNot = "zlib could not be started";
            return step;
        }
        stream_.next_in = const_cast<Bytef*>(in);
        stream_.avail_in = uInt(std::min<size_t>(inSize, UINT_MAX));
        stream_.next_out = out;
        stream_.avail_out = uInt(std::min<size_t>(outSize, UINT_MAX));
        const uInt inBefore = stream_.avail_in;
        const uInt outBefore = stream_.avail_out;
        const int result = ::inflate(&stream_, Z_NO_FLUSH);
        step.consumed = inBefore - stream_.avail_in;
        step.produced = outBefore - stream_.avail_out;
        step.finished = result == Z_STREAM_END;
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
            step.whyNot = std::string("zlib: ") + (stream_.msg ? stream_.msg : "the deflated data are damaged");
        return step;
    }

private:
    z_stream stream_{};
    bool started_ = false;
};

}  // namespace

std::unique_ptr<Inflater> makeZlibInflater() { return std::make_unique<ZlibInflater>(); }

}  // namespace vs
