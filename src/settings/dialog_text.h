#pragma once
// The texts the settings dialogs put into their controls, in English and in Japanese (UTF-8).
#include <string>
#include <vector>

namespace kelvox::settings {

enum class Language { kEnglish, kJapanese };

// Japanese for a system whose default language id is 1041, English for every other.
Language LanguageOfSystem(int system_language_id);

// Names of the output formats 0-5 in the camera dialog's format box.
std::string PixelFormatName(Language language, int format);
// The clock box's three entries.
std::vector<std::string> ClockNames(Language language);
std::string CustomSizeName(Language language);
std::string SizeName(int width, int height);  // "%d x %d"
std::vector<std::string> GainModeNames(Language language);
// Tab texts.
std::string StreamFormatTab(Language language);
std::string AnalogGainTab(Language language);
std::string ImageFilterTab(Language language);
std::string GrayFilterTab(Language language);

}  // namespace kelvox::settings
