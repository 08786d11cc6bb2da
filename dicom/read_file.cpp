#include "dicom/read_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <optional>

#include "dicom/deflated.h"
#include "dicom/file_handle.h"
#include "dicom/header.h"

namespace vs {
namespace {

// The length of an open file, or -1 when it is not a regular file (a folder opens for reading
// here but holds no bytes to show).
int64_t regularFileLength(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return int64_t(info.st_size);
}

// How the chunks are read: with every compression, a deflated data set is seen in the first
// chunk (its meta group) and walked only once inflated.
struct Reading {
    uint32_t chunks = 0;
    bool large = false;
    bool allCompressions = false;
    std::optional<uint32_t> deflatedStart;
};

// Reads the chunks; the header is walked once the first four are in (it looks at 240,000
// bytes at most). statusLoaded when all went in.
LoadStatus readChunks(std::FILE* file, DicomImage& dicom, ReadObserver& observer, Reading& reading, uint64_t& total) {
    const uint32_t chunks = reading.chunks;
    const bool large = reading.large;
    int lastPercent = -1;
    for (uint32_t chunk = 0; chunk < chunks; ++chunk) {
        const uint64_t at = uint64_t(chunk) * loadChunkBytes;
        const size_t got = std::fread(dicom.bytes.data() + at, 1, loadChunkBytes, file);
        total += got;
        dicom.bytes.noteWritten(at + got);
        if (chunk == 0 && reading.allCompressions) reading.deflatedStart = deflatedDataSetStart(dicom);
        if (chunk == 3 && !reading.deflatedStart) {
            const LoadStatus scanned = scanHeader(dicom, reading.allCompressions);
            if (scanned != statusLoaded) return scanned;
        }
        if (large && chunk > 3) {
            const int percent = int(uint64_t(chunk) * 100 / chunks + 1);
            if (percent != lastPercent) observer.progress(percent);
            lastPercent = percent;
        }
        if (observer.abortRequested()) return statusAborted;
    }
    return statusLoaded;
}

}  // namespace

const char* loadStatusText(LoadStatus status) {
    switch (status) {
        case statusNoFileSelected: return "<no file selected>";
        case statusUnsupported:
        case statusTooShort:
        case statusUnsupportedEncoding: return "<unsupported filetype>";
        case statusTooBigDimensions: return "<image dimensions too big>";
        case statusNoAccess: return "<no file access>";
        case statusReadError: return "<file read error>";
        case statusBatchMode: return "<batch conversion mode>";
        case statusAborted: return "<loading aborted by user>";
        case statusLoading: return "<loading file, press escape to abort>";
        case statusExamining: return "<examining file...>";
        case statusTooBig: return "<file is too big>";
        case statusLoaded: return "";
    }
    return "";
}

LoadStatus readDicomFile(const std::string& path, DicomImage& dicom, ReadObserver& observer, const Decoders& decoders) {
    const FileHandle file = openFile(path, "rb");
    const int64_t length = file.get() ? regularFileLength(file.get()) : -1;
    if (length < 0) return statusNoAccess;
    if (length < int64_t(smallestFileBytes)) return statusTooShort;

    observer.started();
    dicom.image.fileLength = uint32_t(length);
    if (length >= largestFileBytes || !dicom.bytes.prepare(uint64_t(length))) {
        dicom.bytes.release();
        return statusTooBig;
    }
    Reading reading;
    reading.chunks = (dicom.image.fileLength >> 16) + 1;
    reading.large = reading.chunks > progressChunkThreshold;
    reading.allCompressions = decoders.allCompressions;
    observer.opened(uint64_t(length), reading.large);

    uint64_t total = 0;
    const LoadStatus read = readChunks(file.get(), dicom, observer, reading, total);
    if (read != statusLoaded) return read;
    if (total != uint64_t(dicom.image.fileLength)) {
        if (reading.large) observer.examining();
        return statusReadError;
    }
    if (reading.deflatedStart) {
        if (!decoders.inflater) return statusUnsupportedEncoding;
        const LoadStatus inflated =
            inflateDataSet(dicom, *reading.deflatedStart, *decoders.inflater, observer, reading.large);
        if (inflated != statusLoaded) return inflated;
    }
    if (reading.large) observer.examining();
    if (reading.chunks < 4 || reading.deflatedStart) {
        const LoadStatus scanned = scanHeader(dicom, reading.allCompressions);
        if (scanned != statusLoaded) return scanned;
    }
    if (!locateFrames(dicom, reading.allCompressions)) return statusUnsupported;
    if (dicom.image.pixelsPerFrame >= largestPixelsPerFrame) return statusTooBigDimensions;
    return statusLoaded;
}

}  // namespace vs
