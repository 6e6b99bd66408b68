// Key sequence decoding. Keys without a character become KEY_EXTENDED plus
// the PC scan code of the key, the form the rest of the program expects.
#include "console/key_decoder.h"

#include "text/cp437.h"
#include "text/utf8.h"

namespace {

constexpr int SCAN_HOME = 0x47;
constexpr int SCAN_UP = 0x48;
constexpr int SCAN_PGUP = 0x49;
constexpr int SCAN_LEFT = 0x4B;
constexpr int SCAN_CENTER = 0x4C;  // keypad 5 with Num Lock off
constexpr int SCAN_RIGHT = 0x4D;
constexpr int SCAN_END = 0x4F;
constexpr int SCAN_DOWN = 0x50;
constexpr int SCAN_PGDN = 0x51;
constexpr int SCAN_INSERT = 0x52;
constexpr int SCAN_DELETE = 0x53;
constexpr int SCAN_PAD_SLASH = 0x35;

constexpr KeyCode extended(int scan) {
    return KEY_EXTENDED + scan;
}

// Modifier bits as the xterm family counts them (parameter - 1).
constexpr int MOD_SHIFT = 1;
constexpr int MOD_ALT = 2;
constexpr int MOD_META = 8;

// Function key `number` (1-12); Ctrl adds nothing.
KeyCode functionKey(int number, int modifiers) {
    int scan = number <= 10 ? 0x3A + number : 0x57 + (number - 11);
    return extendedKey(scan, (modifiers & (MOD_ALT | MOD_META)) != 0, (modifiers & MOD_SHIFT) != 0);
}

DecodedKey need() {
    return {0, KEY_NONE};
}
DecodedKey nothing(int length) {
    return {length, KEY_NONE};
}
DecodedKey key(int length, KeyCode code) {
    return {length, code};
}

// The number-and-tilde keys: ESC [ n ~ (and rxvt's $ ^ @ endings).
KeyCode tildeKey(int number, int modifiers) {
    switch (number) {
        case 1:
        case 7:
            return extended(SCAN_HOME);
        case 2:
            return extended(SCAN_INSERT);
        case 3:
            return extended(SCAN_DELETE);
        case 4:
        case 8:
            return extended(SCAN_END);
        case 5:
            return extended(SCAN_PGUP);
        case 6:
            return extended(SCAN_PGDN);
        case 11:
        case 12:
        case 13:
        case 14:
        case 15:
            return functionKey(number - 10, modifiers);
        case 17:
        case 18:
        case 19:
        case 20:
        case 21:
            return functionKey(number - 11, modifiers);
        case 23:
        case 24:
            return functionKey(number - 12, modifiers);
        // rxvt and the Linux console send Shift-F3 to Shift-F10 as F13 to F20.
        case 25:
        case 26:
            return functionKey(number - 22, modifiers | MOD_SHIFT);
        case 28:
        case 29:
            return functionKey(number - 23, modifiers | MOD_SHIFT);
        case 31:
        case 32:
        case 33:
        case 34:
            return functionKey(number - 24, modifiers | MOD_SHIFT);
        default:
            return KEY_NONE;
    }
}

// Keys named by the final letter of ESC [ ... or ESC O ...
KeyCode letterKey(char final, int modifiers, bool ss3) {
    switch (final) {
        case 'A':
        case 'a':
            return extended(SCAN_UP);
        case 'B':
        case 'b':
            return extended(SCAN_DOWN);
        case 'C':
        case 'c':
            return extended(SCAN_RIGHT);
        case 'D':
        case 'd':
            return extended(SCAN_LEFT);
        case 'H':
            return extended(SCAN_HOME);
        case 'F':
            return extended(SCAN_END);
        case 'E':
        case 'G':
            return extended(SCAN_CENTER);
        case 'P':
            return functionKey(1, modifiers);
        case 'Q':
            return functionKey(2, modifiers);
        case 'R':
            return functionKey(3, modifiers);
        case 'S':
            return functionKey(4, modifiers);
        case 'Z':
            return KEY_TAB;  // Shift-Tab switches panels as Tab does
        default:
            break;
    }
    if (!ss3)
        return KEY_NONE;
    // The keypad in application mode.
    switch (final) {
        case 'M':
            return KEY_PAD_ENTER;
        case 'j':
            return '*';
        case 'k':
            return '+';
        case 'l':
            return ',';
        case 'm':
            return '-';
        case 'n':
            return '.';
        case 'o':
            return extended(SCAN_PAD_SLASH);
        case 'X':
            return '=';
        default:
            break;
    }
    if (final >= 'p' && final <= 'y')
        return '0' + (final - 'p');
    return KEY_NONE;
}

// ESC [ ... : parameters, intermediates, one final byte.
DecodedKey decodeCsi(std::string_view in, bool complete) {
    const size_t size = in.size();
    if (size < 3)
        return complete ? nothing(static_cast<int>(size)) : need();
    // The Linux console's F1-F5: ESC [ [ A to ESC [ [ E.
    if (in[2] == '[') {
        if (size < 4)
            return complete ? nothing(3) : need();
        char c = in[3];
        if (c >= 'A' && c <= 'E')
            return key(4, functionKey(c - 'A' + 1, 0));
        return nothing(4);
    }
    // X10 mouse report: ESC [ M and three bytes.
    if (in[2] == 'M') {
        if (size < 6)
            return complete ? nothing(static_cast<int>(size)) : need();
        return nothing(6);
    }
    bool privateParameters = false;
    int parameters[4] = {0, 0, 0, 0};
    int count = 0;
    size_t i = 2;
    for (; i < size; ++i) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (c >= '0' && c <= '9') {
            if (count < 4 && parameters[count] < 100000) {
                parameters[count] = parameters[count] * 10 + (c - '0');
            }
        } else if (c == ';' || c == ':') {
            ++count;
        } else if (c >= 0x3C && c <= 0x3F) {
            privateParameters = true;  // mouse and other reports, never keys
        } else if (c == '$' && i > 2 && !privateParameters) {
            break;  // rxvt's Shift ending
        } else if (c >= 0x20 && c <= 0x2F) {
            // intermediate bytes
        } else if (c >= 0x40 && c <= 0x7E) {
            break;
        } else {
            // Not a well-formed sequence: drop what came before the stray byte.
            return nothing(static_cast<int>(i));
        }
    }
    if (i >= size)
        return complete ? nothing(static_cast<int>(size)) : need();
    int length = static_cast<int>(i + 1);
    if (privateParameters)
        return nothing(length);
    char final = in[i];
    int modifiers = count >= 1 && parameters[1] > 0 ? parameters[1] - 1 : 0;
    if (final == '~' || final == '$' || final == '^' || final == '@') {
        if (final == '$' || final == '@')
            modifiers |= MOD_SHIFT;
        return key(length, tildeKey(parameters[0], modifiers));
    }
    return key(length, letterKey(final, modifiers, false));
}

