// The one case fold of the archive model: only the ASCII letters a..z are
// taken as A..Z; every other byte (accented code page 437 letters included)
// stays itself. Name lookups, duplicate tests, sorting and wildcards use it.
#pragma once

#include <string>
#include <string_view>

// The byte `c` with a..z taken as A..Z.
constexpr unsigned char foldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

// `text` with every byte folded by foldAscii.
inline std::string foldAsciiText(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = static_cast<char>(foldAscii(static_cast<unsigned char>(c)));
    return folded;
}

// True when the texts are equal once folded by foldAscii.
inline bool equalFoldingAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (foldAscii(static_cast<unsigned char>(a[i])) !=
            foldAscii(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}
