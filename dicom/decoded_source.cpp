// Frames that a sample decoder turns into stored samples: lossless and 12-bit JPEG, JPEG-LS,
// JPEG 2000 and HTJ2K. A frame's codestream (its fragments joined when there are several) is
// decoded into a buffer laid out as an uncompressed little-endian frame of 8 or 16 bits
// allocated, and read from there as an uncompressed frame is read. The last frame decoded is
// kept; frames about to be asked for (a cine's next frame, the converter's next frames) are
// decoded ahead on workers: one at a time, or two beside the caller's own decoding when the
// decoder may run on several threads at once.
#include <cstring>
#include <deque>
#include <future>
#include <optional>
#include <utility>

#include "dicom/encapsulated.h"
#include "dicom/stored_samples.h"

namespace vs {
namespace {

// One frame decoded, or why not.
struct DecodedFrame {
    std::optional<uint32_t> frame;
    uint64_t generation = 0;
    ImageState layout;  // the image as its decoded samples are laid out
    std::vector<uint8_t> samples;
    std::vector<uint8_t> joined;  // the frame's fragments, when it has several
    std::string reason;           // empty when decoded
};

// The image as decoded samples are laid out: 8 or 16 bits allocated, little endian, masked
// and signed as uncompressed samples of that depth are.
ImageState decodedLayout(const ImageState& image) {
    ImageState layout = image;
    layout.bitsAllocated = image.bitsAllocated <= 8 ? 8 : 16;
    layout.bigEndian = 0;
    layout.pixelMask = pixelMaskTable[layout.bitsAllocated / 4];
    layout.signBit = layout.bitsAllocated == 16 && image.pixelRepresentation != 0 ? 0x8000 : 0;
    return layout;
}

// A sample's value lies in its low Bits Stored bits, whatever a decoder leaves above them
// (some leave zeros, some the sign): they are set from the value, as the sign when (0028,0103)
// says signed, else as zeros.
template <typename Word>
void keepBitsStored(uint8_t* samples, size_t count, uint32_t bitsStored, bool isSigned) {
    if (bitsStored >= 8 * sizeof(Word)) return;
    const Word mask = Word((uint32_t(1) << bitsStored) - 1);
    const Word sign = Word(uint32_t(1) << (bitsStored - 1));
    for (size_t i = 0; i < count; ++i) {
        Word word;
        std::memcpy(&word, samples + sizeof(Word) * i, sizeof(Word));  // little-endian machine
        word &= mask;
        if (isSigned && (word & sign)) word |= Word(~mask);
        std::memcpy(samples + sizeof(Word) * i, &word, sizeof(Word));
    }
}

class DecodedSource : public FrameSource {
public:
    DecodedSource(const DicomImage& dicom, SampleDecoder* decoder, const char* codec)
        : dicom_(dicom), decoder_(decoder), codec_(codec) {}
    ~DecodedSource() override { settle(); }
    DecodedSource(const DecodedSource&) = delete;
    DecodedSource& operator=(const DecodedSource&) = delete;

    std::string unreadableReason(uint32_t frame) override { return decode(frame) ? "" : kept_.reason; }

    SampleRange sampleRange(uint32_t frame) override {
        if (!decode(frame)) return nominalRange(decodedLayout(dicom_.image));
        return samples().range(bands(), leastBandSamples());
    }

    const uint8_t* storedWords(uint32_t frame, std::vector<uint8_t>& scratch) override {
        if (!decode(frame)) return nullptr;
        return samples().words(scratch);
    }

    void decodeAhead(uint32_t frame) override {
        if (decoder_ == nullptr || holds(kept_, frame)) return;
        for (const Ahead& a : ahead_)
            if (a.frame == frame) return;
        const size_t most = decoder_->decodesConcurrently() ? 2 : 1;
        if (ahead_.size() >= most) return;
        ahead_.push_back({frame, std::async(std::launch::async, [this, frame] {
                              DecodedFrame d;
                              decodeInto(d, frame);
                              return d;
                          })});
    }

protected:
    bool prepareWindowing(uint32_t frame, const WindowMapping& m) override {
        if (!decode(frame)) return false;
        mapping_ = m;
        table_ = &tables_.tableFor(kept_.layout, m);
        return true;
    }

