// "Decode All Compressions": the Adjustments menu's switch between the decoders the viewer
// reads with by default and those that also read lossless and 12-bit JPEG, JPEG-LS, JPEG 2000,
// HTJ2K and deflated files. It is off at the first start and remembered in the user's
// configuration (~/.config/Vireoscan/vireoscan.ini); the converter never reads it.
#pragma once

#include "ui/app.h"

class QMenu;

namespace vs::ui {

// The remembered setting (off when there is none).
bool decodeAllCompressionsSetting();

// Makes the viewer read with the default decoders, or with every compression.
void useDecoders(App& app, bool allCompressions);

// Adds the checkable item to menu; turning it on or off remembers it, switches the decoders
// and opens the file shown again.
void addDecodeAllCompressionsItem(App& app, QMenu* menu);

}  // namespace vs::ui
