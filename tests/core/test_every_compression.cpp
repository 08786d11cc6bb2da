// Files read with every compression (Decoders::allCompressions): lossless JPEG of every
// precision, predictor, point transform and restart interval reads as the same image stored
// uncompressed; a sample decoder sees the header's layout and each frame's whole codestream;
// deflated data sets are inflated first; damaged frames are refused one by one; and without
// the switch the same files are read as before.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/coded_frame.h"
#include "core/loader.h"
#include "core/render.h"
#include "dicom/deflated.h"
#include "dicom/image_description.h"
#include "dicom/jpeg_markers.h"
#include "samples/dicom_builder.h"
#include "tests/support/read_image.h"

namespace vs {
namespace {

using testing::Bytes;
using testing::DicomBuilder;
using testing::ImageRecipe;
using testing::makeImage;
using testing::readImage;
using testing::Syntax;
using Encoding = ImageRecipe::Encoding;

// A diagonal gradient over the whole range of Bits Stored (signed when the representation
// says so), different in every frame.
std::vector<int32_t> storedGradient(const ImageRecipe& r) {
    const uint16_t bits = r.bitsStored ? r.bitsStored : r.bitsAllocated;
    const int64_t low = r.pixelRepresentation == 1 ? -(int64_t(1) << (bits - 1)) : 0;
    const int64_t high = low + (int64_t(1) << bits) - 1;
    std::vector<int32_t> samples;
    for (uint32_t f = 0; f < r.frames; ++f)
        for (uint32_t i = 0; i < uint32_t(r.rows) * r.columns; ++i)
            samples.push_back(int32_t(low + (high - low) * ((i % r.columns + i / r.columns + 5 * f) % 41) / 40));
    return samples;
}

// What the frames write as RAW and as 8-bit TIFF through the frame's own range.
std::vector<Bytes> outputs(testing::ReadImage& r) {
    std::vector<Bytes> out;
    for (uint32_t f = 0; f < r.dicom.image.frameCount; ++f) {
        const SampleRange range = r.source->sampleRange(f);
        out.push_back(r.written(f, 0, 0, formatRaw).value_or(Bytes{}));
        out.push_back(r.written(f, range.low, range.high, formatTiff8, r.dicom.image.monochrome1).value_or(Bytes{}));
    }
    return out;
}

TEST(EveryCompression, LosslessJpegReadsAsTheSameImageUncompressed) {
    const struct {
        uint16_t allocated, stored;
        int representation, predictor, pointTransform;
        unsigned restart;
        uint32_t frames;
        const char* photometric;
    } cases[] = {
        {8, 8, 0, 1, 0, 0, 1, "MONOCHROME2"},   {8, 2, 0, 2, 0, 0, 1, "MONOCHROME2"},
        {16, 10, 0, 3, 0, 0, 2, "MONOCHROME1"}, {16, 12, 1, 4, 0, 23, 1, "MONOCHROME2"},
        {16, 15, 0, 5, 0, 0, 1, "MONOCHROME2"}, {16, 16, 1, 6, 0, 0, 1, "MONOCHROME2"},
        {16, 16, 0, 7, 2, 69, 3, "MONOCHROME2"}, {16, 12, 0, 1, 0, 46, 2, "MONOCHROME2"},
        {16, 16, -1, 1, 0, 0, 1, "MONOCHROME2"},  // no (0028,0103): 16-bit words read signed
    };
    const testing::TempDir folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.stored) + " bits, predictor " + std::to_string(c.predictor));
        ImageRecipe recipe{.rows = 19, .columns = 23, .bitsAllocated = c.allocated, .bitsStored = c.stored,
                           .frames = c.frames, .photometric = c.photometric, .pixelRepresentation = c.representation};
        recipe.samples = storedGradient(recipe);
        recipe.encoding = Encoding::jpegLossless;
        recipe.losslessPredictor = c.predictor;
        recipe.pointTransform = c.pointTransform;
        recipe.restartInterval = c.restart;
        const Bytes lossless = makeImage(recipe);
        // The point transform keeps the high bits of each sample (T.81 H.1.2.3).
        for (int32_t& s : recipe.samples) s = s >> c.pointTransform << c.pointTransform;
        recipe.encoding = Encoding::native;
        const auto native = readImage(makeImage(recipe), folder);
        const auto decoded = readImage(lossless, folder, true);
        ASSERT_EQ(decoded->status, statusLoaded);
        EXPECT_EQ(decoded->dicom.image.compression, compressionLosslessJpeg);
        EXPECT_EQ(decoded->dicom.image.frameCount, c.frames);
        const std::string line = describeImage(decoded->dicom, *decoded->source).image;
        EXPECT_EQ(line.substr(line.size() - 15), ", Lossless Jpeg");
        EXPECT_EQ(outputs(*decoded), outputs(*native));
    }
}

