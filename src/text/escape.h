// Making texts safe to print: control characters written out so that no name
// or path can send escape sequences to a terminal, and JSON strings.
#pragma once

#include <string>
#include <string_view>

// True for the control characters C0 (U+0000-U+001F), DEL (U+007F) and C1
// (U+0080-U+009F).
constexpr bool isControlCharacter(char32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

// A UTF-8 text for a terminal or a text listing: control characters and bytes
// that are no valid UTF-8 become \xNN (each byte of a C1 character's UTF-8
// form so); everything else is kept as it is.
std::string escapeControls(std::string_view utf8Text);

// Appends `utf8Text` to `out` as a JSON string literal, quotes included:
// '"' and '\' escaped, every control character (C0, DEL, C1) as \b \f \n \r \t
// or \u00XX, bytes that are no valid UTF-8 as U+FFFD, so that the result is
// valid UTF-8 and valid JSON whatever the input.
void appendJsonString(std::string* out, std::string_view utf8Text);
