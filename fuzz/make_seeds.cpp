// fuzz_make_seeds OUTDIR: writes the starting corpora of the harnesses, made with the test
// DICOM builder, into OUTDIR/load, OUTDIR/load_all, OUTDIR/element_search and OUTDIR/rle.
// load_all starts from the files of load, and from lossless JPEG (every build's precision,
// predictors, point transform, restart intervals, several frames), a baseline stream in a
// lossless file and deflated files; fuzz/run adds JPEG-LS and JPEG 2000 from Debian's encoders.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dicom/element_search.h"
#include "samples/dicom_builder.h"

namespace fs = std::filesystem;
using namespace vs::testing;

namespace {

void save(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<ImageRecipe> seedImages() {
    std::vector<ImageRecipe> images;
    for (Syntax syntax : {Syntax::implicitLittle, Syntax::explicitLittle, Syntax::explicitBig}) {
        for (uint16_t bits : {8, 12, 16}) {
            ImageRecipe s;
            s.syntax = syntax;
            s.rows = 7;
            s.columns = 5;
            s.bitsAllocated = bits;
            s.frames = bits == 8 ? 3 : 1;
            s.pixelRepresentation = bits == 16 ? 1 : 0;
            s.rescaleIntercept = -1024;
            s.rescaleSlope = 1;
            s.windowCenter = "40";
            s.windowWidth = "400";
            s.patientName = "FUZZ^SEED";
            s.studyDate = "20240101";
            s.pixelSpacing = "0.5\\0.5";
            s.sliceThickness = "1.25";
            images.push_back(s);
        }
    }
    ImageRecipe noMeta;
    noMeta.syntax = Syntax::implicitLittle;
    noMeta.withMeta = false;
    noMeta.rows = 6;
    noMeta.columns = 6;
    noMeta.photometric = "MONOCHROME1";
    images.push_back(noMeta);
    for (uint16_t bits : {8, 16}) {
        for (uint32_t frames : {1u, 3u}) {
            ImageRecipe s;
            s.rows = 9;
            s.columns = 11;
            s.bitsAllocated = bits;
            s.frames = frames;
            s.encoding = ImageRecipe::Encoding::rle;
            images.push_back(s);
        }
    }
    for (uint32_t frames : {1u, 2u}) {
        ImageRecipe s;
        s.rows = 16;
        s.columns = 16;
        s.bitsAllocated = 8;
        s.pixelRepresentation = 0;
        s.frames = frames;
        s.encoding = ImageRecipe::Encoding::jpegBaseline;
        images.push_back(s);
    }
    return images;
}

// Files only every compression reads.
std::vector<std::vector<uint8_t>> everyCompressionSeeds() {
    std::vector<std::vector<uint8_t>> files;
    const struct {
        uint16_t allocated, stored;
        int representation, predictor, pointTransform;
        unsigned restart;
        uint32_t frames;
    } lossless[] = {{8, 8, 0, 1, 0, 0, 1}, {16, 12, 1, 4, 0, 5, 2}, {16, 16, 1, 7, 1, 10, 1}, {16, 10, 0, 2, 0, 0, 3}};
    for (const auto& l : lossless) {
        ImageRecipe s{.rows = 6, .columns = 5, .bitsAllocated = l.allocated, .bitsStored = l.stored, .frames = l.frames,
                      .pixelRepresentation = l.representation, .encoding = ImageRecipe::Encoding::jpegLossless};
        s.losslessPredictor = l.predictor;
        s.pointTransform = l.pointTransform;
        s.restartInterval = l.restart;
        files.push_back(makeImage(s));
    }
    const std::vector<uint8_t> baseline = encodeJpegGrey(std::vector<uint8_t>(64, 90), 8, 8);
    files.push_back(encapsulatedImage(uidJpegLosslessSv1, 8, 8, 8, {baseline}));
    files.push_back(encapsulatedImage(uidJpegBaseline, 8, 8, 16, {baseline, baseline}));
    files.push_back(deflateDataSet(makeImage({.rows = 7, .columns = 5, .bitsAllocated = 16, .frames = 2})));
    files.push_back(deflateDataSet(makeImage({.rows = 9, .columns = 3, .bitsAllocated = 8, .pixelRepresentation = 0})));
    return files;
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// The 13 parameter bytes of the element search harness, then the block.
std::vector<uint8_t> searchCase(uint32_t tag, uint32_t vr, uint16_t mostBytes, bool bigEndian,
                                const std::vector<uint8_t>& block) {
    std::vector<uint8_t> out;
    put32(out, tag);
    put16(out, vr);
    put16(out, mostBytes);
    out.push_back(bigEndian ? 1 : 0);
    put32(out, uint32_t(block.size()));
    out.insert(out.end(), block.begin(), block.end());
    return out;
}

// The 12 parameter bytes of the RLE harness, then the frame.
std::vector<uint8_t> rleCase(uint16_t rows, uint16_t columns, bool sixteen, const std::vector<uint8_t>& frame) {
    std::vector<uint8_t> out;
    put16(out, rows - 1u);
    put16(out, columns - 1u);
    out.push_back(sixteen ? 3 : 0);
    put16(out, 0);          // window low
    put16(out, sixteen ? 4000 : 255);
    put16(out, 0);          // frame start
    out.push_back(0);
    out.insert(out.end(), frame.begin(), frame.end());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds OUTDIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    for (const char* name : {"load", "load_all", "element_search", "rle"}) fs::create_directories(root / name);

    int n = 0;
    std::vector<std::vector<uint8_t>> files;
    for (const ImageRecipe& image : seedImages()) {
        files.push_back(makeImage(image));
        const std::string name = "builder_" + std::to_string(n++) + ".dcm";
        save(root / "load" / name, files.back());
        save(root / "load_all" / name, files.back());
    }
    for (const std::vector<uint8_t>& file : everyCompressionSeeds())
        save(root / "load_all" / ("builder_" + std::to_string(n++) + ".dcm"), file);

    const struct {
        uint16_t group, element;
        const char* vr;
        uint16_t mostBytes;
    } searches[] = {{0x0028, 0x0010, "US", 2}, {0x0010, 0x0010, "PN", 256}, {0x0008, 0x0020, "DA", 10},
                    {0x0028, 0x0030, "DS", 256}, {0x0002, 0x0010, "UI", 64}, {0x0028, 0x1050, "DS", 16}};
    n = 0;
    for (size_t f = 0; f < files.size(); f += 3) {
        const bool big = f / 3 == 2;  // the third syntax group is big endian
        for (const auto& s : searches) {
            std::vector<uint8_t> block(files[f].begin(), files[f].begin() + std::min<size_t>(files[f].size(), 600));
            const char vr[3] = {s.vr[0], s.vr[1], 0};
            save(root / "element_search" / ("seed_" + std::to_string(n++)),
                 searchCase(vs::tagOf(s.group, s.element), vs::vrOf(vr), s.mostBytes, big, block));
        }
    }

    n = 0;
    for (uint16_t bits : {8, 16}) {
        for (uint16_t side : {1, 3, 17, 64}) {
            ImageRecipe image;
            image.rows = side;
            image.columns = uint16_t(side + 2);
            image.bitsAllocated = bits;
            image.pixelRepresentation = 0;
            const std::vector<int32_t> samples = gradientSamples(image);
            save(root / "rle" / ("seed_" + std::to_string(n++)),
                 rleCase(image.rows, image.columns, bits == 16, encodeRleFrame(samples, image.rows, image.columns, bits)));
        }
    }
    return 0;
}
