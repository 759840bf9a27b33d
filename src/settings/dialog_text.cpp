#include "settings/dialog_text.h"

#include <cstdio>

namespace kelvox::settings {

namespace {

bool Ja(Language language) { return language == Language::kJapanese; }

}  // namespace

Language LanguageOfSystem(int system_language_id) {
    return system_language_id == 1041 ? Language::kJapanese : Language::kEnglish;
}

std::string PixelFormatName(Language language, int format) {
    static const char* const kEnglish[6] = {"Monochrome 8bit", "Monochrome %dbit *", "Color 24bit",
                                            "Color 32bit",     "Color 48bit *",      "Color 64bit *"};
    static const char* const kJapanese[6] = {"モノクロ 8bit", "モノクロ %dbit *", "カラー 24bit",
                                             "カラー 32bit",  "カラー 48bit *",   "カラー 64bit *"};
    if (format < 0 || format > 5) return {};
    char text[64];
    std::snprintf(text, sizeof text, (Ja(language) ? kJapanese : kEnglish)[format], 16);
    return text;
}

std::vector<std::string> ClockNames(Language language) {
    char high[32];
    std::snprintf(high, sizeof high, Ja(language) ? "高速(%dMHz)" : "High(%dMHz)", 36);
    if (Ja(language)) return {"標準(24MHz)", "半分(12MHz)", high};
    return {"Nomal(24MHz)", "Half(12MHz)", high};
}

std::string CustomSizeName(Language language) { return Ja(language) ? "カスタム" : "Custom"; }

std::string SizeName(int width, int height) {
    char text[32];
    std::snprintf(text, sizeof text, "%d x %d", width, height);
    return text;
}

std::vector<std::string> GainModeNames(Language language) {
    if (Ja(language)) return {"高ゲイン", "低ゲイン"};
    return {"High Gain", "Low Gain"};
}

std::string StreamFormatTab(Language language) { return Ja(language) ? "ストリーム形式" : "Stream Format"; }
std::string AnalogGainTab(Language language) { return Ja(language) ? "アナログゲイン" : "Analog Gain"; }
std::string ImageFilterTab(Language language) { return Ja(language) ? "画像フィルタ" : "Image Filter"; }
std::string GrayFilterTab(Language language) { return Ja(language) ? "グレーフィルタ" : "Gray Filter"; }

}  // namespace kelvox::settings
