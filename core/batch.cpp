#include "core/batch.h"

namespace vs {
namespace {

// The run's questions as message boxes, its progress on the host and the panel.
class BoxDialogue : public ConversionDialogue {
public:
    explicit BoxDialogue(Viewer& v) : v_(v) {}

    MessageAnswer ask(const std::string& text, MessageButtons buttons, MessageIcon icon) override {
        return v_.host->messageBox(text, programCaption, buttons, icon);
    }
    // The box names no reason: the panel shows none during a batch run either.
    std::string notReadText(const std::string& path, LoadStatus) const override { return unsupportedFormatText(path); }
    void fileStarted(uint32_t index, uint32_t count) override { v_.host->batchProgress(index, count); }
    void frameStarted(uint32_t frame, uint32_t count) override { v_.host->batchFrameProgress(frame, count); }

    void opened(uint64_t length, bool) override {
        v_.host->showFileSize(fileSizeLine(length));
        v_.host->repaintPanel();
    }
    void progress(int) override { v_.host->repaintPanel(); }
    bool abortRequested() override { return v_.host->escapePressed(); }

private:
    Viewer& v_;
};

}  // namespace

ConversionSettings conversionSettingsOf(const Viewer& v) {
    ConversionSettings settings;
    settings.format = OutputFormat(v.outputFormat);
    settings.automaticWindowing = v.window.autoWindowing != 0;
    settings.preset = v.window.windowPreset;
    settings.window = {v.window.windowLow, v.window.windowHigh};
    settings.negative = v.window.negative;
    settings.temporaries = v.temporaries;
    settings.bands = v.bands;
    return settings;
}

BatchResult runBatch(Viewer& v, const std::vector<std::string>& paths, const BatchOptions& options) {
    ConversionSettings settings = conversionSettingsOf(v);
    settings.outputDirectory = options.outputDirectory;
    const uint16_t wasBatchMode = v.batchMode;
    v.batchMode = 1;
    v.host->showStatusBox(processingFilesText);
    BoxDialogue dialogue(v);
    // The run reads with the viewer's decoders, which serve one reading at a time: the frame
    // source of the picture shown, which may be decoding a cine's next frame with them, goes
    // (the next rendering makes it anew).
    v.source.reset();
    const BatchResult result = convertFiles(paths, settings, v.decoders, dialogue);
    v.host->closeStatusBox();
    v.host->messageBox(batchReportText(result), programCaption, MessageButtons::ok, MessageIcon::information);
    v.batchMode = wasBatchMode;
    return result;
}

}  // namespace vs
