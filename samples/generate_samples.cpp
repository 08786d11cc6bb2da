// vireoscan-samples: writes the bundled sample images, and with --bench the larger data the
// benchmarks read. Everything comes from the phantoms and the test DICOM builder, so no
// patient data is involved and every build makes the same bytes.
//
//   vireoscan-samples OUTDIR          the bundled samples
//   vireoscan-samples --bench OUTDIR  benchmark data (about 320 MB)

#include "samples/phantoms.h"
#include "samples/dicom_builder.h"

// GCC 12 at -O3 reports a false -Wrestrict inside std::string's assignment of short literals
// (GCC bug 105329); the many text fields set here trigger it.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

#include <array>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using vs::samples::toSamples;
using vs::testing::ImageRecipe;
using vs::testing::Syntax;

using Encoding = ImageRecipe::Encoding;

void write(const fs::path& path, const ImageRecipe& recipe) {
    const auto bytes = vs::testing::makeImage(recipe);
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
        throw std::runtime_error("cannot write " + path.string());
}

void append(std::vector<int32_t>& to, const std::vector<int32_t>& from) { to.insert(to.end(), from.begin(), from.end()); }

// CT slices store HU + 1024 as signed words, so the field-of-view border (-2000 HU) is negative.
ImageRecipe ctSlice(int size, double z, uint32_t seed) {
    ImageRecipe s;
    s.syntax = Syntax::explicitLittle;
    s.rows = s.columns = static_cast<uint16_t>(size);
    s.bitsAllocated = 16;
    s.pixelRepresentation = 1;
    s.samples = toSamples(vs::samples::ctChest(size, z, seed), 1024.0, -32768, 32767);
    s.rescaleIntercept = -1024.0;
    s.rescaleSlope = 1.0;
    s.windowCenter = "40";
    s.windowWidth = "400";
    s.modality = "CT";
    s.patientName = "PHANTOM^CHEST";
    s.patientId = "VS-0001";
    s.birthDate = "19600101";
    s.studyDate = "20240312";
    s.studyTime = "101530.250000";
    s.studyDescription = "CT THORAX W/O CONTRAST";
    s.protocolName = "CHEST 5MM";
    s.pixelSpacing = "0.703125\\0.703125";
    s.sliceThickness = "5";
    return s;
}

