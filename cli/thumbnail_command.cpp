#include "cli/thumbnail_command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "convert/part_file.h"
#include "convert/thumbnail.h"
#include "dicom/image_description.h"
#include "dicom/read_file.h"
#include "platform/decoder_bundle.h"
#include "platform/png_encoder.h"
#include "platform/signal_cleanup.h"

namespace vs::cli {
namespace {

int fail(const char* what, const std::string& path, const std::string& why) {
    std::fprintf(stderr, "vireoscan-convert: %s '%s': %s\n", what, path.c_str(), why.c_str());
    return 1;
}

}  // namespace

bool parseThumbnailSide(const std::string& text, uint32_t& side) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    if (value < 1 || value > largestThumbnailSide) return false;
    side = uint32_t(value);
    return true;
}

int writeThumbnailFile(uint32_t side, const std::string& input, const std::string& output) {
    // A thumbnail is a preview: it reads every compression, as the converter does with
    // --all-decoders, whatever the file manager's user has set in the viewer.
    const std::unique_ptr<DecoderBundle> decoders = makeDecoderBundle(true);
    auto dicom = std::make_unique<DicomImage>();
    ReadObserver unobserved;
    const LoadStatus status = readDicomFile(input, *dicom, unobserved, decoders->decoders());
    if (status != statusLoaded) return fail("no thumbnail of", input, loadStatusText(status));
    readRescaleAndWindow(*dicom);
    const std::unique_ptr<FrameSource> source = frameSourceFor(*dicom, decoders->decoders());
    const std::string reason = source->unreadableReason(thumbnailFrame(dicom->image.frameCount));
    if (!reason.empty()) return fail("no thumbnail of", input, reason);

    TemporaryFiles temporaries;
    const SignalCleanup cleanup(temporaries);
    PartFile part(&temporaries);
    std::FILE* file = part.open(output);
    if (!file) return fail("cannot create", output, std::strerror(errno));
    FileSink sink(file);
    const bool written = writeThumbnail(*source, dicom->image, side, LibpngEncoder(), sink);
    if (!part.finishWriting() || !written) return fail("cannot write", output, "the thumbnail was not written whole");
    if (!part.moveIntoPlace(true)) return fail("cannot create", output, std::strerror(errno));
    return 0;
}

}  // namespace vs::cli