// A decoder that keeps what it was given and answers with words it was handed.
class FakeDecoder : public SampleDecoder {
public:
    std::vector<Bytes> seen;
    FrameLayout layout;
    Bytes answer;

    bool decode(const uint8_t* bytes, size_t size, const FrameLayout& l, std::vector<uint8_t>& out,
                std::string& whyNot) override {
        seen.emplace_back(bytes, bytes + size);
        layout = l;
        out = answer;
        if (answer.empty()) whyNot = "fake: refused";
        return !answer.empty();
    }
};

// An image of these fragments that declares frames frames.
Bytes framesImage(const char* uid, uint16_t rows, uint16_t columns, uint16_t bits, std::vector<Bytes> fragments,
                  uint32_t frames, Bytes offsetTable = {}) {
    DicomBuilder b(Syntax::explicitLittle);
    b.transferSyntax(uid);
    if (frames > 1) b.text(0x0028, 0x0008, "IS", std::to_string(frames));
    b.us(0x0028, 0x0010, rows).us(0x0028, 0x0011, columns).us(0x0028, 0x0100, bits).us(0x0028, 0x0101, 12);
    b.us(0x0028, 0x0103, 1);
    return b.encapsulated(std::move(fragments), true, std::move(offsetTable)).build();
}

// A JPEG-LS labelled image of 2 x 2 samples of 16 bits (12 stored, signed) in these fragments.
Bytes jpegLsImage(std::vector<Bytes> fragments, uint32_t frames, Bytes offsetTable = {}) {
    return framesImage("1.2.840.10008.1.2.4.80", 2, 2, 16, std::move(fragments), frames, std::move(offsetTable));
}

