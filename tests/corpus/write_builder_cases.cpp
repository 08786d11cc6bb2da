// Writes a set of files made by the test DICOM builder, with a manifest of what each should
// contain, so that test_builder_vs_pydicom.py can check the builder against pydicom.
//
//   corpus_builder_cases OUTDIR

#include "tests/support/dicom_builder.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace vs::testing;

std::string uidOf(const ImageSpec& s) {
    switch (s.encoding) {
        case ImageSpec::Encoding::rle: return uidRle;
        case ImageSpec::Encoding::jpegBaseline: return uidJpegBaseline;
        case ImageSpec::Encoding::native: break;
    }
    switch (s.syntax) {
        case Syntax::implicitLittle: return uidImplicitLittle;
        case Syntax::explicitLittle: return uidExplicitLittle;
        case Syntax::explicitBig: return uidExplicitBig;
    }
    return "";
}

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

struct Case {
    std::string name;
    ImageSpec spec;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: corpus_builder_cases OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<Case> cases;

    auto base = [](Syntax syntax, uint16_t rows, uint16_t columns, uint16_t bits) {
        ImageSpec s;
        s.syntax = syntax;
        s.rows = rows;
        s.columns = columns;
        s.bitsAllocated = bits;
        return s;
    };
    {
        ImageSpec s = base(Syntax::explicitLittle, 3, 5, 16);
        s.rescaleIntercept = -1024.0;
        s.rescaleSlope = 0.5;
        s.windowCenter = "40\\50";
        s.windowWidth = "400";
        s.patientName = "Doe^Jane";  // 8 characters: no padding
        s.patientId = "ID1";         // padded with a space
        s.birthDate = "19700101";
        s.studyDate = "20240101";
        s.studyTime = "120000.5";
        s.studyDescription = "STUDY";
        s.protocolName = "PROTO";
        s.instanceNumber = "7";
        s.pixelSpacing = "0.5\\0.25";
        s.sliceThickness = "2.5";
        s.spacingBetweenSlices = "3";
        s.sliceLocation = "-12.5";
        s.modality = "CT";
        cases.push_back({"explicit_little_signed", s});
    }
    cases.push_back({"implicit_little", base(Syntax::implicitLittle, 4, 6, 16)});
    {
        ImageSpec s = base(Syntax::implicitLittle, 4, 4, 16);
        s.withMeta = false;
        s.pixelRepresentation = 0;
        cases.push_back({"implicit_no_meta_unsigned", s});
    }
    {
        ImageSpec s = base(Syntax::explicitBig, 5, 4, 16);
        s.pixelRepresentation = 0;
        s.photometric = "MONOCHROME1";
        s.patientName = "Big^Endian";
        cases.push_back({"explicit_big_unsigned", s});
    }
    {
        ImageSpec s = base(Syntax::explicitBig, 3, 3, 16);
        s.samples = {-32768, -1024, -1, 0, 1, 255, 256, 4095, 32767};
        cases.push_back({"explicit_big_signed", s});
    }
    {
        ImageSpec s = base(Syntax::explicitLittle, 3, 3, 8);
        s.pixelRepresentation = 0;
        s.frames = 3;
        cases.push_back({"native8_odd_multiframe", s});
    }
    {
        ImageSpec s = base(Syntax::explicitLittle, 5, 7, 8);
        s.pixelRepresentation = 0;
        s.frames = 3;
        s.encoding = ImageSpec::Encoding::rle;
        // Runs, literals, and a run longer than 128 bytes across rows.
        for (int f = 0; f < 3; ++f)
            for (int i = 0; i < 35; ++i) s.samples.push_back(i < 20 ? 9 * f : (i * 37 + f) % 256);
        cases.push_back({"rle8_three_frames", s});
    }
    {
        ImageSpec s = base(Syntax::explicitLittle, 16, 16, 8);
        s.pixelRepresentation = 0;
        s.frames = 1;
        s.encoding = ImageSpec::Encoding::rle;
        s.samples.assign(256, 200);  // one byte value for 256 samples: runs of 128
        cases.push_back({"rle8_flat", s});
    }
    {
        ImageSpec s = base(Syntax::implicitLittle, 6, 5, 16);
        s.frames = 2;
        s.encoding = ImageSpec::Encoding::rle;
        cases.push_back({"rle16_signed_two_frames", s});
    }
    {
        ImageSpec s = base(Syntax::explicitLittle, 16, 24, 8);
        s.pixelRepresentation = 0;
        s.frames = 2;
        s.encoding = ImageSpec::Encoding::jpegBaseline;
        for (int f = 0; f < 2; ++f)
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 24; ++x) s.samples.push_back(f * 60 + x * 4 + y * 3);
        cases.push_back({"jpeg_two_frames", s});
    }
    {
        ImageSpec s = base(Syntax::implicitLittle, 3, 5, 12);
        s.withMeta = false;
        s.pixelRepresentation = 0;
        s.samples = {0, 1, 0xABC, 0xFFF, 0x123, 0x800, 7, 0x7FF, 0x456, 0x789, 0xFED, 0x001, 0x100, 0x010, 0xF0F};
        cases.push_back({"packed12_odd_count", s});
    }

    std::ofstream manifest(dir + "/manifest.json");
    manifest << "[\n";
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        const auto bytes = makeImage(c.spec);
        std::ofstream(dir + "/" + c.name + ".dcm", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const auto samples = c.spec.samples.empty() ? gradientSamples(c.spec) : c.spec.samples;
        const auto& s = c.spec;
        manifest << " {\"name\": " << quoted(c.name) << ", \"syntax\": " << quoted(uidOf(s))
                 << ", \"meta\": " << (s.withMeta ? "true" : "false") << ", \"rows\": " << s.rows
                 << ", \"columns\": " << s.columns << ", \"bits\": " << s.bitsAllocated << ", \"frames\": " << s.frames
                 << ", \"pixel_representation\": " << s.pixelRepresentation
                 << ", \"photometric\": " << quoted(s.photometric) << ", \"patient_name\": " << quoted(s.patientName)
                 << ", \"patient_id\": " << quoted(s.patientId) << ", \"pixel_spacing\": " << quoted(s.pixelSpacing)
                 << ", \"window_center\": " << quoted(s.windowCenter)
                 << ", \"rescale\": " << (s.rescaleIntercept ? "true" : "false") << ", \"samples\": [";
        for (size_t k = 0; k < samples.size(); ++k) manifest << (k ? "," : "") << samples[k];
        manifest << "]}" << (i + 1 < cases.size() ? "," : "") << "\n";
    }
    manifest << "]\n";
    return manifest ? 0 : 1;
}
