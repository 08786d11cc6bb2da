// "Save Image As": the frame shown, as shown, to a BMP or 8-bit TIFF file chosen in a save
// dialog; the format follows the chosen file name's own extension.
#pragma once

#include <QString>
#include <optional>

#include "ui/app.h"

namespace vs::ui {

// The output format of a chosen file name: 8-bit TIFF for ".tif"/".tiff", BMP for ".bmp"
// (any case), nothing for other extensions. Only the name's own extension counts, never a
// folder's.
std::optional<uint16_t> saveFormatOf(const QString& path);

// Runs the whole command, from stopping the animation to re-enabling the file commands.
void saveImageAs(App& app);

}  // namespace vs::ui