TEST(EveryCompression, SampleDecodersSeeTheLayoutAndEachFramesWholeCodestream) {
    const Bytes a = {0xFF, 0xD8, 1, 2}, b = {3, 4, 5, 6}, c = {0xFF, 0xD8, 7, 8}, d = {9, 10};
    const Bytes j2k = {0xFF, 0x4F, 0xFF, 0x51};
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const struct {
        const char* label;
        Bytes file;
        std::vector<Bytes> frames;
    } cases[] = {
        // The offset table: frame 2 starts at the third fragment's item (2 * 12 bytes on).
        {"offset table", jpegLsImage({a, b, c, d}, 2, {0, 0, 0, 0, 24, 0, 0, 0}), {join({a, b}), join({c, d})}},
        {"one fragment a frame", jpegLsImage({a, b, c}, 3), {a, b, c}},
        {"codestream starts", jpegLsImage({a, b, c, d}, 2), {join({a, b}), join({c, d})}},
        {"one frame", jpegLsImage({a, b, d}, 1), {join({a, b, d})}},
        {"frames not declared", jpegLsImage({a, b, c}, 1), {join({a, b}), c}},
        {"JPEG 2000 starts", jpegLsImage({j2k, b, j2k}, 3 + 1), {join({j2k, b}), j2k}},
        {"an offset table that misses", jpegLsImage({a, b, c}, 3, {0, 0, 0, 0, 5, 0, 0, 0}), {a, b, c}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.label);
        const auto r = readImage(k.file, testing::TempDir(), true);
        ASSERT_EQ(r->status, statusLoaded);
        EXPECT_EQ(r->dicom.image.compression, compressionJpegLs);
        ASSERT_EQ(r->dicom.image.frameCount, k.frames.size());
        FakeDecoder fake;
        fake.answer = Bytes(8, 0);
        Decoders decoders;
        decoders.jpegLs = &fake;
        r->source = frameSourceFor(r->dicom, decoders);
        // Each frame decoded once, the next one ahead of its turn.
        for (uint32_t f = 0; f < k.frames.size(); ++f) {
            r->source->decodeAhead(f + 1);
            EXPECT_EQ(r->source->unreadableReason(f), "");
        }
        r->source.reset();
        ASSERT_EQ(fake.seen.size(), k.frames.size());
        for (const Bytes& frame : k.frames) EXPECT_EQ(std::count(fake.seen.begin(), fake.seen.end(), frame), 1);
        EXPECT_EQ(fake.layout.rows * 1000 + fake.layout.columns * 100 + fake.layout.bitsAllocated, 2216);
        EXPECT_EQ(fake.layout.bitsStored, 12);
        EXPECT_TRUE(fake.layout.isSigned);
    }

    // Sign and range come from Bits Stored: a decoder that leaves zeros above them and one that
    // fills them with the sign give the same words; the kept frame is not decoded again.
    const auto r = readImage(jpegLsImage({a}, 1), testing::TempDir(), true);
    FakeDecoder fake;
    Decoders decoders;
    decoders.jpegLs = &fake;
    for (const Bytes& answer : {Bytes{0xFF, 0x0F, 0x00, 0x08, 0xFF, 0x07, 0x05, 0x00},
                                Bytes{0xFF, 0xFF, 0x00, 0xF8, 0xFF, 0x07, 0x05, 0xF0}}) {
        fake.answer = answer;
        r->source = frameSourceFor(r->dicom, decoders);
        EXPECT_EQ(r->written(0, 0, 0, formatRaw), (Bytes{0xFF, 0xFF, 0x00, 0xF8, 0xFF, 0x07, 0x05, 0x00}));
        EXPECT_EQ(r->source->sampleRange(0).low * 10000 + r->source->sampleRange(0).high, -2048 * 10000 + 2047);
    }
    EXPECT_EQ(fake.seen.size(), 2u);
    // A refusal, samples of another size and an empty slot each say why, and nothing is written.
    for (const Bytes& answer : {Bytes{}, Bytes(6, 0)}) {
        fake.answer = answer;
        r->source = frameSourceFor(r->dicom, decoders);
        EXPECT_NE(r->source->unreadableReason(0), "");
        EXPECT_FALSE(r->written(0, 0, 255, formatTiff8));
    }
    r->source = frameSourceFor(r->dicom, Decoders{});
    EXPECT_EQ(r->source->unreadableReason(0), "no JPEG-LS decoder");
    // Bits Stored beyond Bits Allocated is taken as Bits Allocated.
    const auto deep = readImage(framesImage("1.2.840.10008.1.2.4.80", 2, 2, 8, {a}, 1), testing::TempDir(), true);
    fake.answer = Bytes(4, 0);
    deep->source = frameSourceFor(deep->dicom, decoders);
    EXPECT_EQ(deep->source->unreadableReason(0), "");
    EXPECT_EQ(fake.layout.bitsStored, 8);
    // An item whose length runs past the file (here round the 32-bit offsets): the frame ends
    // with the file.
    Bytes wrapping = jpegLsImage({a, b}, 1);
    const size_t second = wrapping.size() - 8 - b.size() - 8;  // the second item, before the delimiter
    for (size_t k = 0; k < 4; ++k) wrapping[second + 4 + k] = uint8_t(0xFFFFFFF0u >> (8 * k));
    const auto cut = readImage(wrapping, testing::TempDir(), true);
    ASSERT_EQ(cut->status, statusLoaded);
    cut->source = frameSourceFor(cut->dicom, decoders);
    cut->source->unreadableReason(0);
    EXPECT_EQ(fake.seen.back().size(), a.size() + b.size() + 8);
    r->picture(0, 0, 255);
    EXPECT_FALSE(r->drawn.drawn);
    EXPECT_EQ(describeImage(r->dicom, *r->source).image, "2 x 2 Pixels,  16 Bit, 1 Frame, Jpeg-LS  <JPEG-LS frame cannot be decoded>");
}

