#pragma once
// The automatic exposure or gain control's measurement: five regions of the raw picture vote on
// whether it is too bright or too dark.
#include "imaging/dib_image.h"

namespace kelvox::imaging {

// The factor to scale the exposure or gain by, or 1.0 when the picture is bright enough.
double AutoExposureFactor(DibImage& raw);

}  // namespace kelvox::imaging
