#include "ui/decoding_switch.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

#include "platform/decoder_bundle.h"
#include "ui/core_text.h"
#include "ui/main_window.h"

namespace vs::ui {
namespace {

constexpr const char* settingKey = "decoding/allCompressions";

QSettings userSettings() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "Vireoscan", "vireoscan"); }

void switchDecoding(App& app, QAction* item) {
    const bool on = item->isChecked();
    userSettings().setValue(settingKey, on);
    useDecoders(app, on);
    Viewer& v = app.viewer;
    // The file shown (or refused) is opened again as a drop opens it; while the batch box is
    // open, its runs read with the new decoders.
    if (!v.loadedPath.empty() && !v.batchMode && app.mainWindow) app.mainWindow->dropPaths({fromCore(v.loadedPath)});
}

}  // namespace

bool decodeAllCompressionsSetting() { return userSettings().value(settingKey, false).toBool(); }

void useDecoders(App& app, bool allCompressions) {
    // The frame source reads with the old decoders; it goes first.
    app.viewer.source.reset();
    app.decoders = makeDecoderBundle(allCompressions);
    app.viewer.decoders = app.decoders->decoders();
}

void addDecodeAllCompressionsItem(App& app, QMenu* menu) {
    QAction* item = menu->addAction("&Decode All Compressions");
    item->setObjectName("decodeAllCompressions");
    item->setCheckable(true);
    item->setChecked(app.viewer.decoders.allCompressions);
    QObject::connect(item, &QAction::toggled, menu, [&app, item] { switchDecoding(app, item); });
}

}  // namespace vs::ui
