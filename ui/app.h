// The desktop program's one context: the viewer state, its host and the windows.
// Every window gets a reference to it; nothing else is global.
#pragma once

#include <QRect>
#include <memory>
#include <optional>

#include "core/viewer.h"
#include "ui/seams.h"

class QWidget;

namespace vs::ui {

class MainWindow;        // ui/main_window.h: menu, commands, keys, drops, hand-off
class ImageWindow;       // ui/image_window.h: painting, zoom, fit, scroll
class AnimationControl;  // ui/animation_control.h
class OpenDialog;        // ui/open_dialog.h: the file browser with live preview
class InfoPanel;         // ui/info_panel.h: the five lines, zoom list, contrast buttons, sort
class BatchBox;          // ui/batch_box.h
class QtHost;            // ui/qt_host.h: Host over these widgets
class Tooltips;          // ui/tooltips.h: the panel's and the animation control's tooltips

struct App {
    // What the viewer reads with (viewer.decoders points into it), made anew when "Decode All
    // Compressions" changes; it outlives the viewer's frame source, which may be using it.
    std::unique_ptr<DecoderBundle> decoders;
    // The threads of the picture's row bands (viewer.bands points to it); made before the
    // viewer's frame source, and gone after it.
    std::unique_ptr<BandPool> bands;
    vs::Viewer viewer;
    QtHost* host = nullptr;
    MainWindow* mainWindow = nullptr;
    ImageWindow* imageWindow = nullptr;
    AnimationControl* animControl = nullptr;
    OpenDialog* openDialog = nullptr;
    InfoPanel* infoPanel = nullptr;
    BatchBox* batchBox = nullptr;
    Tooltips* tooltips = nullptr;
    Seams seams;
    // Where the Open dialog (or the batch box standing in for it) last was, once one has
    // closed; every later dialog opens there.
    std::optional<QRect> openDialogPlace;
    // The screen's width and height in pixels; tool windows are placed and the image window
    // fitted by it.
    int screenWidth = 1280;
    int screenHeight = 1024;
};

}  // namespace vs::ui
