// "Save Image As": the frame shown, as shown, to a BMP or 8-bit TIFF file chosen in a save
// dialog; the format follows the chosen file name's own extension.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "ui/app.h"

namespace vs::ui {

// The output format of a chosen file name: 8-bit TIFF for ".tif"/".tiff", BMP for ".bmp"
// (any case), nothing for other extensions. Only the name's own extension counts, never a
// folder's.
std::optional<uint16_t> saveFormatOf(const QString& path);

// The save dialog's answer; an empty string is a cancel. Tests install their own.
using SaveDialogHook = std::function<QString()>;
void setSaveDialogHook(SaveDialogHook hook);

// Runs the whole command, from stopping the animation to re-enabling the file commands.
void saveImageAs(App& app);

}  // namespace vs::ui
