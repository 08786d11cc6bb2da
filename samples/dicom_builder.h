// Builds synthetic DICOM files in memory, for tests, the sample generator, benchmarks and
// fuzz seeds. The encodings follow DICOM PS3.5 (data elements, transfer syntaxes, RLE in
// Annex G, encapsulation in A.4) and PS3.10 (the file meta information).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vs::testing {

using Bytes = std::vector<uint8_t>;

enum class Syntax { implicitLittle, explicitLittle, explicitBig };

inline constexpr const char* uidImplicitLittle = "1.2.840.10008.1.2";
inline constexpr const char* uidExplicitLittle = "1.2.840.10008.1.2.1";
inline constexpr const char* uidExplicitBig = "1.2.840.10008.1.2.2";
inline constexpr const char* uidRle = "1.2.840.10008.1.2.5";
inline constexpr const char* uidJpegBaseline = "1.2.840.10008.1.2.4.50";
inline constexpr const char* uidJpegLossless = "1.2.840.10008.1.2.4.57";
inline constexpr const char* uidJpegLosslessSv1 = "1.2.840.10008.1.2.4.70";
inline constexpr const char* uidDeflated = "1.2.840.10008.1.2.1.99";

// Writes elements in the order they are added, so tests can also build out-of-order,
// duplicated or damaged files. No element is added implicitly except the meta header.
class DicomBuilder {
public:
    // withMeta: 128-byte preamble + "DICM" + group 0002 meta header (always explicit VR
    // little endian) carrying the transfer syntax UID. Without it: the bare data set
    // (ACR-NEMA style).
    explicit DicomBuilder(Syntax syntax, bool withMeta = true);

    // Default follows the syntax; set to uidRle etc. for encapsulated data (the data set
    // itself stays in the builder's syntax).
    DicomBuilder& transferSyntax(std::string uid);

    // Pads to even length with a space (UI: NUL).
    DicomBuilder& text(uint16_t group, uint16_t element, std::string vr, std::string value);
    DicomBuilder& us(uint16_t group, uint16_t element, uint16_t value);
    // Value bytes as given (no padding, no byte swapping).
    DicomBuilder& raw(uint16_t group, uint16_t element, std::string vr, std::vector<uint8_t> value);
    // Arbitrary bytes appended at this point (for damaged files).
    DicomBuilder& bytes(std::vector<uint8_t> b);
    // Native (7FE0,0010). The value is given little endian (as pixels are laid out in
    // memory); for explicit big endian OW words are swapped. declaredLength overrides the
    // length field (to claim more or less than is there).
    DicomBuilder& pixelData(std::vector<uint8_t> value, std::string vr = "OW",
                            std::optional<uint32_t> declaredLength = {});
    // (7FE0,0010) OB undefined length: basic offset table item, one item per fragment
    // (odd fragments padded to even length), then the sequence delimiter if asked for.
    DicomBuilder& encapsulated(std::vector<std::vector<uint8_t>> fragments, bool endWithDelimiter = true,
                               std::vector<uint8_t> offsetTable = {});

    std::vector<uint8_t> build() const;

private:
    void tag(uint16_t group, uint16_t element);
    void header(uint16_t group, uint16_t element, const std::string& vr, uint32_t length);
    void put16(uint16_t v);
    void put32(uint32_t v);

    Syntax syntax_;
    bool withMeta_;
    std::string transferSyntax_;
    std::vector<uint8_t> body_;
};

// A whole greyscale image in one call, with the usual elements in tag order.
struct ImageRecipe {
    Syntax syntax = Syntax::explicitLittle;
    bool withMeta = true;
    uint16_t rows = 4, columns = 4, bitsAllocated = 16;
    uint16_t bitsStored = 0;  // 0: same as bitsAllocated; high bit is bitsStored - 1
    uint32_t frames = 1;
    std::string photometric = "MONOCHROME2";
    int pixelRepresentation = 1;  // -1: element left out
    enum class Encoding { native, rle, jpegBaseline, jpegLossless } encoding = Encoding::native;
    // Lossless JPEG of Bits Stored precision: selection value 1 with no point transform is
    // 1.2.840.10008.1.2.4.70, anything else .57.
    int losslessPredictor = 1;
    int pointTransform = 0;
    unsigned restartInterval = 0;
    // frames*rows*columns stored values; empty: gradientSamples(). Native 8/12/16-bit values are
    // packed by packSamples; baseline JPEG clamps them to 0..255. Multi-frame RLE and JPEG get a
    // filled basic offset table, single frames an empty one.
    // Every member has an initializer, so that designated initializers may leave any out.
    std::vector<int32_t> samples{};
    std::optional<double> rescaleIntercept{}, rescaleSlope{};
    std::string windowCenter{}, windowWidth{};  // DS texts, empty: left out
    // Empty: left out.
    std::string patientName{}, patientId{}, birthDate{}, studyDate{}, studyTime{}, studyDescription{},
        protocolName{}, instanceNumber{}, pixelSpacing{}, sliceThickness{}, spacingBetweenSlices{}, sliceLocation{},
        modality{};
    bool writeNumberOfFrames = true;  // (0028,0008) when frames > 1
};

std::vector<uint8_t> makeImage(const ImageRecipe& recipe);

// Rows, columns and bits allocated in an explicit little-endian data set, then pixel data
// encapsulated as fragments under the transfer syntax uid (for hand-made RLE or JPEG frames).
std::vector<uint8_t> encapsulatedImage(const char* uid, uint16_t rows, uint16_t columns, uint16_t bits,
                                       std::vector<std::vector<uint8_t>> fragments, bool delimited = true);

// The samples makeImage writes when ImageRecipe::samples is empty: a diagonal gradient, shifted
// by one step per frame, over the stored range of the bit depth (signed only above 12 bits
// with pixel representation 1, as the reader takes it; 0..255 for JPEG).
std::vector<int32_t> gradientSamples(const ImageRecipe& recipe);

// DICOM RLE (PS3.5 Annex G) of one frame: 64-byte header, one segment per byte plane, most
// significant first, PackBits runs. bitsAllocated 8 or 16.
std::vector<uint8_t> encodeRleFrame(const std::vector<int32_t>& samples, uint16_t rows, uint16_t columns,
                                    uint16_t bitsAllocated);
// Baseline greyscale JPEG through TurboJPEG.
std::vector<uint8_t> encodeJpegGrey(const std::vector<uint8_t>& pixels, uint16_t rows, uint16_t columns,
                                    int quality = 90);
// A JPEG stream whose baseline frame header (SOF0) is relabelled lossless (SOF3, process 14),
// as a decoder reading its markers sees a lossless stream.
std::vector<uint8_t> relabelAsLossless(std::vector<uint8_t> jpeg);
// A file built with its meta (explicit VR little endian data set) as deflated explicit VR
// little endian: the data set after the meta group deflated (raw deflate, zlib), the meta
// group naming the deflated transfer syntax.
std::vector<uint8_t> deflateDataSet(const std::vector<uint8_t>& file);
// Lossless JPEG (process 14) through the IJG codec GDCM ships: the low bits bits of each sample
// (2 to 16) in a stream of 8, 12 or 16 bits of precision (the least that holds them),
// predictor (selection value) 1 to 7, point transform, and a restart marker every
// restartInterval MCUs (0: none).
std::vector<uint8_t> encodeJpegLossless(const std::vector<int32_t>& samples, uint16_t rows, uint16_t columns, int bits,
                                        int predictor = 1, int pointTransform = 0, unsigned restartInterval = 0);

}  // namespace vs::testing
