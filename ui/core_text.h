// The one crossing between the core's text (bytes of a file or of a path, in std::string)
// and Qt's strings. On Linux a path is a string of bytes; it is shown, and turned back into
// the same bytes, the way QFile names files: as text in the locale's encoding.
#pragma once

#include <QFile>
#include <QString>
#include <string>
#include <string_view>

namespace vs::ui {

inline QString fromCore(std::string_view text) {
    return QFile::decodeName(QByteArray(text.data(), qsizetype(text.size())));
}

inline std::string toCore(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace vs::ui
