// Vireoscan: a viewer for greyscale DICOM images.
#include "ui/startup.h"

int main(int argc, char** argv) { return vs::ui::runProgram(argc, argv); }
