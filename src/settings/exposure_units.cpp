#include "settings/exposure_units.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kelvox::settings {

int ExposureUnit(double seconds) {
    if (seconds > 1) return 3;
    if (seconds >= 0.001) return 2;
    if (seconds >= 0.000001) return 1;
    return 0;
}

std::string ExposureUnitName(int unit) {
    static const char* const kNames[kExposureUnits] = {"ns", "μs", "ms", "sec"};
    return unit >= 0 && unit < kExposureUnits ? kNames[unit] : "";
}

double UnitsPerSecond(int unit) {
    static const double kScale[kExposureUnits] = {1e9, 1e6, 1000, 1};
    return unit >= 0 && unit < kExposureUnits ? kScale[unit] : 0;
}

std::vector<int> OfferedUnits(double min_seconds, double max_seconds) {
    std::vector<int> units;
    for (int u = ExposureUnit(min_seconds); u <= ExposureUnit(max_seconds); ++u) units.push_back(u);
    return units;
}

std::string ExposureNumber(double value) {
    const double fraction = value - std::trunc(value);
    char text[64];
    if (fraction >= 0.001) std::snprintf(text, sizeof text, "%.3f", value);
    else if (fraction >= 0.000001) std::snprintf(text, sizeof text, "%.6f", value);
    else std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return text;
}

double ExposureSeconds(const std::string& text, int unit) {
    const double scale = UnitsPerSecond(unit);
    return scale ? std::strtod(text.c_str(), nullptr) / scale : 0;
}

std::string ExposureRangeText(Language language, double min_seconds, double max_seconds) {
    const int low_unit = ExposureUnit(min_seconds), high_unit = ExposureUnit(max_seconds);
    char text[128];
    std::snprintf(text, sizeof text, language == Language::kJapanese ? "範囲: %d%s - %d%s" : "range: %d%s - %d%s",
                  static_cast<int>(min_seconds * UnitsPerSecond(low_unit)), ExposureUnitName(low_unit).c_str(),
                  static_cast<int>(max_seconds * UnitsPerSecond(high_unit)), ExposureUnitName(high_unit).c_str());
    return text;
}

std::string MillisecondText(int exposure) {
    char text[64];
    std::snprintf(text, sizeof text, "=%.2fms", exposure / 10.0);
    return text;
}

}  // namespace kelvox::settings