Bytes deflated(const ImageRecipe& recipe) { return testing::deflateDataSet(makeImage(recipe)); }

// Tells the abort from the first question on.
struct Impatient : ReadObserver {
    bool abortRequested() override { return true; }
};

TEST(EveryCompression, DeflatedDataSetsAreInflatedBeforeTheHeaderWalk) {
    const ImageRecipe recipe{.rows = 300, .columns = 200, .frames = 2, .patientName = "DEFLATED^D"};
    // Its outputs are those of the file stored uncompressed: compared below on a file of many
    // chunks, and on the compressed fixtures.
    const Bytes file = deflated(recipe);
    const auto inflated = readImage(file, testing::TempDir(), true);
    ASSERT_EQ(inflated->status, statusLoaded);
    const ImageDescription d = describeImage(inflated->dicom, *inflated->source);
    EXPECT_EQ(d.patient.substr(0, 10), "DEFLATED^D");
    EXPECT_EQ(d.image, "200 x 300 Pixels,  16 Bit,  2 Frames, Deflate");

    // What would grow past the limit, a stream cut short or damaged, and an abort.
    const auto read = [](Bytes bytes, uint64_t most, ReadObserver&& observer) {
        DicomImage dicom;
        dicom.bytes.prepare(bytes.size());
        std::copy(bytes.begin(), bytes.end(), dicom.bytes.data());
        dicom.image.fileLength = uint32_t(bytes.size());
        const auto start = deflatedDataSetStart(dicom);
        EXPECT_TRUE(start);
        const auto inflater = makeDecoderBundle(true);
        return inflateDataSet(dicom, *start, *inflater->decoders().inflater, observer, true, most);
    };
    const uint64_t length = inflated->dicom.image.fileLength;
    EXPECT_EQ(read(file, length + 1, ReadObserver()), statusLoaded);
    EXPECT_EQ(read(file, length, ReadObserver()), statusTooBig);
    EXPECT_EQ(read(Bytes(file.begin(), file.end() - 40), 1u << 30, ReadObserver()), statusUnsupported);
    // Raw deflate has no check sum: a block of the reserved type is damage zlib sees.
    Bytes damaged = file;
    damaged[DicomBuilder(Syntax::explicitLittle).transferSyntax(testing::uidDeflated).build().size()] = 0x07;
    EXPECT_EQ(read(damaged, 1u << 30, ReadObserver()), statusUnsupported);
    ImageRecipe large{.rows = 600, .columns = 600, .frames = 3};
    EXPECT_EQ(read(deflated(large), 1u << 30, Impatient()), statusAborted);
    // A deflated file of more than the four chunks the header walk waits for (noise does not
    // deflate), and one whose pixel data are shorter than its frames.
    for (uint32_t i = 0; i < 600u * 600 * 3; ++i) large.samples.push_back(int32_t((i * 2654435761u) >> 17) - 32768);
    const Bytes noisy = deflated(large);
    ASSERT_GT(noisy.size(), 4u * loadChunkBytes);
    EXPECT_EQ(outputs(*readImage(noisy, testing::TempDir(), true)), outputs(*readImage(makeImage(large))));
    DicomBuilder shortPixels(Syntax::explicitLittle);
    shortPixels.us(0x0028, 0x0010, 4).us(0x0028, 0x0011, 4).us(0x0028, 0x0100, 16).pixelData(Bytes(30, 1));
    EXPECT_EQ(readImage(testing::deflateDataSet(shortPixels.build()), testing::TempDir(), true)->status,
              statusUnsupported);
}

