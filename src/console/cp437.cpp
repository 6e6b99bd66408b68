// Conversions between code page 437 bytes and their Unicode glyphs.
#include "console/cp437.h"

namespace {

void appendUtf8(std::string* out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out->push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        // Every glyph of the code page lies in the Basic Multilingual Plane.
        out->push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out->push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

// Reverse table built once: code points below 0x2600 cover every glyph.
struct ReverseTable {
    int16_t byteOf[0x2600];
    ReverseTable() {
        for (auto& b : byteOf) b = -1;
        for (int cp = 0; cp < 0x2600; ++cp)
            byteOf[cp] = static_cast<int16_t>(cp437_detail::fromUnicode(static_cast<char32_t>(cp)));
    }
};

const ReverseTable& reverseTable() {
    static const ReverseTable table;
    return table;
}

}  // namespace

char32_t cp437ToUnicode(unsigned char c) {
    return CP437_GLYPHS[c];
}

std::string cp437ToUtf8(unsigned char c) {
    std::string out;
    appendUtf8(&out, CP437_GLYPHS[c]);
    return out;
}

std::string cp437StringToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (char c : text) appendUtf8(&out, CP437_GLYPHS[static_cast<unsigned char>(c)]);
    return out;
}

int unicodeToCp437(char32_t codePoint) {
    if (codePoint < 0x2600)
        return reverseTable().byteOf[codePoint];
    return cp437_detail::fromUnicode(codePoint);
}

bool utf8ToCp437(std::string_view text, std::string* out) {
    out->clear();
    size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        char32_t codePoint;
        int extra;
        char32_t minimum;
        if (lead < 0x80) {
            codePoint = lead;
            extra = 0;
            minimum = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            codePoint = lead & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            codePoint = lead & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            codePoint = lead & 0x07;
            extra = 3;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (extra > 0 && i + extra >= text.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        // Overlong forms and surrogates are not valid UTF-8.
        if (codePoint < minimum || (codePoint >= 0xD800 && codePoint <= 0xDFFF) ||
            codePoint > 0x10FFFF) {
            return false;
        }
        i += 1 + extra;
        int byte;
        if (codePoint < 0x20) {
            // Control characters (tab, line ends) pass through as themselves.
            byte = static_cast<int>(codePoint);
        } else {
            byte = unicodeToCp437(codePoint);
        }
        if (byte < 0)
            return false;
        out->push_back(static_cast<char>(byte));
    }
    return true;
}
