// Console key events of Windows turned into KeyCodes.
//
// Pure and free of <windows.h>: the fields of a KEY_EVENT_RECORD are copied
// into a WindowsKeyEvent, so the rules can be tested as tables on any host.
#pragma once

#include <cstdint>

#include "console/keyboard.h"

// The fields of one console key event (KEY_EVENT_RECORD).
struct WindowsKeyEvent {
    bool keyDown = true;
    uint16_t virtualKey = 0;       // wVirtualKeyCode
    uint16_t scanCode = 0;         // wVirtualScanCode
    char16_t character = 0;        // uChar.UnicodeChar
    uint32_t controlKeyState = 0;  // dwControlKeyState
    uint16_t repeatCount = 1;      // wRepeatCount: presses of a held key this event stands for
};

// Bits of dwControlKeyState, as the console sets them.
constexpr uint32_t WIN_RIGHT_ALT = 0x0001;
constexpr uint32_t WIN_LEFT_ALT = 0x0002;
constexpr uint32_t WIN_RIGHT_CTRL = 0x0004;
constexpr uint32_t WIN_LEFT_CTRL = 0x0008;
constexpr uint32_t WIN_SHIFT = 0x0010;
constexpr uint32_t WIN_NUMLOCK_ON = 0x0020;
constexpr uint32_t WIN_ENHANCED_KEY = 0x0100;

// The KeyCode of one key event, or KEY_NONE when the event gives no key:
// releases, the modifier keys on their own, characters with no code page 437
// form. A key with a character (not an enhanced key) gives that character as
// its code page 437 byte (0-255); any other key KEY_EXTENDED + its scan code,
// with 0x2D added for F1-F12 under Alt, else 0x41 under Shift; Esc gives 0x1B.
// A missing scan code (events made by programs) is taken from the virtual key.
// While Alt is held the keypad's keys (not the grey block) give nothing: they
// compose a character, which comes with the release of Alt.
KeyCode decodeWindowsKeyEvent(const WindowsKeyEvent& event);

// Key presses decoded from console events and not yet returned: one event
// may stand for several presses of a held key.
struct WindowsKeyQueue {
    KeyCode key = KEY_NONE;
    uint32_t count = 0;
};

// Decodes `event` into `queue` (which should be empty): its KeyCode once for
// every press it stands for (its repeat count, at least one), or nothing.
void queueWindowsKeyEvent(WindowsKeyQueue* queue, const WindowsKeyEvent& event);

// Takes the next key press from `queue`; KEY_NONE when it is empty.
KeyCode takeWindowsKey(WindowsKeyQueue* queue);
