// The filter-value exports, the named wrappers over them and the per-channel pair.
#include "api/call_frame.h"

using kelvox::CallFrame;
using kelvox::Session;

KELVOX_API int Kelvox_SetFilterValue(int handle, int id, int value) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SetFilterValue(id, value); });
}

KELVOX_API int Kelvox_GetFilterValue(int handle, int id, int* ok) {
    return CallFrame(handle, 0, [&](Session& s) { return s.GetFilterValue(id, ok); });
}

// One identifier each.
KELVOX_API int Kelvox_SetBrightness(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_BRIGHTNESS, value);
}

KELVOX_API int Kelvox_GetBrightness(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_BRIGHTNESS, ok);
}

KELVOX_API int Kelvox_SetContrast(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_CONTRAST, value);
}

KELVOX_API int Kelvox_GetContrast(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_CONTRAST, ok);
}

KELVOX_API int Kelvox_SetHue(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_HUE, value);
}

KELVOX_API int Kelvox_GetHue(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_HUE, ok);
}

KELVOX_API int Kelvox_SetSaturation(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_SATURATION, value);
}

KELVOX_API int Kelvox_GetSaturation(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_SATURATION, ok);
}

KELVOX_API int Kelvox_SetSharpness(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_SHARPNESS, value);
}

KELVOX_API int Kelvox_GetSharpness(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_SHARPNESS, ok);
}

KELVOX_API int Kelvox_SetBayerGainRGB(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_RGB, value);
}

KELVOX_API int Kelvox_GetBayerGainRGB(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_RGB, ok);
}

KELVOX_API int Kelvox_SetBayerGainRed(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_RED, value);
}

KELVOX_API int Kelvox_GetBayerGainRed(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_RED, ok);
}

KELVOX_API int Kelvox_SetBayerGainGreen(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_GREEN, value);
}

KELVOX_API int Kelvox_GetBayerGainGreen(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_GREEN, ok);
}

KELVOX_API int Kelvox_SetBayerGainBlue(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_BLUE, value);
}

KELVOX_API int Kelvox_GetBayerGainBlue(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_BLUE, ok);
}

KELVOX_API int Kelvox_SetBayerGainAuto(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_AUTO, value);
}

KELVOX_API int Kelvox_GetBayerGainAuto(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_AUTO, ok);
}

KELVOX_API int Kelvox_SetGamma(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_GAMMA, value);
}

KELVOX_API int Kelvox_GetGamma(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_GAMMA, ok);
}

KELVOX_API int Kelvox_SetBayerMode(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_BAYER_MODE, value);
}

KELVOX_API int Kelvox_GetBayerMode(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_BAYER_MODE, ok);
}

KELVOX_API int Kelvox_SetGlobalGain(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_GLOBAL_GAIN, value);
}

KELVOX_API int Kelvox_GetGlobalGain(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_GLOBAL_GAIN, ok);
}

KELVOX_API int Kelvox_SetColorGainRed(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_COLOR_GAIN_RED, value);
}

KELVOX_API int Kelvox_GetColorGainRed(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_COLOR_GAIN_RED, ok);
}

KELVOX_API int Kelvox_SetColorGainGreen1(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_COLOR_GAIN_GREEN1, value);
}

KELVOX_API int Kelvox_GetColorGainGreen1(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_COLOR_GAIN_GREEN1, ok);
}

KELVOX_API int Kelvox_SetColorGainGreen2(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_COLOR_GAIN_GREEN2, value);
}

KELVOX_API int Kelvox_GetColorGainGreen2(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_COLOR_GAIN_GREEN2, ok);
}

KELVOX_API int Kelvox_SetColorGainBlue(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_COLOR_GAIN_BLUE, value);
}

KELVOX_API int Kelvox_GetColorGainBlue(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_COLOR_GAIN_BLUE, ok);
}

KELVOX_API int Kelvox_SetExposureTime(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_EXPOSURE, value);
}

KELVOX_API int Kelvox_GetExposureTime(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_EXPOSURE, ok);
}

KELVOX_API int Kelvox_SetGrayMode(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_GRAY_MODE, value);
}

