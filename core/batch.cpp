// The batch run: load, window, name and write every frame of each file.
#include "core/batch.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/contrast.h"
#include "core/loader.h"
#include "core/paths.h"
#include "core/write_frame.h"

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

class Run {
public:
    Run(Viewer& v, const BatchOptions& options) : v_(v), options_(options) {}

    // Asks or tells through the host; false when the answer ends the run.
    MessageAnswer ask(const std::string& text, MessageButtons buttons, MessageIcon icon) {
        const MessageAnswer answer = v_.host->messageBox(text, programCaption, buttons, icon);
        if (answer == MessageAnswer::cancel) result.cancelled = true;
        return answer;
    }

    void convertFile(const std::string& given, const std::string& absolute) {
        setPath(v_.pathBuffer, absolute);
        splitPath(v_);
        v_.loadedPath.clear();
        if (loadFile(v_) == loadFailed) {
            ++result.failed;
            ask(formatText("Error: File format of '%s' is unsupported!", given), MessageButtons::okCancel,
                MessageIcon::stop);
            return;
        }
        const uint32_t frames = v_.dicom.image.frameCount;
        for (uint32_t f = 0; f < frames && !result.cancelled; ++f) {
            v_.host->batchFrameProgress(f, frames);
            convertFrame(given, f, frames);
        }
    }

    BatchResult result;

private:
    void convertFrame(const std::string& source, uint32_t frame, uint32_t frames) {
        v_.currentFrame = frame;
        scanDataRange(v_);
        if (v_.window.autoWindowing) applyWindowPreset(v_);

        // A frame that cannot be decoded gets no output file at all.
        const std::string reason = unwritableFrameReason(v_);
        if (!reason.empty()) {
            ++result.failed;
            ask(unwritableFrameText(v_, source, reason), MessageButtons::okCancel, MessageIcon::stop);
            return;
        }

        const std::string folder = options_.outputDirectory.empty() ? v_.currentDirectory : outputFolder();
        setPath(v_.pathBuffer, batchOutputPath(folder, v_.currentFileName, frames, frame, v_.outputFormat));
        const std::string& outputPath = v_.pathBuffer;

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
        const uint32_t written = writeImageFile(v_, out);
        const bool closed = std::fclose(out) == 0;
        if (written && closed) {
            ++result.converted;
            return;
        }
        ++result.failed;
        ask(formatText("Error: Can't write to file '%s'!\nMake sure the disk contains enough free space.",
                       outputPath),
            MessageButtons::okCancel, MessageIcon::stop);
    }

    std::string outputFolder() const {
        std::string folder = options_.outputDirectory;
        if (folder.back() != pathSeparator) folder += pathSeparator;
        return folder;
    }

    Viewer& v_;
    const BatchOptions& options_;
};

}  // namespace

std::string batchOutputPath(const std::string& folder, const std::string& name, uint32_t frameCount,
                            uint32_t frame, uint16_t format) {
    char suffix[32];
    if (frameCount <= 1) {
        std::snprintf(suffix, sizeof suffix, ".%s", extensionOf(format));
    } else {
        std::snprintf(suffix, sizeof suffix, ".%0*u.%s", int(decimalDigits(frameCount)), frame,
                      extensionOf(format));
    }
    std::string path = folder + name + suffix;
    if (path.size() > pathCapacity - 1) path.resize(pathCapacity - 1);
    return path;
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

BatchResult runBatch(Viewer& v, const std::vector<std::string>& paths, const BatchOptions& options) {
    // Loading a file moves the working directory to its folder, so relative paths are all
    // resolved against the folder the run starts in.
    std::vector<std::string> absolute;
    absolute.reserve(paths.size());
    for (const std::string& path : paths) {
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(path, error);
        absolute.push_back(error ? path : full.lexically_normal().string());
    }
    BatchOptions fixed = options;
    if (!fixed.outputDirectory.empty()) {
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(fixed.outputDirectory, error);
        if (!error) fixed.outputDirectory = full.string();
    }

    const uint16_t wasBatchMode = v.batchMode;
    v.batchMode = 1;
    Run run(v, fixed);
    run.result.files = uint32_t(paths.size());
    v.host->showStatusBox(processingFilesText);
    for (size_t i = 0; i < paths.size() && !run.result.cancelled; ++i) {
        v.host->batchProgress(uint32_t(i), uint32_t(paths.size()));
        run.convertFile(paths[i], absolute[i]);
    }
    v.host->batchProgress(uint32_t(paths.size()), uint32_t(paths.size()));
    v.host->closeStatusBox();
    v.host->messageBox(batchReportText(run.result), programCaption, MessageButtons::ok, MessageIcon::information);
    v.batchMode = wasBatchMode;
    return run.result;
}

}  // namespace vs
