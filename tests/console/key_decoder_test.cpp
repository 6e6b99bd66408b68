#include "console/key_decoder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Decodes a whole burst of bytes as readKey would: waits for more while a
// sequence may still grow, then decides once nothing else is coming.
std::vector<KeyCode> decodeAll(const KeyDecoder& decoder, std::string bytes) {
    std::vector<KeyCode> keys;
    while (!bytes.empty()) {
        DecodedKey decoded = decodeKey(decoder, bytes, false);
        if (decoded.length == 0)
            decoded = decodeKey(decoder, bytes, true);
        if (decoded.length <= 0) {
            ADD_FAILURE() << "no progress";
            break;
        }
        if (decoded.key != KEY_NONE)
            keys.push_back(decoded.key);
        bytes.erase(0, static_cast<size_t>(decoded.length));
    }
    return keys;
}

struct Case {
    const char* terminal;
    std::string bytes;
    std::vector<KeyCode> keys;
};

constexpr KeyCode F(int scan) {
    return KEY_EXTENDED + scan;
}

}  // namespace

TEST(KeyDecoder, TerminalSequences) {
    const Case cases[] = {
        // xterm and its relatives, tmux
        {"xterm", "\x1bOP", {KEY_F1}},
        {"xterm", "\x1bOQ", {KEY_F2}},
        {"xterm", "\x1bOR", {KEY_F3}},
        {"xterm", "\x1b[1;3R", {KEY_ALT_F3}},
        {"xterm", "\x1b[1;9R", {KEY_ALT_F3}},  // Meta counts as Alt
        {"xterm", "\x1b[1;2R", {F(0x7E)}},     // Shift-F3
        {"xterm", "\x1b[1;5R", {KEY_F3}},      // Ctrl adds nothing
        {"xterm", "\x1b[1;4R", {KEY_ALT_F3}},  // Alt wins over Shift
        {"xterm", "\x1b[1;3P", {F(0x68)}},
        {"xterm", "\x1b[1;2P", {F(0x7C)}},
        {"xterm", "\x1b[15~", {F(0x3F)}},
        {"xterm", "\x1b[21~", {F(0x44)}},
        {"xterm", "\x1b[23~", {F(0x57)}},
        {"xterm", "\x1b[24~", {F(0x58)}},
        {"xterm", "\x1b[23;3~", {F(0x84)}},
        {"xterm", "\x1b[24;3~", {F(0x85)}},
        {"xterm", "\x1b[20;2~", {F(0x84)}},  // Shift-F9, the same code as Alt-F11
        {"xterm", "\x1bOA\x1b[A\x1b[1;5A", {KEY_UP, KEY_UP, KEY_UP}},
        {"xterm", "\x1bOB\x1bOC\x1bOD", {KEY_DOWN, KEY_RIGHT, KEY_LEFT}},
        {"xterm", "\x1bOH\x1b[H\x1b[1~\x1b[7~", {KEY_HOME, KEY_HOME, KEY_HOME, KEY_HOME}},
        {"xterm", "\x1bOF\x1b[F\x1b[4~\x1b[8~", {KEY_END, KEY_END, KEY_END, KEY_END}},
        {"xterm", "\x1b[2~\x1b[3~\x1b[5~\x1b[6~", {KEY_INSERT, KEY_DELETE, KEY_PGUP, KEY_PGDN}},
        {"xterm", "\x1b[3;2~", {KEY_DELETE}},
        {"xterm", "\x1bOM", {KEY_PAD_ENTER}},
        {"xterm", "\x1bOE\x1b[E", {F(0x4C), F(0x4C)}},
        {"xterm", "\x1b[Z\x1b[1;2Z", {KEY_TAB, KEY_TAB}},  // Shift-Tab switches panels too
        {"xterm", "\x1bOo\x1bOj\x1bOk\x1bOm\x1bOp\x1bOy", {F(0x35), '*', '+', '-', '0', '9'}},
        // the Linux console
        {"linux",
         "\x1b[[A\x1b[[B\x1b[[C\x1b[[D\x1b[[E",
         {KEY_F1, KEY_F2, KEY_F3, F(0x3E), F(0x3F)}},
        {"linux", "\x1b[G", {F(0x4C)}},
        {"linux", "\x1b[25~", {F(0x7E)}},
        // rxvt
        {"rxvt", "\x1b[13~\x1b[13$\x1b[13^\x1b[13@", {KEY_F3, F(0x7E), KEY_F3, F(0x7E)}},
        {"rxvt", "\x1b[34~", {F(0x85)}},  // Shift-F10
        {"rxvt", "\x1b[a\x1bOd\x1b[7$", {KEY_UP, KEY_LEFT, KEY_HOME}},
    };
    KeyDecoder decoder;
    for (const Case& c : cases) {
        EXPECT_EQ(decodeAll(decoder, c.bytes), c.keys) << c.terminal << " " << c.bytes.substr(1);
    }
}