void writeDefault(const fs::path& dir) {
    fs::create_directories(dir / "mr_series");

    {
        ImageRecipe s = ctSlice(512, 0.5, 11);
        s.instanceNumber = "42";
        s.sliceLocation = "-120.5";
        write(dir / "ct_slice.dcm", s);
    }

    // An MR head series whose file names sort in another order than the slices do.
    const std::array<const char*, 8> names = {"head_axial_a.dcm", "head_axial_b.dcm", "head_axial_c.dcm",
                                              "head_axial_d.dcm", "head_axial_e.dcm", "head_axial_f.dcm",
                                              "head_axial_g.dcm", "head_axial_h.dcm"};
    const std::array<int, 8> instances = {3, 7, 1, 8, 5, 2, 6, 4};
    for (size_t i = 0; i < names.size(); ++i) {
        const int n = instances[i];
        ImageRecipe s;
        s.syntax = Syntax::implicitLittle;
        s.rows = s.columns = 256;
        s.bitsAllocated = 16;
        s.bitsStored = 12;
        s.pixelRepresentation = 0;
        s.samples = toSamples(vs::samples::mrHead(256, 0.1 + 0.1 * (n - 1), 100 + n), 0.0, 0, 4095);
        s.windowCenter = "600";
        s.windowWidth = "1200";
        s.modality = "MR";
        s.patientName = "PHANTOM^HEAD";
        s.patientId = "VS-0002";
        s.birthDate = "19751124";
        s.studyDate = "20240405";
        s.studyTime = "083000";
        s.studyDescription = "MRI BRAIN";
        s.protocolName = "T1 AX SE";
        s.instanceNumber = std::to_string(n);
        s.pixelSpacing = "0.9375\\0.9375";
        s.sliceThickness = "5";
        s.spacingBetweenSlices = "6";
        s.sliceLocation = std::to_string(-30 + 6 * (n - 1));
        write(dir / "mr_series" / names[i], s);
    }

    {
        ImageRecipe s;
        s.rows = s.columns = 256;
        s.bitsAllocated = 8;
        s.pixelRepresentation = 0;
        s.frames = 24;
        s.encoding = Encoding::rle;
        for (uint32_t f = 0; f < s.frames; ++f)
            append(s.samples, toSamples(vs::samples::beatingHeart(256, f / 24.0, 300 + f), 0.0, 0, 255));
        s.modality = "XA";
        s.patientName = "PHANTOM^CARDIAC";
        s.patientId = "VS-0003";
        s.studyDate = "20240517";
        s.studyTime = "141210";
        s.studyDescription = "LV ANGIOGRAPHY";
        s.pixelSpacing = "0.3\\0.3";
        write(dir / "rle_cine.dcm", s);
    }
    {
        ImageRecipe s;
        s.rows = s.columns = 256;
        s.bitsAllocated = 16;
        s.pixelRepresentation = 1;
        s.frames = 10;
        s.encoding = Encoding::rle;
        for (uint32_t f = 0; f < s.frames; ++f)
            append(s.samples, toSamples(vs::samples::perfusion(256, f / 9.0, 400 + f), 0.0, -32768, 32767));
        s.rescaleIntercept = 0.0;
        s.rescaleSlope = 1.0;
        s.windowCenter = "60";
        s.windowWidth = "200";
        s.modality = "CT";
        s.patientName = "PHANTOM^PERFUSION";
        s.patientId = "VS-0004";
        s.studyDate = "20240602";
        s.studyTime = "093015";
        s.studyDescription = "CT BRAIN PERFUSION";
        s.pixelSpacing = "0.8\\0.8";
        s.sliceThickness = "10";
        write(dir / "rle16_cine.dcm", s);
    }
    {
        ImageRecipe s;
        s.rows = s.columns = 256;
        s.bitsAllocated = 8;
        s.pixelRepresentation = 0;
        s.frames = 12;
        s.encoding = Encoding::jpegBaseline;
        for (uint32_t f = 0; f < s.frames; ++f)
            append(s.samples, toSamples(vs::samples::ultrasound(256, f / 12.0, 500 + f), 0.0, 0, 255));
        s.modality = "US";
        s.patientName = "PHANTOM^ECHO";
        s.patientId = "VS-0005";
        s.studyDate = "20240611";
        s.studyTime = "110005";
        s.studyDescription = "ECHOCARDIOGRAPHY";
        write(dir / "jpeg_cine.dcm", s);
    }
    {
        // Radiographs store exposure: MONOCHROME1 shows the highest value as black.
        ImageRecipe s;
        s.syntax = Syntax::explicitBig;
        s.rows = 640;
        s.columns = 512;
        s.bitsAllocated = 16;
        s.bitsStored = 12;
        s.pixelRepresentation = 0;
        s.photometric = "MONOCHROME1";
        s.samples = toSamples(vs::samples::xrayChest(512, 640, 600), 0.0, 0, 4095);
        s.windowCenter = "2600";
        s.windowWidth = "3200";
        s.modality = "CR";
        s.patientName = "PHANTOM^XRAY";
        s.patientId = "VS-0006";
        s.studyDate = "20230930";
        s.studyTime = "161500";
        s.studyDescription = "CHEST PA";
        s.pixelSpacing = "0.7\\0.7";
        write(dir / "xray_mono1.dcm", s);
    }
    {
        // An old-style file: bare implicit data set, 12-bit samples packed two in three bytes.
        ImageRecipe s;
        s.syntax = Syntax::implicitLittle;
        s.withMeta = false;
        s.rows = 320;
        s.columns = 256;
        s.bitsAllocated = 12;
        s.pixelRepresentation = 0;
        auto picture = vs::samples::xrayChest(256, 320, 700);
        for (float& v : picture.value) v = 4095.0f - v;
        s.samples = toSamples(picture, 0.0, 0, 4095);
        s.modality = "CR";
        s.patientName = "PHANTOM^ACRNEMA";
        s.patientId = "VS-0007";
        s.studyDate = "19940301";
        s.studyTime = "0930";
        s.studyDescription = "CHEST PA";
        s.pixelSpacing = "1.4\\1.4";
        write(dir / "xray_acrnema12.dcm", s);
    }
}

