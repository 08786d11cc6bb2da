#include "convert/conversion_steps.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "dicom/frame_source.h"
#include "dicom/image_description.h"
#include "dicom/presets.h"

namespace vs {
namespace {

std::string formatText(const char* format, const std::string& path) {
    const int n = std::snprintf(nullptr, 0, format, path.c_str());
    std::string text(size_t(n > 0 ? n : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, format, path.c_str());
    return text;
}

// A path as the run names it: absolute and normalised, else as given.
std::string absolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

bool exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found && !error;
}

}  // namespace

std::string unsupportedFormatText(const std::string& path) {
    return formatText("Error: File format of '%s' is unsupported!", path);
}

std::string cannotCreateText(const std::string& path) {
    return formatText("Error: Can't create file '%s'!\nMake sure the disk is not write protected.", path);
}

std::string cannotWriteText(const std::string& path) {
    return formatText("Error: Can't write to file '%s'!\nMake sure the disk contains enough free space.", path);
}

FileConverter::FileConverter(const ConversionSettings& settings, const Decoders& decoders)
    : settings_(settings), decoders_(decoders) {
    if (!settings_.outputDirectory.empty()) {
        outputFolder_ = absolutePath(settings_.outputDirectory);
        if (outputFolder_.back() != pathSeparator) outputFolder_ += pathSeparator;
    }
}

OpenedFile FileConverter::open(const std::string& given, ReadObserver& observer) {
    OpenedFile file;
    file.given = given;
    const std::string path = cutToPath(absolutePath(given));
    const size_t cut = path.rfind(pathSeparator);
    file.folder = outputFolder_.empty() ? path.substr(0, cut + 1) : outputFolder_;
    file.name = path.substr(cut + 1);
    std::unique_ptr<DicomImage> dicom = spare_ ? std::move(spare_) : std::make_unique<DicomImage>();
    file.status = readDicomFile(path, *dicom, observer, decoders_);
    if (file.status != statusLoaded) {
        spare_ = std::move(dicom);
        return file;
    }
    readRescaleAndWindow(*dicom);
    file.dicom = std::move(dicom);
    return file;
}

std::unique_ptr<FrameSource> FileConverter::sourceFor(const OpenedFile& file) const {
    std::unique_ptr<FrameSource> source = frameSourceFor(*file.dicom, decoders_);
    source->bandOn(settings_.bands);
    return source;
}

void FileConverter::recycle(OpenedFile& file) {
    if (!spare_) spare_ = std::move(file.dicom);
    file.dicom.reset();
}

FileOutcome FileConverter::convert(const std::string& given, ReadObserver& observer,
                                   ConversionDialogue* frameProgress, const std::atomic<bool>* stop) {
    FileOutcome outcome;
    outcome.given = given;
    OpenedFile file = open(given, observer);
    outcome.status = file.status;
    if (!file.dicom) return outcome;
    {
        const std::unique_ptr<FrameSource> source = sourceFor(file);
        const uint32_t frames = file.dicom->image.frameCount;
        // Frames that take long to decode are decoded ahead: the next one beside the first,
        // then the next two while each is written.
        if (frames > 1) source->decodeAhead(1);
        for (uint32_t f = 0; f < frames && !(stop && *stop); ++f) {
            if (frameProgress) frameProgress->frameStarted(f, frames);
            outcome.frames.push_back(convertFrame(*source, file, f));
            for (uint32_t next = f + 1; next < std::min(frames, f + 3); ++next) source->decodeAhead(next);
        }
    }
    recycle(file);
    return outcome;
}

FrameOutcome FileConverter::convertFrame(FrameSource& source, const OpenedFile& file, uint32_t frame) {
    const ImageState& image = file.dicom->image;
    FrameOutcome outcome;
    outcome.target = batchOutputPath(file.folder, file.name, image.frameCount, frame, settings_.format);
    DisplayWindow window = settings_.window;
    if (settings_.automaticWindowing) window = presetWindow(image, source.sampleRange(frame), settings_.preset, window);

    // A frame that cannot be decoded gets no output file at all.
    const std::string reason = source.unreadableReason(frame);
    if (!reason.empty()) {
        outcome.message = unwritableFrameText(frame, image.frameCount, file.given, reason);
        return outcome;
    }
    auto part = std::make_unique<PartFile>(settings_.temporaries);
    std::FILE* out = part->open(outcome.target);
    if (!out) {
        outcome.message = cannotCreateText(outcome.target);
        return outcome;
    }
    FileSink sink(out);
    // A negative picture of a MONOCHROME1 image is not inverted at all.
    const bool inverted = image.monochrome1 != settings_.negative;
    const bool written = writeFrame(source, image, frame, windowMapping(window.low, window.high, inverted),
                                    settings_.format, sink, settings_.png, &room_);
    if (!part->finishWriting() || !written) {
        outcome.message = cannotWriteText(outcome.target);
        return outcome;
    }
    outcome.part = std::move(part);
    return outcome;
}

MessageAnswer Committer::ask(const std::string& text, MessageButtons buttons, MessageIcon icon) {
    const MessageAnswer answer = dialogue_.ask(text, buttons, icon);
    if (answer == MessageAnswer::cancel) result_.cancelled = true;
    return answer;
}

void Committer::commit(FileOutcome& outcome) {
    if (result_.cancelled) return;
    if (outcome.status != statusLoaded) {
        ++result_.failed;
        ask(dialogue_.notReadText(outcome.given, outcome.status), MessageButtons::okCancel, MessageIcon::stop);
        return;
    }
    for (FrameOutcome& frame : outcome.frames) {
        if (result_.cancelled) break;
        commitFrame(frame);
    }
    // Whatever was not moved into place (after a No or a Cancel) is removed here.
    outcome.frames.clear();
}

void Committer::commitFrame(FrameOutcome& frame) {
    if (frame.part) return placeOutput(*frame.part);
    ++result_.failed;
    ask(frame.message, MessageButtons::okCancel, MessageIcon::stop);
}

// An existing output is replaced only after a Yes; one that appears between the look and the
// rename is not replaced unasked either.
void Committer::placeOutput(PartFile& part) {
    const std::string& target = part.target();
    for (;;) {
        const bool replace = exists(target);
        if (replace) {
            const MessageAnswer answer = ask(
                formatText("Warning: File '%s' already exists!\nDo you want to overwrite the file?", target),
                MessageButtons::yesNoCancel, MessageIcon::exclamation);
            if (answer == MessageAnswer::no) ++result_.failed;
            if (answer != MessageAnswer::yes) return;
        }
        if (part.moveIntoPlace(replace)) {
            ++result_.converted;
            return;
        }
        if (errno != EEXIST) break;
    }
    ++result_.failed;
    ask(cannotCreateText(target), MessageButtons::okCancel, MessageIcon::stop);
}

}  // namespace vs
