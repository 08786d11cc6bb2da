#include "ui/tool_column.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "ui/animation_control.h"
#include "ui/app.h"
#include "ui/batch_box.h"
#include "ui/info_panel.h"
#include "ui/open_dialog.h"

namespace vs::ui {

ColumnTops columnTops(const DialogUnits& units) {
    const int dialog = panelTop + units.pixels(panelReferenceSize).height() + gapBelowPanel;
    return {panelTop, dialog, dialog + units.pixels(dialogReferenceSize).height() + gapBelowDialog};
}

int columnLeftEdge(const App& app) {
    int left = app.screenWidth;
    const QWidget* windows[] = {app.infoPanel, app.openDialog, app.batchBox, app.animControl};
    for (const QWidget* w : windows)
        if (w) left = std::min(left, w->frameGeometry().left());
    return left;
}

void fitOuterSize(QWidget* window, QSize outer) {
    QMargins m;
    if (const QWindow* handle = window->windowHandle()) m = handle->frameMargins();
    const QSize inside = outer - QSize(m.left() + m.right(), m.top() + m.bottom());
    if (window->minimumSize() != inside || window->maximumSize() != inside) window->setFixedSize(inside);
}

void keepOuterSize(QWidget* window, const QEvent* event, QSize outer) {
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowActivate:
    case QEvent::Paint:  // a window shown without activation learns its frame by its first paint
        fitOuterSize(window, outer);
        break;
    default:
        break;
    }
}

}  // namespace vs::ui