KELVOX_API int Kelvox_GetGrayMode(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_GRAY_MODE, ok);
}

KELVOX_API int Kelvox_SetGrayGainR(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_GRAY_GAIN_R, value);
}

KELVOX_API int Kelvox_GetGrayGainR(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_GRAY_GAIN_R, ok);
}

KELVOX_API int Kelvox_SetGrayGainG1(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_GRAY_GAIN_G1, value);
}

KELVOX_API int Kelvox_GetGrayGainG1(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_GRAY_GAIN_G1, ok);
}

KELVOX_API int Kelvox_SetGrayGainG2(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_GRAY_GAIN_G2, value);
}

KELVOX_API int Kelvox_GetGrayGainG2(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_GRAY_GAIN_G2, ok);
}

KELVOX_API int Kelvox_SetGrayGainB(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_GRAY_GAIN_B, value);
}

KELVOX_API int Kelvox_GetGrayGainB(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_GRAY_GAIN_B, ok);
}

KELVOX_API int Kelvox_SetGrayOffsetR(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_GRAY_OFFSET_R, value);
}

KELVOX_API int Kelvox_GetGrayOffsetR(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_GRAY_OFFSET_R, ok);
}

KELVOX_API int Kelvox_SetGrayOffsetG1(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_GRAY_OFFSET_G1, value);
}

KELVOX_API int Kelvox_GetGrayOffsetG1(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_GRAY_OFFSET_G1, ok);
}

KELVOX_API int Kelvox_SetGrayOffsetG2(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_GRAY_OFFSET_G2, value);
}

KELVOX_API int Kelvox_GetGrayOffsetG2(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_GRAY_OFFSET_G2, ok);
}

KELVOX_API int Kelvox_SetGrayOffsetB(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_GRAY_OFFSET_B, value);
}

KELVOX_API int Kelvox_GetGrayOffsetB(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_GRAY_OFFSET_B, ok);
}

KELVOX_API int Kelvox_SetPeltier(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_PELTIER, value);
}

KELVOX_API int Kelvox_GetPeltier(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_PELTIER, ok);
}

KELVOX_API int Kelvox_GetTemperature(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_TEMPERATURE, ok);
}

KELVOX_API int Kelvox_SetDotFilter(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_DOT, value);
}

KELVOX_API int Kelvox_GetDotFilter(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_DOT, ok);
}

KELVOX_API int Kelvox_SetMaskFilter(int handle, int value) {
    return Kelvox_SetFilterValue(handle, KELVOX_FILTER_MASK, value);
}

KELVOX_API int Kelvox_GetMaskFilter(int handle, int* ok) {
    return Kelvox_GetFilterValue(handle, KELVOX_FILTER_MASK, ok);
}

// Channels 1-4 map onto identifiers 29-32 (gain) and 33-36 (offset), which the filter values do not
// accept; a channel outside 1-4 is turned away before it reaches the session.
namespace {

constexpr int kChannelGain = 29, kChannelOffset = 33;

bool IsChannel(int channel) { return channel >= 1 && channel <= 4; }

}  // namespace

KELVOX_API int Kelvox_SetChannelGain(int handle, int channel, int value) {
    return IsChannel(channel) ? Kelvox_SetFilterValue(handle, kChannelGain + channel - 1, value) : 0;
}

KELVOX_API int Kelvox_GetChannelGain(int handle, int channel, int* ok) {
    if (IsChannel(channel)) return Kelvox_GetFilterValue(handle, kChannelGain + channel - 1, ok);
    if (ok) *ok = 0;
    return 0;
}

KELVOX_API int Kelvox_SetChannelOffset(int handle, int channel, int value) {
    return IsChannel(channel) ? Kelvox_SetFilterValue(handle, kChannelOffset + channel - 1, value) : 0;
}

KELVOX_API int Kelvox_GetChannelOffset(int handle, int channel, int* ok) {
    if (IsChannel(channel)) return Kelvox_GetFilterValue(handle, kChannelOffset + channel - 1, ok);
    if (ok) *ok = 0;
    return 0;
}