TEST(KeyDecoder, CharactersAndControlKeys) {
    const Case cases[] = {
        {"ascii", "aA~ ", {0x61, 0x41, 0x7E, 0x20}},
        {"control", "\r\t\x0c\x03\n", {KEY_ENTER, KEY_TAB, KEY_CTRL_L, 0x03, 0x0A}},
        {"backspace", "\x7f\x08", {KEY_BACKSPACE, KEY_BACKSPACE}},
        {"national", "éÇßñ", {0x82, 0x80, 0xE1, 0xA4}},
        {"no code page form", "€x😀y", {'x', 'y'}},
        {"broken utf-8",
         "\xff"
         "a\xc3"
         "b\x80"
         "c",
         {'a', 'b', 'c'}},
        {"overlong",
         "\xc0\xaf"
         "d",
         {'d'}},
        {"nul", std::string("\0e", 2), {'e'}},
        // Glyphs whose code page 437 bytes are control keys or ASCII are typed
        // characters, never Esc, Enter, Tab, Backspace, Ctrl-L or a letter.
        {"glyphs of control bytes", "←x♪○◘♀¶§→⌂y", {'x', 'y'}},
    };
    KeyDecoder decoder;
    for (const Case& c : cases) {
        EXPECT_EQ(decodeAll(decoder, c.bytes), c.keys) << c.terminal;
    }
}

TEST(KeyDecoder, EscapeAndIncompleteSequences) {
    KeyDecoder decoder;
    EXPECT_EQ(decodeAll(decoder, "\x1b"), std::vector<KeyCode>{KEY_ESC});
    EXPECT_EQ(decodeAll(decoder, "\x1b\x1b"), (std::vector<KeyCode>{KEY_ESC, KEY_ESC}));
    EXPECT_EQ(decodeAll(decoder, "\x1b\x1b\x1b"),
              (std::vector<KeyCode>{KEY_ESC, KEY_ESC, KEY_ESC}));
    EXPECT_EQ(decodeAll(decoder, "\x1b["), (std::vector<KeyCode>{KEY_ESC, '['}));
    EXPECT_EQ(decodeAll(decoder, "\x1bO"), (std::vector<KeyCode>{KEY_ESC, 'O'}));

    // Until the timeout a started sequence waits for its remaining bytes.
    for (const char* start :
         {"\x1b", "\x1b[", "\x1b[1", "\x1b[1;3", "\x1bO", "\x1b[[", "\xc3", "\xe2\x95"}) {
        EXPECT_EQ(decodeKey(decoder, start, false).length, 0) << start + 1;
    }
    DecodedKey up = decodeKey(decoder, "\x1bOAx", false);
    EXPECT_EQ(up.length, 3);
    EXPECT_EQ(up.key, KEY_UP);
}

