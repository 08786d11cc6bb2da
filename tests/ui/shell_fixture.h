// Shared set-up of the shell's widget tests: a folder of synthetic DICOM files, the viewer
// started on it as a user would start it, and seams that answer every box.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include "tests/support/dicom_builder.h"
#include "ui/boxes.h"
#include "ui/startup.h"

namespace vs::ui::test {

// Every box and page the program shows, as the user would have seen them.
struct Seen {
    QStringList boxes;  // object names of modal boxes, in order
    std::vector<MessageRequest> messages;
    QList<QUrl> pages;
    // Answers: the next message answers come from here (then ok / yes).
    std::vector<MessageAnswer> answers;
    std::function<void(const MessageRequest&)> duringMessage;
};

// Seams that close modal boxes with Enter and record boxes, messages and pages in seen.
inline Seams answering(Seen& seen) {
    Seams seams;
    seams.modal = [&seen](QDialog& box) {
        seen.boxes << box.objectName();
        if (box.isVisible()) box.done(1);
    };
    seams.message = [&seen](const MessageRequest& request) {
        seen.messages.push_back(request);
        if (seen.duringMessage) seen.duringMessage(request);
        if (!seen.answers.empty()) {
            const MessageAnswer answer = seen.answers.front();
            seen.answers.erase(seen.answers.begin());
            return answer;
        }
        const bool asks = request.buttons == MessageButtons::yesNo || request.buttons == MessageButtons::yesNoCancel;
        return asks ? MessageAnswer::yes : MessageAnswer::ok;
    };
    seams.pages = [&seen](const QUrl& url) { seen.pages << url; };
    return seams;
}

// A greyscale image file: rows x columns, the given frames, instance number.
inline void writeImage(const QString& path, uint16_t rows, uint16_t columns, uint32_t frames = 1,
                       const std::string& instance = "", const std::string& patient = "TEST^PATIENT") {
    vs::testing::ImageRecipe image;
    image.rows = rows;
    image.columns = columns;
    image.frames = frames;
    image.instanceNumber = instance;
    image.patientName = patient;
    image.modality = "CT";
    const std::vector<uint8_t> bytes = vs::testing::makeImage(image);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

}  // namespace vs::ui::test
