// The decoders of this machine's libraries, as one bundle: the picture decoder always; with
// every compression also the sample decoders and the inflater.
#pragma once

#include <memory>

#include "dicom/decoders.h"

namespace vs {

// A new bundle, for one thread; allCompressions as Decoders::allCompressions.
std::unique_ptr<DecoderBundle> makeDecoderBundle(bool allCompressions);

}  // namespace vs