// Esc typed quickly before another key arrives in one burst with it: the Esc
// is never taken as Alt held with that key, and is decided without waiting.
TEST(KeyDecoder, EscBeforeAnotherKeyIsTwoKeys) {
    const Case cases[] = {
        {"character", "\x1b*", {KEY_ESC, '*'}},
        {"letter then national",
         "\x1b"
         "a\x1b\xc3\xa9",
         {KEY_ESC, 'a', KEY_ESC, 0x82}},
        {"glyph without a key", "\x1b←\x1b←z", {KEY_ESC, KEY_ESC, 'z'}},
        {"alt-f7 in xterm", "\x1b\x1b[18;3~", {KEY_ESC, KEY_ALT_F7}},
        {"f3 in screen", "\x1b\x1bOR", {KEY_ESC, KEY_F3}},
        {"f3 in rxvt", "\x1b\x1b[13~", {KEY_ESC, KEY_F3}},
        {"shift-f3", "\x1b\x1b[1;2R", {KEY_ESC, F(0x7E)}},
        {"up", "\x1b\x1b[A", {KEY_ESC, KEY_UP}},
    };
    KeyDecoder decoder;
    for (const Case& c : cases) {
        EXPECT_EQ(decodeAll(decoder, c.bytes), c.keys) << c.terminal;
    }
    for (const char* burst : {"\x1b*", "\x1b\x1b", "\x1b\x1b[", "\x1b\x1bO", "\x1b\xc3"}) {
        DecodedKey esc = decodeKey(decoder, burst, false);
        EXPECT_EQ(esc.length, 1) << burst + 1;
        EXPECT_EQ(esc.key, KEY_ESC) << burst + 1;
    }
}

TEST(KeyDecoder, ReportsAndMouseAreNeverKeys) {
    KeyDecoder decoder;
    EXPECT_EQ(decodeAll(decoder, "\x1b[M !!x"), std::vector<KeyCode>{'x'});
    EXPECT_EQ(decodeAll(decoder, "\x1b[<0;10;5M\x1b[<0;10;5my"), std::vector<KeyCode>{'y'});
    EXPECT_EQ(decodeAll(decoder, "\x1b[I\x1b[O\x1b[200~z\x1b[201~"), std::vector<KeyCode>{'z'});
    EXPECT_EQ(decodeAll(decoder, "\x1b[?1;2c\x1b[99~"), std::vector<KeyCode>{});
}

TEST(KeyDecoder, LatinOneInput) {
    KeyDecoder decoder;
    decoder.utf8 = false;
    EXPECT_EQ(decodeAll(decoder,
                        "\xe9\xc7\x9b"
                        "a"),
              (std::vector<KeyCode>{0x82, 0x80, 'a'}));
    // Pilcrow and section sign sit on control bytes of the code page.
    EXPECT_EQ(decodeAll(decoder, "\xb6\xa7\xa0"), std::vector<KeyCode>{0xFF});
}

TEST(KeyDecoder, TerminfoStringsTakePrecedence) {
    std::map<std::string, const char*> entry = {{"kf2", "\x1b[99z"},
                                                {"kbs", "\x08"},
                                                {"kf1", "\x1b[11~"},
                                                {"kent", "\x1bOM"},
                                                {"kcbt", "\x1b[9z"}};
    KeyDecoder decoder;
    addTerminfoKeys(&decoder, [&](const char* name) -> const char* {
        auto found = entry.find(name);
        return found == entry.end() ? nullptr : found->second;
    });
    EXPECT_EQ(decodeAll(decoder, "\x1b[99z\x1b[11~\x7f\x1b[9z"),
              (std::vector<KeyCode>{KEY_F2, KEY_F1, KEY_BACKSPACE, KEY_TAB}));
    EXPECT_EQ(decodeAll(decoder, "\x1b\x1b[99z"), (std::vector<KeyCode>{KEY_ESC, KEY_F2}));
    addKeySequence(&decoder, "\x1b[1;3R", KEY_F1);
    EXPECT_EQ(decodeAll(decoder, "\x1b[1;3R"), std::vector<KeyCode>{KEY_F1});
}
