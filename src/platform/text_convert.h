#pragma once
// Narrow <-> wide text in the ANSI code page (MultiByteToWideChar / WideCharToMultiByte). Outside
// Windows the narrow text is taken as Latin-1.
#include <cwchar>

namespace kelvox::platform {

enum class CodePage { Ansi, ThreadAnsi };

// Converts a NUL-terminated narrow string into at most `capacity` wide characters, terminator
// included; returns the characters written (terminator included), or 0 when it fails or does not fit.
int NarrowToWide(CodePage page, const char* text, wchar_t* out, int capacity);
// The same the other way: at most `capacity` bytes, terminator included.
int WideToNarrow(CodePage page, const wchar_t* text, char* out, int capacity);

}  // namespace kelvox::platform
