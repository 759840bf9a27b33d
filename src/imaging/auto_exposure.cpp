// The automatic exposure or gain control's measurement.
#include "imaging/auto_exposure.h"

#include "imaging/colour.h"

namespace kelvox::imaging {

double AutoExposureFactor(DibImage& raw) {
    if (raw.empty()) return 1.0;
    int means[5];
    MeasureRegionMeans(PlaneOf(raw), means);
    double f = 1.0;
    for (int mean : means) {
        if (raw.bytes_per_pixel() == 2) mean >>= 8;  // the thresholds are for 8-bit samples
        if (mean > 200) f += -0.15;
        else if (mean > 160) f += -0.10;
        else if (mean < 50) f += 0.10;
        else if (mean < 100) f += 0.05;
    }
    return f > 0.6 && f < 1.2 ? 1.0 : f;
}

}  // namespace kelvox::imaging