// ESC O [modifier digits] final.
DecodedKey decodeSs3(std::string_view in, bool complete) {
    size_t i = 2;
    int modifier = 0;
    while (i < in.size() && in[i] >= '0' && in[i] <= '9') {
        if (modifier < 1000)
            modifier = modifier * 10 + (in[i] - '0');
        ++i;
    }
    if (i >= in.size())
        return complete ? nothing(static_cast<int>(in.size())) : need();
    int modifiers = modifier > 0 ? modifier - 1 : 0;
    return key(static_cast<int>(i + 1), letterKey(in[i], modifiers, true));
}

// A typed non-ASCII character as its code page 437 byte. Only the bytes from
// 0x80 up qualify: below that the code page's glyphs (← ♪ ○ ◘ ♀ ...) share
// their bytes with Esc, Enter, Tab, Backspace, Ctrl-L and the letters, and a
// character typed on a national layout must never act as one of those keys.
KeyCode typedCharacter(char32_t codePoint) {
    int byte = unicodeToCp437(codePoint);
    return byte >= 0x80 ? byte : KEY_NONE;
}

// A typed character: UTF-8 or Latin-1 to its code page 437 byte.
DecodedKey decodeCharacter(const KeyDecoder& decoder, std::string_view in, bool complete) {
    unsigned char lead = static_cast<unsigned char>(in[0]);
    if (lead == 0x7F || lead == 0x08)
        return key(1, KEY_BACKSPACE);
    if (lead == '\r')
        return key(1, KEY_ENTER);
    if (lead == 0)
        return nothing(1);  // Ctrl-Space makes no character
    if (lead < 0x80)
        return key(1, lead);
    if (!decoder.utf8) {
        if (lead < 0xA0)
            return nothing(1);  // C1 controls
        return key(1, typedCharacter(lead));
    }
    // The lead byte tells how long the sequence is; wait for the rest of it.
    size_t length = (lead & 0xE0) == 0xC0   ? 2
                    : (lead & 0xF0) == 0xE0 ? 3
                    : (lead & 0xF8) == 0xF0 ? 4
                                            : 1;
    if (in.size() < length && !complete) {
        bool continuing = true;
        for (size_t k = 1; k < in.size(); ++k)
            continuing = continuing && (static_cast<unsigned char>(in[k]) & 0xC0) == 0x80;
        if (continuing)
            return need();
    }
    char32_t codePoint = 0;
    size_t decoded = decodeUtf8(in, 0, &codePoint);
    if (decoded == 0) {
        // Drop the broken bytes up to the next one that may start a character.
        size_t skip = 1;
        while (skip < in.size() && skip < length &&
               (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80)
            ++skip;
        return nothing(static_cast<int>(skip));
    }
    // Characters the code page cannot show are dropped rather than mangled.
    return key(static_cast<int>(decoded), typedCharacter(codePoint));
}

// The longest taught sequence at the front of the input; `prefix` is set when
// the input could still grow into a longer one.
DecodedKey matchTaught(const KeyDecoder& decoder, std::string_view in, bool* prefix) {
    DecodedKey best = need();
    *prefix = false;
    for (const auto& [sequence, code] : decoder.sequences) {
        if (in.size() >= sequence.size()) {
            if (in.compare(0, sequence.size(), sequence) == 0 &&
                static_cast<int>(sequence.size()) > best.length) {
                best = key(static_cast<int>(sequence.size()), code);
            }
        } else if (sequence.compare(0, in.size(), in) == 0) {
            *prefix = true;
        }
    }
    return best;
}

DecodedKey decodeEscape(const KeyDecoder& decoder, std::string_view in, bool complete) {
    if (in.size() < 2)
        return complete ? key(1, KEY_ESC) : need();
    // A terminal's own key strings come first, whatever follows the ESC.
    bool prefix = false;
    DecodedKey taught = matchTaught(decoder, in, &prefix);
    if (prefix && !complete)
        return need();
    if (taught.length > 0)
        return taught;
    char second = in[1];
    if (second == '[' || second == 'O') {
        DecodedKey sequence = second == '[' ? decodeCsi(in, complete) : decodeSs3(in, complete);
        if (sequence.length == 0)
            return sequence;
        // ESC [ or ESC O cut short by the timeout: Esc pressed, then a character.
        if (sequence.key == KEY_NONE && static_cast<size_t>(sequence.length) == in.size() &&
            complete && in.size() == 2) {
            return key(1, KEY_ESC);
        }
        return sequence;
    }
    // Esc pressed just before another key is two keys, whatever follows: no
    // command is Alt with a character, and a terminal that marks Alt on a
    // function key says so in the key's own sequence. Taking the ESC as an Alt
    // prefix would eat the Esc (Esc then * would invert the selection instead
    // of asking to quit).
    return key(1, KEY_ESC);
}

}  // namespace