void writeBench(const fs::path& dir) {
    fs::create_directories(dir / "ct");
    constexpr int slices = 500;
    for (int i = 0; i < slices; ++i) {
        ImageRecipe s = ctSlice(512, double(i) / (slices - 1), 1000 + i);
        s.instanceNumber = std::to_string(i + 1);
        s.sliceLocation = std::to_string(-250.0 + i * 1.0);
        s.sliceThickness = "1";
        char name[32];
        std::snprintf(name, sizeof name, "slice_%03d.dcm", i);
        write(dir / "ct" / name, s);
    }
    {
        ImageRecipe s;
        s.rows = s.columns = 4096;
        s.bitsAllocated = 16;
        s.pixelRepresentation = 0;
        s.samples = toSamples(vs::samples::xrayChest(4096, 4096, 2000), 0.0, 0, 4095);
        for (int32_t& v : s.samples) v *= 16;
        s.modality = "DX";
        s.patientName = "PHANTOM^LARGE";
        s.pixelSpacing = "0.1\\0.1";
        write(dir / "large_4096.dcm", s);
    }
    {
        ImageRecipe s;
        s.rows = s.columns = 512;
        s.bitsAllocated = 8;
        s.pixelRepresentation = 0;
        s.frames = 100;
        s.encoding = Encoding::rle;
        for (uint32_t f = 0; f < s.frames; ++f)
            append(s.samples, toSamples(vs::samples::beatingHeart(512, f / 25.0, 3000 + f), 0.0, 0, 255));
        s.modality = "XA";
        write(dir / "rle8_cine_100.dcm", s);
    }
    {
        // A 16-bit perfusion cine in RLE, and the same in lossless JPEG (read with every
        // compression).
        ImageRecipe s;
        s.rows = s.columns = 512;
        s.bitsAllocated = 16;
        s.pixelRepresentation = 1;
        s.frames = 50;
        s.encoding = Encoding::rle;
        for (uint32_t f = 0; f < s.frames; ++f)
            append(s.samples, toSamples(vs::samples::perfusion(512, f / 49.0, 4000 + f), 0.0, -32768, 32767));
        s.rescaleIntercept = 0.0;
        s.rescaleSlope = 1.0;
        s.windowCenter = "60";
        s.windowWidth = "200";
        s.modality = "CT";
        write(dir / "rle16_cine_50.dcm", s);
        s.encoding = Encoding::jpegLossless;
        write(dir / "lossless_cine_50.dcm", s);
    }
    {
        ImageRecipe s;
        s.rows = s.columns = 512;
        s.bitsAllocated = 8;
        s.pixelRepresentation = 0;
        s.frames = 50;
        s.encoding = Encoding::jpegBaseline;
        for (uint32_t f = 0; f < s.frames; ++f)
            append(s.samples, toSamples(vs::samples::ultrasound(512, f / 25.0, 5000 + f), 0.0, 0, 255));
        s.modality = "US";
        write(dir / "jpeg_cine_50.dcm", s);
    }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 2 && argv[1][0] != '-') {
            writeDefault(argv[1]);
            return 0;
        }
        if (argc == 3 && std::string(argv[1]) == "--bench") {
            writeBench(argv[2]);
            return 0;
        }
        std::fprintf(stderr, "usage: vireoscan-samples OUTDIR\n       vireoscan-samples --bench OUTDIR\n");
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vireoscan-samples: %s\n", e.what());
        return 1;
    }
}