    WindowedFrame windowPrepared(uint32_t firstRow, uint32_t rowCount, uint8_t* dest, size_t stride) const override {
        return samples().window(*table_, mapping_, firstRow, rowCount, dest, stride);
    }

    const ImageState& image() const override { return dicom_.image; }

private:
    StoredSamples samples() const {
        return StoredSamples(kept_.layout, SampleBytes{kept_.samples.data(), kept_.samples.size()}, 0);
    }

    bool holds(const DecodedFrame& d, uint32_t frame) const {
        return d.frame == frame && d.generation == dicom_.bytes.generation() &&
               d.layout.pixelsPerFrame == dicom_.image.pixelsPerFrame;
    }

    // Waits for the frames being decoded ahead, and gives them up.
    void settle() {
        for (Ahead& a : ahead_) a.result.wait();
        ahead_.clear();
    }

    // Decodes the frame unless it is the one kept or one decoded ahead; true when its samples
    // are there. A decoder that serves one thread at a time waits for the frames ahead first
    // (which stay, to be asked for later).
    bool decode(uint32_t frame) {
        if (holds(kept_, frame)) return kept_.reason.empty();
        for (auto a = ahead_.begin(); a != ahead_.end(); ++a) {
            if (a->frame != frame) continue;
            DecodedFrame done = a->result.get();
            ahead_.erase(a);
            if (!holds(done, frame)) break;
            kept_ = std::move(done);
            return kept_.reason.empty();
        }
        if (decoder_ && !decoder_->decodesConcurrently())
            for (Ahead& a : ahead_) a.result.wait();
        decodeInto(kept_, frame);
        return kept_.reason.empty();
    }

    void decodeInto(DecodedFrame& d, uint32_t frame) const {
        d.frame = frame;
        d.generation = dicom_.bytes.generation();
        d.layout = decodedLayout(dicom_.image);
        d.reason = why(d, frame);
        if (!d.reason.empty()) d.samples.clear();
    }

    // Decodes into d.samples; why not when it could not.
    std::string why(DecodedFrame& d, uint32_t frame) const {
        const ImageState& image = dicom_.image;
        if (decoder_ == nullptr) return std::string("no ") + codec_ + " decoder";
        if (image.bitsAllocated > 16) return "samples of more than 16 bits allocated are not decoded";
        const FrameBytes bytes = frameCodestream(dicom_, frame, d.joined);
        if (bytes.size == 0) return "the frame holds no bytes";
        FrameLayout layout;
        layout.rows = image.rows;
        layout.columns = image.columns;
        layout.bitsAllocated = d.layout.bitsAllocated;
        layout.bitsStored = image.bitsStored == 0 || image.bitsStored > layout.bitsAllocated ? layout.bitsAllocated
                                                                                             : image.bitsStored;
        layout.isSigned = image.pixelRepresentation == 1;
        std::string whyNot;
        if (!decoder_->decode(bytes.data, bytes.size, layout, d.samples, whyNot))
            return whyNot.empty() ? std::string("the ") + codec_ + " decoder refused the frame" : whyNot;
        const size_t count = image.pixelsPerFrame;
        const size_t bytesPerSample = layout.bitsAllocated / 8;
        if (d.samples.size() != count * bytesPerSample)
            return std::string("the ") + codec_ + " decoder gave samples of another size";
        if (bytesPerSample == 2) keepBitsStored<uint16_t>(d.samples.data(), count, layout.bitsStored, layout.isSigned);
        else keepBitsStored<uint8_t>(d.samples.data(), count, layout.bitsStored, layout.isSigned);
        // The sample reader may read four bytes at the last sample.
        d.samples.resize(d.samples.size() + 4, 0);
        return "";
    }

    const DicomImage& dicom_;
    SampleDecoder* decoder_;
    const char* codec_;
    WindowTableCache tables_;
    // What prepareWindowing left for the bands.
    WindowMapping mapping_;
    const std::vector<uint8_t>* table_ = nullptr;
    DecodedFrame kept_;
    // Frames being decoded ahead, oldest first; each worker writes only its own.
    struct Ahead {
        uint32_t frame;
        std::future<DecodedFrame> result;
    };
    std::deque<Ahead> ahead_;
};

}  // namespace

std::unique_ptr<FrameSource> decodedSource(const DicomImage& dicom, SampleDecoder* decoder, const char* codec) {
    return std::make_unique<DecodedSource>(dicom, decoder, codec);
}

}  // namespace vs