TEST(EveryCompression, TheStreamsFrameHeaderDecidesBetweenPictureAndSamples) {
    // The frame header is found past tables, application segments and fill bytes; a scan
    // before it, or the stream's end, leaves none.
    const struct {
        Bytes stream;
        int found;  // marker * 1000 + precision * 100 + rows * 10 + columns
    } headers[] = {
        {{0xFF, 0xD8, 0xFF, 0xC4, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xFF, 0xC3, 0x00, 0x0B, 0x07, 0x00, 0x02, 0x00, 0x03,
          0x01, 0x01, 0x11, 0x00}, 0xC3 * 1000 + 700 + 23},
        {{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x02, 0xFF, 0xF7, 0x00, 0x0B, 0x05, 0x00, 0x04, 0x00, 0x01, 0x01, 0x01, 0x11,
          0x00}, 0xF7 * 1000 + 500 + 41},
        {{0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x02, 0x00, 0x03, 0x01, 0x01, 0x11,
          0x00}, 0},
        {{0xFF, 0xD8, 0xFF, 0xC1, 0x00, 0x0B, 0x0C}, 0},
    };
    for (const auto& h : headers) {
        const std::optional<JpegFrameHeader> found = readJpegFrameHeader(h.stream.data(), h.stream.size());
        EXPECT_EQ(found ? found->marker * 1000 + found->precision * 100 + found->rows * 10 + found->columns : 0, h.found);
    }

    Bytes grey(64 * 48);
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = uint8_t(i * 7 % 251);
    const Bytes baseline = testing::encodeJpegGrey(grey, 48, 64, 80);
    const auto picture = readImage(testing::encapsulatedImage(testing::uidJpegBaseline, 48, 64, 8, {baseline}));
    const Bytes shown = picture->picture(0, 0, 255);
    const struct {
        const char* uid;
        uint16_t bits;
        uint16_t kind;
    } cases[] = {
        {testing::uidJpegBaseline, 8, compressionJpeg},        // a picture, as by default
        {testing::uidJpegLosslessSv1, 8, compressionJpegSamples},  // a baseline stream in .70
        {testing::uidJpegBaseline, 16, compressionJpegSamples},    // in 16 bits allocated
        {testing::uidJpegLossless, 16, compressionJpegSamples},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.uid) + " " + std::to_string(c.bits));
        const auto r = readImage(testing::encapsulatedImage(c.uid, 48, 64, c.bits, {baseline}), testing::TempDir(), true);
        ASSERT_EQ(r->status, statusLoaded);
        EXPECT_EQ(r->dicom.image.compression, c.kind);
        EXPECT_EQ(r->picture(0, 0, 255), shown);
        EXPECT_EQ(describeImage(r->dicom, *r->source).image,
                  "64 x 48 Pixels,  " + std::to_string(c.bits) + " Bit, 1 Frame, Jpeg");
        if (c.kind == compressionJpegSamples) {
            EXPECT_EQ(r->source->sampleRange(0).high * 1000 + r->source->sampleRange(0).low,
                      picture->drawn.seen->high * 1000 + picture->drawn.seen->low);
        }
    }
}

TEST(EveryCompression, WithoutTheSwitchTheseFilesAreReadAsBefore) {
    ImageRecipe recipe{.rows = 8, .columns = 8, .bitsAllocated = 16, .encoding = Encoding::jpegLossless};
    const Bytes sv1 = makeImage(recipe);
    const Bytes jpeg16 = testing::encapsulatedImage(testing::uidJpegBaseline, 8, 8, 16, {testing::encodeJpegGrey(Bytes(64, 5), 8, 8)});
    const Bytes ls = jpegLsImage({{0xFF, 0xD8, 0xFF, 0xF7}}, 1);
    const Bytes htj2k = testing::encapsulatedImage("1.2.840.10008.1.2.4.201", 2, 2, 16, {{0xFF, 0x4F, 0xFF, 0x51}});
    const Bytes deflate = deflated({.rows = 4, .columns = 4});
    // Each is refused for its encoding, which the panel shows as an unsupported filetype.
    for (const Bytes& file : {sv1, jpeg16, ls, htj2k, deflate}) {
        EXPECT_EQ(readImage(file)->status, statusUnsupportedEncoding);
        EXPECT_EQ(readImage(file, testing::TempDir(), true)->status, statusLoaded);
    }
    // Lossless .57 in 8 bits, tried by the picture decoder as before and read with the switch,
    // is checked on the compressed fixtures; the decoder's reason in test_encodings.
}