void addKeySequence(KeyDecoder* decoder, std::string_view sequence, KeyCode key) {
    if (sequence.size() < 2)
        return;  // single bytes are characters
    for (auto& entry : decoder->sequences) {
        if (entry.first == sequence) {
            entry.second = key;
            return;
        }
    }
    decoder->sequences.emplace_back(std::string(sequence), key);
}

void addTerminfoKeys(KeyDecoder* decoder, const std::function<const char*(const char*)>& lookup) {
    struct Capability {
        const char* name;
        KeyCode key;
    };
    static const Capability capabilities[] = {
        {"kf1", KEY_F1},          {"kf2", KEY_F2},
        {"kf3", KEY_F3},          {"kf4", extended(0x3E)},
        {"kf5", extended(0x3F)},  {"kf6", extended(0x40)},
        {"kf7", extended(0x41)},  {"kf8", extended(0x42)},
        {"kf9", extended(0x43)},  {"kf10", extended(0x44)},
        {"kf11", extended(0x57)}, {"kf12", extended(0x58)},
        {"khome", KEY_HOME},      {"kend", KEY_END},
        {"kich1", KEY_INSERT},    {"kdch1", KEY_DELETE},
        {"kpp", KEY_PGUP},        {"knp", KEY_PGDN},
        {"kcuu1", KEY_UP},        {"kcud1", KEY_DOWN},
        {"kcub1", KEY_LEFT},      {"kcuf1", KEY_RIGHT},
        {"kent", KEY_PAD_ENTER},  {"ka1", KEY_HOME},
        {"ka3", KEY_PGUP},        {"kb2", extended(SCAN_CENTER)},
        {"kc1", KEY_END},         {"kc3", KEY_PGDN},
        {"kcbt", KEY_TAB},
    };
    for (const Capability& capability : capabilities) {
        const char* value = lookup(capability.name);
        // Only escape sequences are taught: single bytes such as kbs stay characters.
        if (value != nullptr && value[0] == '\x1b')
            addKeySequence(decoder, value, capability.key);
    }
}

DecodedKey decodeKey(const KeyDecoder& decoder, std::string_view input, bool complete) {
    if (input.empty())
        return need();
    if (input[0] == '\x1b')
        return decodeEscape(decoder, input, complete);
    return decodeCharacter(decoder, input, complete);
}
