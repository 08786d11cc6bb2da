#include "dicom/conversion.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "dicom/frame_source.h"
#include "dicom/image_description.h"
#include "dicom/presets.h"

namespace vs {
namespace {

const char* extensionOf(uint16_t format) {
    if (format == formatBmp) return "BMP";
    if (format == formatRaw) return "RAW";
    return "TIF";
}

uint32_t decimalDigits(uint32_t n) {
    uint32_t digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

std::string formatText(const char* format, const std::string& path) {
    const int n = std::snprintf(nullptr, 0, format, path.c_str());
    std::string text(size_t(n > 0 ? n : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, format, path.c_str());
    return text;
}

std::string cutToPath(std::string path) {
    if (path.size() > pathCapacity - 1) path.resize(pathCapacity - 1);
    return path;
}

// A path as the run names it: absolute and normalised, else as given.
std::string absolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

class Run {
public:
    Run(const ConversionSettings& settings, PictureDecoder* decoder, ConversionDialogue& dialogue)
        : settings_(settings), decoder_(decoder), dialogue_(dialogue) {
        if (!settings_.outputDirectory.empty()) {
            outputFolder_ = absolutePath(settings_.outputDirectory);
            if (outputFolder_.back() != pathSeparator) outputFolder_ += pathSeparator;
        }
    }

    // Asks or tells; a Cancel ends the run.
    MessageAnswer ask(const std::string& text, MessageButtons buttons, MessageIcon icon) {
        const MessageAnswer answer = dialogue_.ask(text, buttons, icon);
        if (answer == MessageAnswer::cancel) result.cancelled = true;
        return answer;
    }

    void convertFile(const std::string& given) {
        const std::string path = cutToPath(absolutePath(given));
        const size_t cut = path.rfind(pathSeparator);
        const std::string folder = path.substr(0, cut + 1);
        const std::string name = path.substr(cut + 1);
        dicom_ = std::make_unique<DicomImage>();
        if (readDicomFile(path, *dicom_, dialogue_) != statusLoaded) {
            ++result.failed;
            ask(formatText("Error: File format of '%s' is unsupported!", given), MessageButtons::okCancel,
                MessageIcon::stop);
            return;
        }
        readRescaleAndWindow(*dicom_);
        const std::unique_ptr<FrameSource> source = frameSourceFor(*dicom_, decoder_);
        const uint32_t frames = dicom_->image.frameCount;
        for (uint32_t f = 0; f < frames && !result.cancelled; ++f) {
            dialogue_.frameStarted(f, frames);
            convertFrame(*source, given, outputFolder_.empty() ? folder : outputFolder_, name, f);
        }
    }

    BatchResult result;

private:
    void convertFrame(FrameSource& source, const std::string& given, const std::string& folder,
                      const std::string& name, uint32_t frame) {
        const ImageState& image = dicom_->image;
        DisplayWindow window = settings_.window;
        if (settings_.automaticWindowing)
            window = presetWindow(image, source.sampleRange(frame), settings_.preset, window);

        // A frame that cannot be decoded gets no output file at all.
        const std::string reason = source.unreadableReason(frame);
        if (!reason.empty()) {
            ++result.failed;
            ask(unwritableFrameText(frame, image.frameCount, given, reason), MessageButtons::okCancel,
                MessageIcon::stop);
            return;
        }

        const std::string outputPath = batchOutputPath(folder, name, image.frameCount, frame, settings_.format);
        if (std::FILE* existing = std::fopen(outputPath.c_str(), "rb")) {
            std::fclose(existing);
            const MessageAnswer answer = ask(
                formatText("Warning: File '%s' already exists!\nDo you want to overwrite the file?", outputPath),
                MessageButtons::yesNoCancel, MessageIcon::exclamation);
            if (answer == MessageAnswer::no) ++result.failed;
            if (answer != MessageAnswer::yes) return;
        }

        std::FILE* out = std::fopen(outputPath.c_str(), "wb");
        if (out == nullptr) {
            ++result.failed;
            ask(formatText("Error: Can't create file '%s'!\nMake sure the disk is not write protected.", outputPath),
                MessageButtons::okCancel, MessageIcon::stop);
            return;
        }
        FileSink sink(out);
        const uint32_t invert = image.invertMask ^ (settings_.negative ? 255u : 0u);
        const bool written =
            writeFrame(source, image, frame, windowMapping(window.low, window.high, invert), settings_.format, sink);
        const bool flushed = std::fflush(out) == 0;
        const bool closed = std::fclose(out) == 0;
        if (written && flushed && closed) {
            ++result.converted;
            return;
        }
        ++result.failed;
        ask(formatText("Error: Can't write to file '%s'!\nMake sure the disk contains enough free space.",
                       outputPath),
            MessageButtons::okCancel, MessageIcon::stop);
    }

    const ConversionSettings& settings_;
    PictureDecoder* decoder_;
    ConversionDialogue& dialogue_;
    std::string outputFolder_;
    std::unique_ptr<DicomImage> dicom_;
};

}  // namespace

BatchResult convertFiles(const std::vector<std::string>& paths, const ConversionSettings& settings,
                         PictureDecoder* decoder, ConversionDialogue& dialogue) {
    Run run(settings, decoder, dialogue);
    run.result.files = uint32_t(paths.size());
    for (size_t i = 0; i < paths.size() && !run.result.cancelled; ++i) {
        dialogue.fileStarted(uint32_t(i), uint32_t(paths.size()));
        run.convertFile(paths[i]);
    }
    dialogue.fileStarted(uint32_t(paths.size()), uint32_t(paths.size()));
    return run.result;
}

std::string batchOutputPath(const std::string& folder, const std::string& name, uint32_t frameCount,
                            uint32_t frame, uint16_t format) {
    char suffix[32];
    if (frameCount <= 1) {
        std::snprintf(suffix, sizeof suffix, ".%s", extensionOf(format));
    } else {
        std::snprintf(suffix, sizeof suffix, ".%0*u.%s", int(decimalDigits(frameCount)), frame,
                      extensionOf(format));
    }
    return cutToPath(folder + name + suffix);
}

std::string batchReportText(const BatchResult& r) {
    char text[256];
    if (r.failed == 0) {
        std::snprintf(text, sizeof text, "Successfully processed %u image(s) out of %u file(s).", r.converted,
                      r.files);
    } else {
        std::snprintf(text, sizeof text,
                      "Successfully converted %u image(s) out of %u file(s).\nConversion of %u image(s) was "
                      "unsuccessful.",
                      r.converted, r.files, r.failed);
    }
    return text;
}

}  // namespace vs