TEST(EveryCompression, DamagedFramesAreRefusedOneByOne) {
    ImageRecipe recipe{.rows = 32, .columns = 40, .bitsAllocated = 16, .bitsStored = 12, .frames = 2,
                       .pixelRepresentation = 0, .encoding = Encoding::jpegLossless};
    recipe.samples = storedGradient(recipe);
    const Bytes good = testing::encodeJpegLossless(recipe.samples, 32, 40, 12);
    const Bytes other = testing::encodeJpegLossless(recipe.samples, 32, 41, 12);
    const Bytes tooDeep = testing::encodeJpegLossless(recipe.samples, 32, 40, 16);
    auto cut = [](const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + long(n)); };
    Bytes flipped = good;
    for (size_t i = good.size() / 3; i < good.size() - 2; i += 97) flipped[i] ^= 0x5A;
    const struct {
        const char* label;
        Bytes frame;
        uint16_t allocated;
        const char* reason;
    } cases[] = {
        {"cut short", cut(good, good.size() / 2), 16, "Premature end of JPEG file"},
        {"cut in its header", cut(good, 22), 16, "no JPEG frame header"},
        {"empty", Bytes{}, 16, "the frame holds no bytes"},
        {"another size", other, 16, "the stream is 41 x 32 pixels, the header says 40 x 32"},
        {"deeper than allocated", tooDeep, 8, "do not fit 8 bits allocated"},
        {"bits flipped", flipped, 16, "Corrupt JPEG data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto r = readImage(framesImage(testing::uidJpegLossless, 32, 40, c.allocated, {good, c.frame}, 2),
                                 testing::TempDir(), true);
        ASSERT_EQ(r->status, statusLoaded);
        ASSERT_EQ(r->dicom.image.frameCount, 2u);
        const std::string reason = r->source->unreadableReason(1);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_FALSE(r->written(1, 0, 4095, formatRaw));
        r->picture(1, 0, 4095);
        EXPECT_FALSE(r->drawn.drawn);
    }
}

TEST(EveryCompression, TheViewerPlaysALosslessCineAndTellsOfAFrameItCannotDecode) {
    ImageRecipe recipe{.rows = 24, .columns = 24, .bitsAllocated = 16, .frames = 4, .pixelRepresentation = 0};
    recipe.samples = storedGradient(recipe);
    std::vector<Bytes> frames;
    for (uint32_t f = 0; f < 4; ++f) {
        const std::vector<int32_t> one(recipe.samples.begin() + f * 576, recipe.samples.begin() + (f + 1) * 576);
        frames.push_back(testing::encodeJpegLossless(one, 24, 24, 16));
    }
    frames[2].resize(40);
    testing::TestViewer t(true);
    Viewer& v = t.v;
    ASSERT_EQ(t.load("cine.dcm", testing::encapsulatedImage(testing::uidJpegLosslessSv1, 24, 24, 16, frames)), LoadResult::loaded);
    EXPECT_EQ(t.host.last("image "), "24 x 24 Pixels,  16 Bit,  4 Frames, Lossless Jpeg");
    EXPECT_TRUE(t.host.messages.empty());
    // A frame decoded ahead is the frame shown next.
    const Bytes first(v.display.begin(), v.display.begin() + 24 * 28);
    frameSource(v).decodeAhead(1);
    v.currentFrame = 1;
    renderFrame(v);
    const Bytes second(v.display.begin(), v.display.begin() + 24 * 28);
    EXPECT_NE(first, second);
    v.source.reset();
    renderFrame(v);
    EXPECT_EQ(Bytes(v.display.begin(), v.display.begin() + 24 * 28), second);
    v.currentFrame = 2;
    EXPECT_EQ(decodeCodedFrame(v), 0u);
    ASSERT_EQ(t.host.messages.size(), 1u);
    EXPECT_EQ(t.host.messages[0].rfind("JPEG decoder error 40:\nIJG JPEG (GDCM, 16 bits): ", 0), 0u) << t.host.messages[0];
}

}  // namespace
}  // namespace vs
