// Writes files made by the test DICOM builder and a manifest of what each should contain, one
// line per file: name, transfer syntax, meta header (0/1), rows, columns, bits, frames, pixel
// representation, photometric, then the samples. test_builder_vs_pydicom.py reads them back.
//
//   corpus_builder_cases OUTDIR

#include <fstream>
#include <string>

#include "tests/support/dicom_builder.h"

using namespace vs::testing;
using Encoding = ImageRecipe::Encoding;

namespace {

ImageRecipe recipe(Syntax syntax, uint16_t rows, uint16_t columns, uint16_t bits, uint32_t frames = 1,
                 Encoding encoding = Encoding::native, std::vector<int32_t> samples = {}) {
    ImageRecipe s;
    s.syntax = syntax;
    s.rows = rows;
    s.columns = columns;
    s.bitsAllocated = bits;
    s.frames = frames;
    s.encoding = encoding;
    if (bits != 16) s.pixelRepresentation = 0;
    s.samples = std::move(samples);
    return s;
}

const char* syntaxUid(const ImageRecipe& s) {
    const char* uids[] = {uidImplicitLittle, uidExplicitLittle, uidExplicitBig};
    return s.encoding == Encoding::rle ? uidRle : s.encoding == Encoding::jpegBaseline ? uidJpegBaseline : uids[int(s.syntax)];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string dir = argv[1];
    std::ofstream manifest(dir + "/manifest.txt");
    auto write = [&](const std::string& name, ImageRecipe s) {
        if (s.samples.empty()) s.samples = gradientSamples(s);
        const auto bytes = makeImage(s);
        std::ofstream(dir + "/" + name + ".dcm", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        manifest << name << ' ' << syntaxUid(s) << ' ' << s.withMeta << ' ' << s.rows << ' ' << s.columns << ' '
                 << s.bitsAllocated << ' ' << s.frames << ' ' << s.pixelRepresentation << ' ' << s.photometric;
        for (int32_t v : s.samples) manifest << ' ' << v;
        manifest << '\n';
    };

    // The text elements the check expects: odd texts padded with one space, UI with a NUL.
    ImageRecipe texts = recipe(Syntax::explicitLittle, 3, 5, 16);
    texts.rescaleIntercept = -1024.0;
    texts.rescaleSlope = 0.5;
    texts.patientName = "Doe^Jane";
    texts.patientId = "ID1";
    texts.pixelSpacing = "0.5\\0.25";
    write("texts", texts);
    ImageRecipe noMeta = recipe(Syntax::implicitLittle, 4, 4, 16);
    noMeta.withMeta = false;
    noMeta.pixelRepresentation = 0;
    write("implicit_no_meta_unsigned", noMeta);
    ImageRecipe big = recipe(Syntax::explicitBig, 3, 3, 16, 1, Encoding::native, {-32768, -1024, -1, 0, 1, 255, 256, 4095, 32767});
    big.photometric = "MONOCHROME1";
    write("explicit_big_signed", big);
    write("native8_three_frames", recipe(Syntax::explicitLittle, 3, 3, 8, 3));
    std::vector<int32_t> runs;  // runs, literals, and a run longer than 128 bytes across rows
    for (int f = 0; f < 3; ++f)
        for (int i = 0; i < 35; ++i) runs.push_back(i < 20 ? 9 * f : (i * 37 + f) % 256);
    write("rle8_three_frames", recipe(Syntax::explicitLittle, 5, 7, 8, 3, Encoding::rle, runs));
    write("rle8_flat", recipe(Syntax::explicitLittle, 16, 16, 8, 1, Encoding::rle, std::vector<int32_t>(256, 200)));
    write("rle16_signed_two_frames", recipe(Syntax::implicitLittle, 6, 5, 16, 2, Encoding::rle));
    write("jpeg_two_frames", recipe(Syntax::explicitLittle, 16, 24, 8, 2, Encoding::jpegBaseline));
    ImageRecipe packed = recipe(Syntax::implicitLittle, 3, 5, 12, 1, Encoding::native,
                              {0, 1, 0xABC, 0xFFF, 0x123, 0x800, 7, 0x7FF, 0x456, 0x789, 0xFED, 0x001, 0x100, 0x010, 0xF0F});
    packed.withMeta = false;
    write("packed12_odd_count", packed);
    return manifest ? 0 : 1;
}
