#include "platform/windows/console_glyphs.h"

#include "text/cp437.h"

namespace {

// Stand-ins for 0x80-0xAF: the accented letters without their accents, the
// currency signs and punctuation by their nearest ASCII look.
constexpr char LATIN_STAND_INS[] =
    "CueaaaaceeeiiiAA"   // 80
    "EaAooouuyOUcLYPf"   // 90
    "aiounNao?--%%!<>";  // A0

// Stand-ins for 0xB0-0xDF: shades, the single and double frame pieces, blocks.
constexpr char FRAME_STAND_INS[] =
    "###|++++++|+++++"   // B0
    "++++-++++++++-++"   // C0
    "+++++++++++#####";  // D0
static_assert(sizeof LATIN_STAND_INS == 0x30 + 1 && sizeof FRAME_STAND_INS == 0x30 + 1);

char16_t asciiStandIn(unsigned char byte) {
    if (byte == 0)
        return u' ';
    if (byte >= 0x20 && byte < 0x7F)
        return byte;
    if (byte >= 0x80 && byte < 0xB0)
        return char16_t(LATIN_STAND_INS[byte - 0x80]);
    if (byte >= 0xB0 && byte < 0xE0)
        return char16_t(FRAME_STAND_INS[byte - 0xB0]);
    switch (byte) {
        case 0x10:  // ► and the arrows
        case 0x1A:
            return u'>';
        case 0x11:
        case 0x1B:
            return u'<';
        case 0x18:
        case 0x1E:
            return u'^';
        case 0x19:
        case 0x1F:
            return u'v';
        case 0x12:
        case 0x17:
            return u'|';
        case 0x1D:
            return u'-';
        case 0x07:  // bullets and dots
        case 0x09:
        case 0xF9:
        case 0xFA:
            return u'.';
        case 0x04:
        case 0x0F:
            return u'*';
        case 0x16:
        case 0xFE:
            return u'#';
        case 0xE1:
            return u'B';
        case 0xF1:
            return u'+';
        case 0xF2:
            return u'>';
        case 0xF3:
            return u'<';
        case 0xF0:
            return u'=';
        case 0xFD:
            return u'2';
        case 0xE6:
            return u'u';
        case 0xF6:
            return u'/';
        case 0xF7:
            return u'~';
        case 0xF8:
            return u'o';
        case 0xFF:
            return u' ';
        default:
            return u'?';
    }
}

}  // namespace

bool consoleDrawsWideGlyphs(unsigned codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

char16_t consoleGlyph(unsigned char byte, bool asciiOnly) {
    if (asciiOnly)
        return asciiStandIn(byte);
    char32_t glyph = cp437ToUnicode(byte);
    return glyph == 0 ? u' ' : char16_t(glyph);
}
