#include "tests/support/dicom_builder.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace vs::testing {

namespace {

constexpr uint32_t undefinedLength = 0xFFFFFFFFu;

// Explicit VRs whose element header has two reserved bytes and a 32-bit length (PS3.5 7.1.2).
bool hasLongLength(const std::string& vr) {
    return vr == "OB" || vr == "OW" || vr == "OF" || vr == "OD" || vr == "OL" || vr == "SQ" || vr == "UT" ||
           vr == "UN" || vr == "UC" || vr == "UR" || vr == "OV";
}

void appendLe16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void appendLe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// The file meta information (PS3.10 7.1) is always explicit VR little endian.
std::vector<uint8_t> metaHeader(const std::string& transferSyntax) {
    auto element = [](std::vector<uint8_t>& out, uint16_t element, const char* vr, std::vector<uint8_t> value) {
        appendLe16(out, 0x0002);
        appendLe16(out, element);
        out.push_back(static_cast<uint8_t>(vr[0]));
        out.push_back(static_cast<uint8_t>(vr[1]));
        if (hasLongLength(vr)) {
            appendLe16(out, 0);
            appendLe32(out, static_cast<uint32_t>(value.size()));
        } else {
            appendLe16(out, static_cast<uint16_t>(value.size()));
        }
        out.insert(out.end(), value.begin(), value.end());
    };
    auto uid = [](std::string s) {
        if (s.size() % 2) s.push_back('\0');
        return std::vector<uint8_t>(s.begin(), s.end());
    };
    std::vector<uint8_t> group;
    element(group, 0x0001, "OB", {0x00, 0x01});
    element(group, 0x0002, "UI", uid("1.2.840.10008.5.1.4.1.1.7"));
    element(group, 0x0003, "UI", uid("1.2.826.0.1.3680043.9.7433.1.1"));
    element(group, 0x0010, "UI", uid(transferSyntax));
    element(group, 0x0012, "UI", uid("1.2.826.0.1.3680043.9.7433.0.12"));
    element(group, 0x0013, "SH", uid("VIREOSCAN_TEST"));

    std::vector<uint8_t> out(128, 0);
    for (char c : std::string("DICM")) out.push_back(static_cast<uint8_t>(c));
    std::vector<uint8_t> length;
    appendLe32(length, static_cast<uint32_t>(group.size()));
    element(out, 0x0000, "UL", length);
    out.insert(out.end(), group.begin(), group.end());
    return out;
}

std::string defaultSyntaxUid(Syntax syntax) {
    switch (syntax) {
        case Syntax::implicitLittle: return uidImplicitLittle;
        case Syntax::explicitLittle: return uidExplicitLittle;
        case Syntax::explicitBig: return uidExplicitBig;
    }
    return uidExplicitLittle;
}

std::string formatDs(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

}  // namespace

DicomBuilder::DicomBuilder(Syntax syntax, bool withMeta)
    : syntax_(syntax), withMeta_(withMeta), transferSyntax_(defaultSyntaxUid(syntax)) {}

DicomBuilder& DicomBuilder::transferSyntax(std::string uid) {
    transferSyntax_ = std::move(uid);
    return *this;
}

void DicomBuilder::put16(uint16_t v) {
    if (syntax_ == Syntax::explicitBig) {
        body_.push_back(static_cast<uint8_t>(v >> 8));
        body_.push_back(static_cast<uint8_t>(v));
    } else {
        appendLe16(body_, v);
    }
}

void DicomBuilder::put32(uint32_t v) {
    if (syntax_ == Syntax::explicitBig) {
        for (int shift = 24; shift >= 0; shift -= 8) body_.push_back(static_cast<uint8_t>(v >> shift));
    } else {
        appendLe32(body_, v);
    }
}

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
    body_.push_back(static_cast<uint8_t>(vr[0]));
    body_.push_back(static_cast<uint8_t>(vr[1]));
    if (hasLongLength(vr)) {
        put16(0);
        put32(length);
    } else {
        put16(static_cast<uint16_t>(length));
    }
}

DicomBuilder& DicomBuilder::text(uint16_t group, uint16_t element, std::string vr, std::string value) {
    if (value.size() % 2) value.push_back(vr == "UI" ? '\0' : ' ');
    header(group, element, vr, static_cast<uint32_t>(value.size()));
    body_.insert(body_.end(), value.begin(), value.end());
    return *this;
}

