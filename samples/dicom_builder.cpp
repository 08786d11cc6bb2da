#include "samples/dicom_builder.h"

#include <turbojpeg.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>

#include "samples/lossless_jpeg.h"

namespace vs::testing {

namespace {

constexpr uint32_t undefinedLength = 0xFFFFFFFFu;

// Explicit VRs whose element header has two reserved bytes and a 32-bit length (PS3.5 7.1.2).
bool hasLongLength(const std::string& vr) {
    for (const char* v : {"OB", "OW", "OF", "OD", "OL", "OV", "SQ", "UT", "UN", "UC", "UR"})
        if (vr == v) return true;
    return false;
}

// Appends v in `bytes` bytes, little or big endian.
void append(std::vector<uint8_t>& out, uint32_t v, int bytes, bool bigEndian = false) {
    for (int k = 0; k < bytes; ++k) out.push_back(uint8_t(v >> (8 * (bigEndian ? bytes - 1 - k : k))));
}

}  // namespace

DicomBuilder::DicomBuilder(Syntax syntax, bool withMeta)
    : syntax_(syntax), withMeta_(withMeta), transferSyntax_(std::array{uidImplicitLittle, uidExplicitLittle, uidExplicitBig}[int(syntax)]) {}

DicomBuilder& DicomBuilder::transferSyntax(std::string uid) {
    transferSyntax_ = std::move(uid);
    return *this;
}

void DicomBuilder::put16(uint16_t v) { append(body_, v, 2, syntax_ == Syntax::explicitBig); }
void DicomBuilder::put32(uint32_t v) { append(body_, v, 4, syntax_ == Syntax::explicitBig); }

void DicomBuilder::tag(uint16_t group, uint16_t element) {
    put16(group);
    put16(element);
}

void DicomBuilder::header(uint16_t group, uint16_t element, const std::string& vr, uint32_t length) {
    tag(group, element);
    if (syntax_ == Syntax::implicitLittle) {
        put32(length);
        return;
    }
    if (vr.size() != 2) throw std::invalid_argument("a VR has two characters: " + vr);
    body_.insert(body_.end(), vr.begin(), vr.end());
    if (hasLongLength(vr)) {
        put16(0);
        put32(length);
    } else {
        put16(uint16_t(length));
    }
}

DicomBuilder& DicomBuilder::text(uint16_t group, uint16_t element, std::string vr, std::string value) {
    if (value.size() % 2) value.push_back(vr == "UI" ? '\0' : ' ');
    return raw(group, element, vr, {value.begin(), value.end()});
}

DicomBuilder& DicomBuilder::us(uint16_t group, uint16_t element, uint16_t value) {
    header(group, element, "US", 2);
    put16(value);
    return *this;
}

DicomBuilder& DicomBuilder::raw(uint16_t group, uint16_t element, std::string vr, std::vector<uint8_t> value) {
    header(group, element, vr, uint32_t(value.size()));
    return bytes(std::move(value));
}

DicomBuilder& DicomBuilder::bytes(std::vector<uint8_t> b) {
    body_.insert(body_.end(), b.begin(), b.end());
    return *this;
}

DicomBuilder& DicomBuilder::pixelData(std::vector<uint8_t> value, std::string vr,
                                      std::optional<uint32_t> declaredLength) {
    header(0x7FE0, 0x0010, vr, declaredLength.value_or(uint32_t(value.size())));
    // OW is a stream of 16-bit words and so follows the data set's byte order.
    if (syntax_ == Syntax::explicitBig && vr == "OW")
        for (size_t i = 0; i + 1 < value.size(); i += 2) std::swap(value[i], value[i + 1]);
    return bytes(std::move(value));
}

DicomBuilder& DicomBuilder::encapsulated(std::vector<std::vector<uint8_t>> fragments, bool endWithDelimiter,
                                         std::vector<uint8_t> offsetTable) {
    // PS3.5 A.4: OB of undefined length, a sequence of items, the first being the basic offset table.
    header(0x7FE0, 0x0010, "OB", undefinedLength);
    fragments.insert(fragments.begin(), std::move(offsetTable));
    for (auto& fragment : fragments) {
        if (fragment.size() % 2) fragment.push_back(0);
        tag(0xFFFE, 0xE000);
        put32(uint32_t(fragment.size()));
        bytes(std::move(fragment));
    }
    if (endWithDelimiter) {
        tag(0xFFFE, 0xE0DD);
        put32(0);
    }
    return *this;
}

std::vector<uint8_t> DicomBuilder::build() const {
    if (!withMeta_) return body_;
    // The file meta information (PS3.10 7.1) is always explicit VR little endian.
    DicomBuilder meta(Syntax::explicitLittle, false);
    meta.raw(0x0002, 0x0001, "OB", {0x00, 0x01});
    meta.text(0x0002, 0x0002, "UI", ("1.2.840.10008.5.1.4.1.1.7"));
    meta.text(0x0002, 0x0003, "UI", ("1.2.826.0.1.3680043.9.7433.1.1"));
    meta.text(0x0002, 0x0010, "UI", (transferSyntax_));
    meta.text(0x0002, 0x0012, "UI", ("1.2.826.0.1.3680043.9.7433.0.12"));
    meta.text(0x0002, 0x0013, "SH", ("VIREOSCAN_TEST"));
    std::vector<uint8_t> length;
    append(length, uint32_t(meta.body_.size()), 4);
    DicomBuilder out(Syntax::explicitLittle, false);
    out.bytes(std::vector<uint8_t>(128, 0)).bytes({'D', 'I', 'C', 'M'}).raw(0x0002, 0x0000, "UL", length);
    return out.bytes(meta.body_).bytes(body_).body_;
}

std::vector<int32_t> gradientSamples(const ImageRecipe& recipe) {
    const bool jpeg = recipe.encoding == ImageRecipe::Encoding::jpegBaseline;
    int64_t low = 0;
    int64_t high = recipe.bitsAllocated >= 31 ? INT32_MAX : (int64_t{1} << recipe.bitsAllocated) - 1;
    if (recipe.pixelRepresentation == 1 && recipe.bitsAllocated > 12 && !jpeg) {
        low = -(int64_t{1} << (recipe.bitsAllocated - 1));
        high = (int64_t{1} << (recipe.bitsAllocated - 1)) - 1;
    }
    if (jpeg) high = std::min<int64_t>(high, 255);
    const int64_t steps = std::max<int64_t>(int64_t{recipe.rows} + recipe.columns - 2, 1);
    std::vector<int32_t> samples;
    for (uint32_t f = 0; f < recipe.frames; ++f)
        for (uint32_t y = 0; y < recipe.rows; ++y)
            for (uint32_t x = 0; x < recipe.columns; ++x)
                samples.push_back(int32_t(low + (high - low) * ((x + y + f) % (steps + 1)) / steps));
    return samples;
}

namespace {

std::vector<uint8_t> packSamples(const std::vector<int32_t>& samples, uint16_t bitsAllocated) {
    std::vector<uint8_t> out;
    if (bitsAllocated == 12) {
        // Two samples in three bytes, read as little-endian 12-bit fields.
        for (size_t i = 0; i < samples.size(); i += 2) {
            const uint32_t a = uint32_t(samples[i]) & 0xFFF;
            const uint32_t b = i + 1 < samples.size() ? uint32_t(samples[i + 1]) & 0xFFF : 0;
            append(out, a | b << 12, i + 1 < samples.size() ? 3 : 2);
        }
    } else if (bitsAllocated == 8 || bitsAllocated == 16 || bitsAllocated == 32) {
        for (int32_t v : samples) append(out, uint32_t(v), bitsAllocated / 8);
    } else {
        throw std::invalid_argument("packSamples: unsupported bits allocated " + std::to_string(bitsAllocated));
    }
    return out;
}

// PackBits as DICOM RLE uses it (PS3.5 G.3.1): control n in 0..127 copies n + 1 literal bytes,
// 257 - n in 129..255 repeats the next byte n times (2..128); 128 is never written.
std::vector<uint8_t> packBits(const std::vector<uint8_t>& in) {
    std::vector<uint8_t> out;
    const size_t n = in.size();
    auto runAt = [&](size_t at) {
        size_t length = 1;
        while (at + length < n && length < 128 && in[at + length] == in[at]) ++length;
        return length;
    };
    for (size_t i = 0; i < n;) {
        const size_t run = runAt(i);
        if (run >= 2) {
            out.insert(out.end(), {uint8_t(257 - run), in[i]});
            i += run;
            continue;
        }
        const size_t start = i;
        while (i < n && i - start < 128 && !(i + 2 < n && in[i] == in[i + 1] && in[i] == in[i + 2])) ++i;
        out.push_back(uint8_t(i - start - 1));
        out.insert(out.end(), in.begin() + std::ptrdiff_t(start), in.begin() + std::ptrdiff_t(i));
    }
    if (out.size() % 2) out.push_back(0);  // every segment has an even length (G.4)
    return out;
}

}  // namespace

std::vector<uint8_t> encodeRleFrame(const std::vector<int32_t>& samples, uint16_t rows, uint16_t columns,
                                    uint16_t bitsAllocated) {
    if (bitsAllocated != 8 && bitsAllocated != 16)
        throw std::invalid_argument("encodeRleFrame: bits allocated must be 8 or 16");
    const size_t count = size_t{rows} * columns;
    if (samples.size() < count) throw std::invalid_argument("encodeRleFrame: too few samples");
    std::vector<uint8_t> frame, body;
    append(frame, bitsAllocated / 8, 4);
    for (int plane = bitsAllocated / 8 - 1; plane >= 0; --plane) {  // most significant byte first (G.2)
        std::vector<uint8_t> bytes(count);
        for (size_t i = 0; i < count; ++i) bytes[i] = uint8_t(uint32_t(samples[i]) >> (8 * plane));
        append(frame, uint32_t(64 + body.size()), 4);
        const auto segment = packBits(bytes);
        body.insert(body.end(), segment.begin(), segment.end());
    }
    frame.resize(64, 0);
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

std::vector<uint8_t> encodeJpegGrey(const std::vector<uint8_t>& pixels, uint16_t rows, uint16_t columns,
                                    int quality) {
    if (pixels.size() < size_t{rows} * columns) throw std::invalid_argument("encodeJpegGrey: too few pixels");
    tjhandle handle = tjInitCompress();
    if (!handle) throw std::runtime_error("tjInitCompress failed");
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(handle, pixels.data(), columns, columns, rows, TJPF_GRAY, &jpeg, &size, TJSAMP_GRAY,
                               quality, TJFLAG_ACCURATEDCT);
    std::vector<uint8_t> out;
    if (rc == 0) out.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    if (rc != 0) throw std::runtime_error("tjCompress2 failed");
    return out;
}

std::vector<uint8_t> relabelAsLossless(std::vector<uint8_t> jpeg) {
    const uint8_t sof0[] = {0xFF, 0xC0};
    const auto at = std::search(jpeg.begin(), jpeg.end(), sof0, sof0 + 2);
    if (at == jpeg.end()) throw std::invalid_argument("relabelAsLossless: no SOF0 marker");
    at[1] = 0xC3;
    return jpeg;
}

std::vector<uint8_t> deflateDataSet(const std::vector<uint8_t>& file) {
    // After the preamble, "DICM" and (0002,0000), whose value counts the rest of the group.
    constexpr size_t groupLengthValue = 128 + 4 + 8;
    if (file.size() < groupLengthValue + 4) throw std::invalid_argument("deflateDataSet: no meta group");
    const size_t start = groupLengthValue + 4 + (file[140] | file[141] << 8 | file[142] << 16 | size_t(file[143]) << 24);
    if (start > file.size()) throw std::invalid_argument("deflateDataSet: meta group longer than the file");
    std::vector<uint8_t> out = DicomBuilder(Syntax::explicitLittle).transferSyntax(uidDeflated).build();
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateDataSet: zlib could not be started");
    std::vector<uint8_t> packed(deflateBound(&z, uLong(file.size() - start)));
    z.next_in = const_cast<Bytef*>(file.data() + start);
    z.avail_in = uInt(file.size() - start);
    z.next_out = packed.data();
    z.avail_out = uInt(packed.size());
    const int result = deflate(&z, Z_FINISH);
    packed.resize(z.total_out);
    deflateEnd(&z);
    if (result != Z_STREAM_END) throw std::runtime_error("deflateDataSet: zlib did not finish");
    out.insert(out.end(), packed.begin(), packed.end());
    return out;
}

std::vector<uint8_t> encodeJpegLossless(const std::vector<int32_t>& samples, uint16_t rows, uint16_t columns, int bits,
                                        int predictor, int pointTransform, unsigned restartInterval) {
    if (samples.size() < size_t{rows} * columns) throw std::invalid_argument("encodeJpegLossless: too few samples");
    if (bits < 2 || bits > 16) throw std::invalid_argument("encodeJpegLossless: bits outside 2..16");
    // The build of the least precision that holds the bits, as DICOM encoders choose it.
    auto encode = bits <= 8 ? encodeLossless8 : bits <= 12 ? encodeLossless12 : encodeLossless16;
    return encode(samples, rows, columns, bits, predictor, pointTransform, restartInterval);
}

std::vector<uint8_t> makeImage(const ImageRecipe& recipe) {
    using Encoding = ImageRecipe::Encoding;
    const size_t perFrame = size_t{recipe.rows} * recipe.columns;
    const uint32_t frames = std::max<uint32_t>(recipe.frames, 1);
    std::vector<int32_t> samples = recipe.samples.empty() ? gradientSamples(recipe) : recipe.samples;
    if (samples.size() < perFrame * frames) throw std::invalid_argument("makeImage: too few samples");

    DicomBuilder b(recipe.syntax, recipe.withMeta);
    if (recipe.encoding == Encoding::rle) b.transferSyntax(uidRle);
    if (recipe.encoding == Encoding::jpegBaseline) b.transferSyntax(uidJpegBaseline);
    const bool firstOrder = recipe.losslessPredictor == 1 && recipe.pointTransform == 0;
    if (recipe.encoding == Encoding::jpegLossless) b.transferSyntax(firstOrder ? uidJpegLosslessSv1 : uidJpegLossless);
    auto optionalText = [&b](uint16_t group, uint16_t element, const char* vr, const std::string& value) {
        if (!value.empty()) b.text(group, element, vr, value);
    };
    auto ds = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.10g", v);
        return std::string(text);
    };
    b.text(0x0008, 0x0008, "CS", "ORIGINAL\\PRIMARY\\AXIAL");
    b.text(0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7");
    b.text(0x0008, 0x0018, "UI", "1.2.826.0.1.3680043.9.7433.1.1");
    optionalText(0x0008, 0x0020, "DA", recipe.studyDate);
    optionalText(0x0008, 0x0030, "TM", recipe.studyTime);
    optionalText(0x0008, 0x0060, "CS", recipe.modality);
    optionalText(0x0008, 0x1030, "LO", recipe.studyDescription);
    optionalText(0x0010, 0x0010, "PN", recipe.patientName);
    optionalText(0x0010, 0x0020, "LO", recipe.patientId);
    optionalText(0x0010, 0x0030, "DA", recipe.birthDate);
    optionalText(0x0018, 0x0050, "DS", recipe.sliceThickness);
    optionalText(0x0018, 0x0088, "DS", recipe.spacingBetweenSlices);
    optionalText(0x0018, 0x1030, "LO", recipe.protocolName);
    optionalText(0x0020, 0x0013, "IS", recipe.instanceNumber);
    optionalText(0x0020, 0x1041, "DS", recipe.sliceLocation);
    b.us(0x0028, 0x0002, 1);
    b.text(0x0028, 0x0004, "CS", recipe.photometric);
    if (frames > 1 && recipe.writeNumberOfFrames) b.text(0x0028, 0x0008, "IS", std::to_string(frames));
    b.us(0x0028, 0x0010, recipe.rows);
    b.us(0x0028, 0x0011, recipe.columns);
    optionalText(0x0028, 0x0030, "DS", recipe.pixelSpacing);
    b.us(0x0028, 0x0100, recipe.bitsAllocated);
    const uint16_t bitsStored = recipe.bitsStored ? recipe.bitsStored : recipe.bitsAllocated;
    b.us(0x0028, 0x0101, bitsStored);
    b.us(0x0028, 0x0102, uint16_t(bitsStored - 1));
    if (recipe.pixelRepresentation >= 0) b.us(0x0028, 0x0103, uint16_t(recipe.pixelRepresentation));
    optionalText(0x0028, 0x1050, "DS", recipe.windowCenter);
    optionalText(0x0028, 0x1051, "DS", recipe.windowWidth);
    if (recipe.rescaleIntercept) b.text(0x0028, 0x1052, "DS", ds(*recipe.rescaleIntercept));
    if (recipe.rescaleSlope) b.text(0x0028, 0x1053, "DS", ds(*recipe.rescaleSlope));

    if (recipe.encoding == Encoding::native) {
        samples.resize(perFrame * frames);
        auto value = packSamples(samples, recipe.bitsAllocated);
        if (value.size() % 2) value.push_back(0);
        b.pixelData(std::move(value), recipe.bitsAllocated <= 8 ? "OB" : "OW");
        return b.build();
    }
    std::vector<std::vector<uint8_t>> fragments;
    std::vector<uint8_t> offsets;
    uint32_t offset = 0;
    for (uint32_t f = 0; f < frames; ++f) {
        const auto first = samples.begin() + std::ptrdiff_t(f * perFrame);
        std::vector<int32_t> frame(first, first + std::ptrdiff_t(perFrame));
        if (recipe.encoding == Encoding::rle) {
            fragments.push_back(encodeRleFrame(frame, recipe.rows, recipe.columns, recipe.bitsAllocated));
        } else if (recipe.encoding == Encoding::jpegLossless) {
            fragments.push_back(encodeJpegLossless(frame, recipe.rows, recipe.columns, bitsStored,
                                                   recipe.losslessPredictor, recipe.pointTransform,
                                                   recipe.restartInterval));
        } else {
            if (recipe.bitsAllocated != 8) throw std::invalid_argument("makeImage: baseline JPEG is 8-bit");
            std::vector<uint8_t> pixels(perFrame);
            for (size_t i = 0; i < perFrame; ++i) pixels[i] = uint8_t(std::clamp(frame[i], 0, 255));
            fragments.push_back(encodeJpegGrey(pixels, recipe.rows, recipe.columns));
        }
        if (fragments.back().size() % 2) fragments.back().push_back(0);
        // The basic offset table holds each frame's item offset from the first fragment item.
        append(offsets, offset, 4, recipe.syntax == Syntax::explicitBig);
        offset += uint32_t(fragments.back().size()) + 8;
    }
    b.encapsulated(std::move(fragments), true, frames > 1 ? offsets : std::vector<uint8_t>{});
    return b.build();
}

std::vector<uint8_t> encapsulatedImage(const char* uid, uint16_t rows, uint16_t columns, uint16_t bits,
                                       std::vector<std::vector<uint8_t>> fragments, bool delimited) {
    DicomBuilder b(Syntax::explicitLittle);
    b.transferSyntax(uid).us(0x0028, 0x0010, rows).us(0x0028, 0x0011, columns).us(0x0028, 0x0100, bits);
    return b.encapsulated(std::move(fragments), delimited).build();
}

}  // namespace vs::testing
