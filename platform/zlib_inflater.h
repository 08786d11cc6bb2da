// The inflater of deflated data sets, over zlib.
#pragma once

#include <memory>

#include "dicom/inflater.h"

namespace vs {

std::unique_ptr<Inflater> makeZlibInflater();

}  // namespace vs