DicomBuilder& DicomBuilder::us(uint16_t group, uint16_t element, uint16_t value) {
    header(group, element, "US", 2);
    put16(value);
    return *this;
}

DicomBuilder& DicomBuilder::raw(uint16_t group, uint16_t element, std::string vr, std::vector<uint8_t> value) {
    header(group, element, vr, static_cast<uint32_t>(value.size()));
    body_.insert(body_.end(), value.begin(), value.end());
    return *this;
}

DicomBuilder& DicomBuilder::bytes(std::vector<uint8_t> b) {
    body_.insert(body_.end(), b.begin(), b.end());
    return *this;
}

DicomBuilder& DicomBuilder::pixelData(std::vector<uint8_t> value, std::string vr,
                                      std::optional<uint32_t> declaredLength) {
    header(0x7FE0, 0x0010, vr, declaredLength.value_or(static_cast<uint32_t>(value.size())));
    // OW is a stream of 16-bit words and so follows the data set's byte order.
    if (syntax_ == Syntax::explicitBig && vr == "OW") {
        for (size_t i = 0; i + 1 < value.size(); i += 2) std::swap(value[i], value[i + 1]);
    }
    body_.insert(body_.end(), value.begin(), value.end());
    return *this;
}

DicomBuilder& DicomBuilder::encapsulated(std::vector<std::vector<uint8_t>> fragments, bool endWithDelimiter,
                                         std::vector<uint8_t> offsetTable) {
    // PS3.5 A.4: OB of undefined length, a sequence of items, the first being the basic offset table.
    header(0x7FE0, 0x0010, "OB", undefinedLength);
    tag(0xFFFE, 0xE000);
    put32(static_cast<uint32_t>(offsetTable.size()));
    body_.insert(body_.end(), offsetTable.begin(), offsetTable.end());
    for (auto& fragment : fragments) {
        if (fragment.size() % 2) fragment.push_back(0);
        tag(0xFFFE, 0xE000);
        put32(static_cast<uint32_t>(fragment.size()));
        body_.insert(body_.end(), fragment.begin(), fragment.end());
    }
    if (endWithDelimiter) {
        tag(0xFFFE, 0xE0DD);
        put32(0);
    }
    return *this;
}

std::vector<uint8_t> DicomBuilder::build() const {
    std::vector<uint8_t> out;
    if (withMeta_) out = metaHeader(transferSyntax_);
    out.insert(out.end(), body_.begin(), body_.end());
    return out;
}

void DicomBuilder::writeTo(const std::string& path) const {
    const auto data = build();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!file) throw std::runtime_error("cannot write " + path);
}

std::vector<int32_t> gradientSamples(const ImageSpec& spec) {
    int64_t low = 0;
    int64_t high = spec.bitsAllocated >= 31 ? INT32_MAX : (int64_t{1} << spec.bitsAllocated) - 1;
    if (spec.pixelRepresentation == 1 && spec.bitsAllocated > 12 && spec.encoding != ImageSpec::Encoding::jpegBaseline) {
        low = -(int64_t{1} << (spec.bitsAllocated - 1));
        high = (int64_t{1} << (spec.bitsAllocated - 1)) - 1;
    }
    if (spec.encoding == ImageSpec::Encoding::jpegBaseline) high = std::min<int64_t>(high, 255);
    const int64_t steps = std::max<int64_t>(int64_t{spec.rows} + spec.columns - 2, 1);
    std::vector<int32_t> samples;
    samples.reserve(size_t{spec.frames} * spec.rows * spec.columns);
    for (uint32_t f = 0; f < spec.frames; ++f) {
        for (uint32_t y = 0; y < spec.rows; ++y) {
            for (uint32_t x = 0; x < spec.columns; ++x) {
                const int64_t position = (x + y + f) % (steps + 1);
                samples.push_back(static_cast<int32_t>(low + (high - low) * position / steps));
            }
        }
    }
    return samples;
}

