// Windows console key events to KeyCodes, as one table.
#include <gtest/gtest.h>

#include <vector>

#include "platform/windows/key_events.h"

namespace {

struct KeyCase {
    const char* what;
    WindowsKeyEvent event;
    KeyCode expected;
};

constexpr uint32_t ENH = WIN_ENHANCED_KEY;

const KeyCase KEY_CASES[] = {
    // Characters, control characters included, arrive as themselves.
    {"letter a", {true, 0x41, 0x1E, u'a', 0}, 0x61},
    {"letter A with Caps Lock", {true, 0x41, 0x1E, u'A', 0x80}, 0x41},
    {"Enter", {true, 0x0D, 0x1C, u'\r', 0}, KEY_ENTER},
    {"Esc", {true, 0x1B, 0x01, 0x1B, 0}, KEY_ESC},
    {"Esc without a character", {true, 0x1B, 0x01, 0, 0}, KEY_ESC},
    {"Tab", {true, 0x09, 0x0F, u'\t', 0}, KEY_TAB},
    {"Backspace", {true, 0x08, 0x0E, 0x08, 0}, KEY_BACKSPACE},
    {"Ctrl-L", {true, 0x4C, 0x26, 0x0C, WIN_LEFT_CTRL}, KEY_CTRL_L},
    {"Ctrl-C", {true, 0x43, 0x2E, 0x03, WIN_LEFT_CTRL}, 0x03},
    {"star on the keypad", {true, 0x6A, 0x37, u'*', 0}, '*'},
    // National characters become their code page 437 byte, never negative.
    {"e acute", {true, 0xDE, 0x28, u'\u00E9', 0}, 0x82},
    {"sharp s", {true, 0xDB, 0x0C, u'\u00DF', 0}, 0xE1},
    {"u umlaut typed with AltGr",
     {true, 0x55, 0x16, u'\u00FC', WIN_RIGHT_ALT | WIN_LEFT_CTRL},
     0x81},
    {"character without a code page 437 form", {true, 0x45, 0x12, u'\u20AC', 0}, KEY_NONE},
    {"Alt and keypad composition, on Alt release", {false, 0x12, 0x38, u'\u00E4', 0}, 0x84},
    // Function keys with their modifier offsets; Ctrl adds nothing.
    {"F1", {true, 0x70, 0x3B, 0, 0}, KEY_F1},
    {"F2", {true, 0x71, 0x3C, 0, 0}, KEY_F2},
    {"F3", {true, 0x72, 0x3D, 0, 0}, KEY_F3},
    {"Alt-F3", {true, 0x72, 0x3D, 0, WIN_LEFT_ALT}, KEY_ALT_F3},
    {"right Alt-F3", {true, 0x72, 0x3D, 0, WIN_RIGHT_ALT}, KEY_ALT_F3},
    {"Shift-F3", {true, 0x72, 0x3D, 0, WIN_SHIFT}, 0x17E},
    {"Alt and Shift F3 take Alt", {true, 0x72, 0x3D, 0, WIN_SHIFT | WIN_LEFT_ALT}, KEY_ALT_F3},
    {"Ctrl-F3", {true, 0x72, 0x3D, 0, WIN_LEFT_CTRL}, KEY_F3},
    {"F11", {true, 0x7A, 0x57, 0, 0}, 0x157},
    {"Alt-F12", {true, 0x7B, 0x58, 0, WIN_LEFT_ALT}, 0x185},
    // The grey block and the keypad with Num Lock off give the same codes.
    {"grey Home", {true, 0x24, 0x47, 0, ENH}, KEY_HOME},
    {"keypad Home", {true, 0x24, 0x47, 0, 0}, KEY_HOME},
    {"grey Up", {true, 0x26, 0x48, 0, ENH}, KEY_UP},
    {"keypad Up", {true, 0x26, 0x48, 0, 0}, KEY_UP},
    {"grey PgDn", {true, 0x22, 0x51, 0, ENH}, KEY_PGDN},
    {"keypad PgDn", {true, 0x22, 0x51, 0, 0}, KEY_PGDN},
    {"grey Insert", {true, 0x2D, 0x52, 0, ENH}, KEY_INSERT},
    {"keypad Delete", {true, 0x2E, 0x53, 0, 0}, KEY_DELETE},
    {"keypad 8 with Num Lock on", {true, 0x68, 0x48, u'8', WIN_NUMLOCK_ON}, '8'},
    // Enhanced keys with a character keep their scan code.
    {"keypad Enter", {true, 0x0D, 0x1C, u'\r', ENH}, KEY_PAD_ENTER},
    {"keypad slash", {true, 0x6F, 0x35, u'/', ENH}, 0x135},
    {"Caps Lock", {true, 0x14, 0x3A, 0, 0}, 0x13A},
    // Events written by programs may carry the virtual key only.
    {"F2 by virtual key", {true, 0x71, 0, 0, 0}, KEY_F2},
    {"Alt-F3 by virtual key", {true, 0x72, 0, 0, WIN_LEFT_ALT}, KEY_ALT_F3},
    {"Down by virtual key", {true, 0x28, 0, 0, ENH}, KEY_DOWN},
    {"unknown key without scan code", {true, 0xFF, 0, 0, 0}, KEY_NONE},
    // Nothing for releases and modifiers on their own.
    {"release of a", {false, 0x41, 0x1E, u'a', 0}, KEY_NONE},
    {"Shift alone", {true, 0x10, 0x2A, 0, WIN_SHIFT}, KEY_NONE},
    {"right Shift alone", {true, 0x10, 0x36, 0, WIN_SHIFT}, KEY_NONE},
    {"Shift with no scan code", {true, 0x10, 0, 0, 0}, KEY_NONE},
    {"left Shift virtual key", {true, 0xA0, 0x2A, 0, 0}, KEY_NONE},
    {"Ctrl alone", {true, 0x11, 0x1D, 0, WIN_LEFT_CTRL}, KEY_NONE},
    {"right Ctrl alone", {true, 0x11, 0x1D, 0, ENH | WIN_RIGHT_CTRL}, KEY_NONE},
    {"Alt alone", {true, 0x12, 0x38, 0, WIN_LEFT_ALT}, KEY_NONE},
    {"modifier by scan code only", {true, 0, 0x2A, 0, 0}, KEY_NONE},
};

TEST(WindowsKeyEvents, EveryRowOfTheTable) {
    for (const KeyCase& row : KEY_CASES)
        EXPECT_EQ(decodeWindowsKeyEvent(row.event), row.expected) << row.what;
}

// The presses a run of events gives, as the console's reader returns them.
std::vector<KeyCode> pressesOf(const std::vector<WindowsKeyEvent>& events) {
    std::vector<KeyCode> presses;
    WindowsKeyQueue queue;
    for (const WindowsKeyEvent& event : events) {
        queueWindowsKeyEvent(&queue, event);
        for (KeyCode key = takeWindowsKey(&queue); key != KEY_NONE; key = takeWindowsKey(&queue))
            presses.push_back(key);
    }
    return presses;
}

constexpr uint32_t ALT = WIN_LEFT_ALT;

// A keypad key pressed and let go with Alt held.
void addAltPadKey(std::vector<WindowsKeyEvent>* events, uint16_t virtualKey, uint16_t scanCode,
                  uint32_t state) {
    events->push_back({true, virtualKey, scanCode, 0, ALT | state});
    events->push_back({false, virtualKey, scanCode, 0, ALT | state});
}

// Alt held, the keypad digits of 0228 (Num Lock off: Ins, End-Down-Down, Up
// stand for 0, 2, 2, 8 on the keypad; on: the digits' own keys), Alt let go
// bringing the composed ä.
std::vector<WindowsKeyEvent> altKeypad0228(bool numLock) {
    std::vector<WindowsKeyEvent> events = {{true, 0x12, 0x38, 0, ALT}};
    const uint32_t lock = numLock ? WIN_NUMLOCK_ON : 0;
    addAltPadKey(&events, numLock ? 0x60 : 0x2D, 0x52, lock);
    addAltPadKey(&events, numLock ? 0x62 : 0x28, 0x50, lock);
    addAltPadKey(&events, numLock ? 0x62 : 0x28, 0x50, lock);
    addAltPadKey(&events, numLock ? 0x68 : 0x26, 0x48, lock);
    events.push_back({false, 0x12, 0x38, u'\u00E4', lock});
    return events;
}

TEST(WindowsKeyEvents, RunsOfEvents) {
    struct RunCase {
        const char* what;
        std::vector<WindowsKeyEvent> events;
        std::vector<KeyCode> expected;
    };
    const RunCase runs[] = {
        {"Alt and keypad 0228, Num Lock off", altKeypad0228(false), {0x84}},
        {"Alt and keypad 0228, Num Lock on", altKeypad0228(true), {0x84}},
        {"grey arrows with Alt held still move",
         {{true, 0x12, 0x38, 0, ALT}, {true, 0x26, 0x48, 0, ALT | ENH}, {false, 0x12, 0x38, 0, 0}},
         {KEY_UP}},
        {"keypad arrows without Alt move",
         {{true, 0x28, 0x50, 0, 0}, {true, 0x2D, 0x52, 0, 0}},
         {KEY_DOWN, KEY_INSERT}},
        {"a held arrow as one event for three presses",
         {{true, 0x28, 0x50, 0, ENH, 3}},
         {KEY_DOWN, KEY_DOWN, KEY_DOWN}},
        {"a held letter as one event for two presses, then another key",
         {{true, 0x41, 0x1E, u'a', 0, 2}, {true, 0x1B, 0x01, 0x1B, 0}},
         {'a', 'a', KEY_ESC}},
        {"a repeat count of 0 is one press", {{true, 0x41, 0x1E, u'a', 0, 0}}, {'a'}},
        {"a release is one press, whatever its count",
         {{false, 0x12, 0x38, u'\u00E4', 0, 4}},
         {0x84}},
    };
    for (const RunCase& run : runs) EXPECT_EQ(pressesOf(run.events), run.expected) << run.what;
}

}  // namespace
