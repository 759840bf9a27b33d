#pragma once
// The analog page's extended exposure: the unit a time in seconds is shown in (0 ns, 1 us, 2 ms,
// 3 sec), its text in the edit, the range text and the millisecond label.
#include <string>
#include <vector>

#include "settings/dialog_text.h"

namespace kelvox::settings {

inline constexpr int kExposureUnits = 4;

// 3 above 1 s, 2 from 1 ms, 1 from 1 us, else 0.
int ExposureUnit(double seconds);
std::string ExposureUnitName(int unit);  // "ns", "μs", "ms", "sec"
// Units per second: 1e9, 1e6, 1000, 1; 0 for an unknown unit.
double UnitsPerSecond(int unit);
// The units from the minimum's to the maximum's, for the unit box.
std::vector<int> OfferedUnits(double min_seconds, double max_seconds);
// A value in some unit as the edit shows it: "%.3f" when its fraction is at least 0.001, "%.6f"
// when at least 0.000001, else its integer part.
std::string ExposureNumber(double value);
// The text of an edit in `unit` as seconds; 0 for an unknown unit.
double ExposureSeconds(const std::string& text, int unit);
// "range: <min><unit> - <max><unit>", each in its own unit, integer parts.
std::string ExposureRangeText(Language language, double min_seconds, double max_seconds);
// The exposure in 100 us units as milliseconds: "=%.2fms".
std::string MillisecondText(int exposure);

}  // namespace kelvox::settings