std::vector<uint8_t> packSamples(const std::vector<int32_t>& samples, uint16_t bitsAllocated) {
    std::vector<uint8_t> out;
    switch (bitsAllocated) {
        case 8:
            out.reserve(samples.size());
            for (int32_t v : samples) out.push_back(static_cast<uint8_t>(v));
            break;
        case 12:
            // Two samples in three bytes, read as little-endian 12-bit fields.
            out.reserve(samples.size() * 3 / 2 + 2);
            for (size_t i = 0; i < samples.size(); i += 2) {
                const uint32_t a = static_cast<uint32_t>(samples[i]) & 0xFFF;
                const uint32_t b = i + 1 < samples.size() ? static_cast<uint32_t>(samples[i + 1]) & 0xFFF : 0;
                out.push_back(static_cast<uint8_t>(a));
                out.push_back(static_cast<uint8_t>((a >> 8) | (b << 4)));
                if (i + 1 < samples.size()) out.push_back(static_cast<uint8_t>(b >> 4));
            }
            break;
        case 16:
            out.reserve(samples.size() * 2);
            for (int32_t v : samples) appendLe16(out, static_cast<uint16_t>(v));
            break;
        case 32:
            out.reserve(samples.size() * 4);
            for (int32_t v : samples) appendLe32(out, static_cast<uint32_t>(v));
            break;
        default:
            throw std::invalid_argument("packSamples: unsupported bits allocated " + std::to_string(bitsAllocated));
    }
    return out;
}

