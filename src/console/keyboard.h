// Key codes and the keyboard reader.
//
// Characters arrive as their code page 437 byte (0-255); other keys as
// KEY_EXTENDED + the PC scan code, + 0x2D with Alt, + 0x41 with Shift for F1-F12.
#pragma once

using KeyCode = int;

constexpr KeyCode KEY_NONE = -1;       // no key will ever come: input ended or is not a terminal
constexpr KeyCode KEY_NOT_READY = -2;  // no key typed yet (pollKey)
constexpr KeyCode KEY_EXTENDED = 0x100;

constexpr KeyCode KEY_BACKSPACE = 0x08;
constexpr KeyCode KEY_TAB = 0x09;
constexpr KeyCode KEY_CTRL_L = 0x0C;
constexpr KeyCode KEY_ENTER = 0x0D;
constexpr KeyCode KEY_ESC = 0x1B;
constexpr KeyCode KEY_F1 = 0x13B;
constexpr KeyCode KEY_F2 = 0x13C;
constexpr KeyCode KEY_F3 = 0x13D;
constexpr KeyCode KEY_F4 = 0x13E;
constexpr KeyCode KEY_F10 = 0x144;
constexpr KeyCode KEY_HOME = 0x147;
constexpr KeyCode KEY_UP = 0x148;
constexpr KeyCode KEY_PGUP = 0x149;
constexpr KeyCode KEY_LEFT = 0x14B;
constexpr KeyCode KEY_RIGHT = 0x14D;
constexpr KeyCode KEY_END = 0x14F;
constexpr KeyCode KEY_DOWN = 0x150;
constexpr KeyCode KEY_PGDN = 0x151;
constexpr KeyCode KEY_INSERT = 0x152;
constexpr KeyCode KEY_DELETE = 0x153;
constexpr KeyCode KEY_ALT_F3 = 0x16A;
constexpr KeyCode KEY_SHIFT_F1 = 0x17C;
constexpr KeyCode KEY_ALT_F7 = 0x16E;
constexpr KeyCode KEY_PAD_ENTER = 0x11C;

// Whether `scan` is the scan code of one of F1-F12 (0x3B-0x44, 0x57, 0x58).
constexpr bool isFunctionKeyScan(int scan) {
    return (scan >= 0x3B && scan <= 0x44) || scan == 0x57 || scan == 0x58;
}

// The KeyCode of the key with scan code `scan`: F1-F12 move by 0x2D under
// Alt, else by 0x41 under Shift; other keys stay as they are.
constexpr KeyCode extendedKey(int scan, bool alt, bool shift) {
    if (isFunctionKeyScan(scan))
        scan += alt ? 0x2D : shift ? 0x41 : 0;
    return KEY_EXTENDED + scan;
}

// Waits for the next key press and returns it; KEY_NONE when no key will come.
KeyCode readKey();
// Returns the next key already typed without waiting for one (a long operation
// looking for Esc); KEY_NOT_READY when none is, KEY_NONE when none will come.
KeyCode pollKey();
