// The local files of a drop from the file manager.
#pragma once

#include <QMimeData>
#include <QStringList>
#include <QUrl>

namespace vs::ui {

inline QStringList droppedPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

}  // namespace vs::ui