namespace {

// PackBits as DICOM RLE uses it (PS3.5 G.3.1): control n in 0..127 copies n + 1 literal bytes,
// 257 - n in 129..255 repeats the next byte n times (2..128); 128 is never written.
std::vector<uint8_t> packBits(const std::vector<uint8_t>& in) {
    std::vector<uint8_t> out;
    size_t i = 0;
    const size_t n = in.size();
    auto runAt = [&](size_t at) {
        size_t length = 1;
        while (at + length < n && length < 128 && in[at + length] == in[at]) ++length;
        return length;
    };
    while (i < n) {
        const size_t run = runAt(i);
        if (run >= 2) {
            out.push_back(static_cast<uint8_t>(257 - run));
            out.push_back(in[i]);
            i += run;
            continue;
        }
        size_t start = i;
        size_t length = 0;
        while (i < n && length < 128) {
            if (i + 2 < n && in[i] == in[i + 1] && in[i] == in[i + 2]) break;
            ++i;
            ++length;
        }
        out.push_back(static_cast<uint8_t>(length - 1));
        out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(start),
                   in.begin() + static_cast<std::ptrdiff_t>(start + length));
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
    const int planes = bitsAllocated / 8;
    std::vector<std::vector<uint8_t>> segments;
    for (int plane = planes - 1; plane >= 0; --plane) {  // most significant byte first (G.2)
        std::vector<uint8_t> bytes(count);
        for (size_t i = 0; i < count; ++i)
            bytes[i] = static_cast<uint8_t>(static_cast<uint32_t>(samples[i]) >> (8 * plane));
        segments.push_back(packBits(bytes));
    }
    std::vector<uint8_t> frame;
    appendLe32(frame, static_cast<uint32_t>(segments.size()));
    uint32_t offset = 64;
    for (size_t k = 0; k < 15; ++k) {
        if (k < segments.size()) {
            appendLe32(frame, offset);
            offset += static_cast<uint32_t>(segments[k].size());
        } else {
            appendLe32(frame, 0);
        }
    }
    for (const auto& segment : segments) frame.insert(frame.end(), segment.begin(), segment.end());
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

std::vector<uint8_t> makeImage(const ImageSpec& spec) {
    using Encoding = ImageSpec::Encoding;
    const size_t perFrame = size_t{spec.rows} * spec.columns;
    const uint32_t frames = std::max<uint32_t>(spec.frames, 1);
    std::vector<int32_t> samples = spec.samples.empty() ? gradientSamples(spec) : spec.samples;
    if (samples.size() < perFrame * frames) throw std::invalid_argument("makeImage: too few samples");

    DicomBuilder b(spec.syntax, spec.withMeta);
    if (spec.encoding == Encoding::rle) b.transferSyntax(uidRle);
    if (spec.encoding == Encoding::jpegBaseline) b.transferSyntax(uidJpegBaseline);

    auto optionalText = [&b](uint16_t group, uint16_t element, const char* vr, const std::string& value) {
        if (!value.empty()) b.text(group, element, vr, value);
    };
    b.text(0x0008, 0x0008, "CS", "ORIGINAL\\PRIMARY\\AXIAL");
    b.text(0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7");
    b.text(0x0008, 0x0018, "UI", "1.2.826.0.1.3680043.9.7433.1.1");
    optionalText(0x0008, 0x0020, "DA", spec.studyDate);
    optionalText(0x0008, 0x0030, "TM", spec.studyTime);
    optionalText(0x0008, 0x0060, "CS", spec.modality);
    optionalText(0x0008, 0x1030, "LO", spec.studyDescription);
    optionalText(0x0010, 0x0010, "PN", spec.patientName);
    optionalText(0x0010, 0x0020, "LO", spec.patientId);
    optionalText(0x0010, 0x0030, "DA", spec.birthDate);
    optionalText(0x0018, 0x0050, "DS", spec.sliceThickness);
    optionalText(0x0018, 0x0088, "DS", spec.spacingBetweenSlices);
    optionalText(0x0018, 0x1030, "LO", spec.protocolName);
    optionalText(0x0020, 0x0013, "IS", spec.instanceNumber);
    optionalText(0x0020, 0x1041, "DS", spec.sliceLocation);
    b.us(0x0028, 0x0002, 1);
    b.text(0x0028, 0x0004, "CS", spec.photometric);
    if (frames > 1 && spec.writeNumberOfFrames) b.text(0x0028, 0x0008, "IS", std::to_string(frames));
    b.us(0x0028, 0x0010, spec.rows);
    b.us(0x0028, 0x0011, spec.columns);
    optionalText(0x0028, 0x0030, "DS", spec.pixelSpacing);
    b.us(0x0028, 0x0100, spec.bitsAllocated);
    const uint16_t bitsStored = spec.bitsStored ? spec.bitsStored : spec.bitsAllocated;
    b.us(0x0028, 0x0101, bitsStored);
    b.us(0x0028, 0x0102, static_cast<uint16_t>(bitsStored - 1));
    if (spec.pixelRepresentation >= 0) b.us(0x0028, 0x0103, static_cast<uint16_t>(spec.pixelRepresentation));
    optionalText(0x0028, 0x1050, "DS", spec.windowCenter);
    optionalText(0x0028, 0x1051, "DS", spec.windowWidth);
    if (spec.rescaleIntercept) b.text(0x0028, 0x1052, "DS", formatDs(*spec.rescaleIntercept));
    if (spec.rescaleSlope) b.text(0x0028, 0x1053, "DS", formatDs(*spec.rescaleSlope));

    switch (spec.encoding) {
        case Encoding::native: {
            samples.resize(perFrame * frames);
            auto value = packSamples(samples, spec.bitsAllocated);
            if (value.size() % 2) value.push_back(0);
            b.pixelData(std::move(value), spec.bitsAllocated <= 8 ? "OB" : "OW");
            break;
        }
        case Encoding::rle:
        case Encoding::jpegBaseline: {
            std::vector<std::vector<uint8_t>> fragments;
            std::vector<uint8_t> offsets;
            uint32_t offset = 0;
            for (uint32_t f = 0; f < frames; ++f) {
                const auto first = samples.begin() + static_cast<std::ptrdiff_t>(f * perFrame);
                std::vector<int32_t> frame(first, first + static_cast<std::ptrdiff_t>(perFrame));
                if (spec.encoding == Encoding::rle) {
                    fragments.push_back(encodeRleFrame(frame, spec.rows, spec.columns, spec.bitsAllocated));
                } else {
                    if (spec.bitsAllocated != 8) throw std::invalid_argument("makeImage: baseline JPEG is 8-bit");
                    std::vector<uint8_t> pixels(perFrame);
                    for (size_t i = 0; i < perFrame; ++i) pixels[i] = static_cast<uint8_t>(std::clamp(frame[i], 0, 255));
                    fragments.push_back(encodeJpegGrey(pixels, spec.rows, spec.columns));
                }
                if (fragments.back().size() % 2) fragments.back().push_back(0);
                // The basic offset table holds each frame's item offset from the first fragment item.
                appendLe32(offsets, offset);
                offset += static_cast<uint32_t>(fragments.back().size()) + 8;
            }
            if (spec.syntax == Syntax::explicitBig) {
                for (size_t i = 0; i + 3 < offsets.size(); i += 4) {
                    std::swap(offsets[i], offsets[i + 3]);
                    std::swap(offsets[i + 1], offsets[i + 2]);
                }
            }
            b.encapsulated(std::move(fragments), true, frames > 1 ? offsets : std::vector<uint8_t>{});
            break;
        }
    }
    return b.build();
}

}  // namespace vs::testing
