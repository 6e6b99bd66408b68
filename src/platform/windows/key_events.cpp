#include "platform/windows/key_events.h"

#include "text/cp437.h"

namespace {

constexpr uint16_t SCAN_ESC = 0x01;
constexpr uint16_t SCAN_LEFT_SHIFT = 0x2A;
constexpr uint16_t SCAN_RIGHT_SHIFT = 0x36;
constexpr uint16_t SCAN_CTRL = 0x1D;
constexpr uint16_t SCAN_ALT = 0x38;
constexpr uint16_t SCAN_KEYPAD_FIRST = 0x47;  // keypad 7 / Home
constexpr uint16_t SCAN_KEYPAD_LAST = 0x53;   // keypad decimal point / Delete

constexpr uint16_t VK_SHIFT_KEY = 0x10;
constexpr uint16_t VK_CONTROL_KEY = 0x11;
constexpr uint16_t VK_ALT_KEY = 0x12;
constexpr uint16_t VK_NUMPAD_0 = 0x60;
constexpr uint16_t VK_NUMPAD_9 = 0x69;

bool isModifierOnly(const WindowsKeyEvent& event) {
    switch (event.virtualKey) {
        case VK_SHIFT_KEY:
        case VK_CONTROL_KEY:
        case VK_ALT_KEY:
        // clang-format off
        case 0xA0: case 0xA1:  // left and right Shift
        case 0xA2: case 0xA3:  // left and right Ctrl
        case 0xA4: case 0xA5:  // left and right Alt
            // clang-format on
            return true;
        default:
            break;
    }
    // Wine and some input tools send modifier events with a scan code only.
    return event.virtualKey == 0 &&
           (event.scanCode == SCAN_LEFT_SHIFT || event.scanCode == SCAN_RIGHT_SHIFT ||
            event.scanCode == SCAN_CTRL || event.scanCode == SCAN_ALT);
}

// Scan codes of the keys the program acts on, for events that carry a
// virtual key but no scan code (written by other programs into the input).
uint16_t scanOfVirtualKey(uint16_t virtualKey) {
    if (virtualKey >= 0x70 && virtualKey <= 0x79)  // F1-F10
        return uint16_t(0x3B + (virtualKey - 0x70));
    switch (virtualKey) {
        // clang-format off
        case 0x7A: return 0x57;  // F11
        case 0x7B: return 0x58;  // F12
        case 0x1B: return 0x01;  // Esc
        case 0x0D: return 0x1C;  // Enter
        case 0x08: return 0x0E;  // Backspace
        case 0x09: return 0x0F;  // Tab
        case 0x24: return 0x47;  // Home
        case 0x26: return 0x48;  // Up
        case 0x21: return 0x49;  // PgUp
        case 0x25: return 0x4B;  // Left
        case 0x27: return 0x4D;  // Right
        case 0x23: return 0x4F;  // End
        case 0x28: return 0x50;  // Down
        case 0x22: return 0x51;  // PgDn
        case 0x2D: return 0x52;  // Insert
        case 0x2E: return 0x53;  // Delete
        default: return 0;
            // clang-format on
    }
}

// The keys of the numeric keypad, by scan code (with Num Lock off they report
// the cursor keys' virtual keys, so the scan code decides) or, for events
// without one, by the virtual keys of the digits.
bool isKeypadKey(const WindowsKeyEvent& event) {
    if ((event.controlKeyState & WIN_ENHANCED_KEY) != 0)
        return false;
    if (event.scanCode != 0)
        return event.scanCode >= SCAN_KEYPAD_FIRST && event.scanCode <= SCAN_KEYPAD_LAST;
    return event.virtualKey >= VK_NUMPAD_0 && event.virtualKey <= VK_NUMPAD_9;
}

// The code page 437 byte of a typed character; control characters (Enter,
// Esc, Ctrl combinations) stand for themselves.
KeyCode characterKey(char16_t character) {
    if (character < 0x20 || character == 0x7F)
        return character;
    int byte = unicodeToCp437(character);
    return byte < 0 ? KEY_NONE : byte;
}

}  // namespace

KeyCode decodeWindowsKeyEvent(const WindowsKeyEvent& event) {
    if (!event.keyDown) {
        // A character composed with Alt and the keypad arrives when Alt is let go.
        if (event.virtualKey == VK_ALT_KEY && event.character != 0)
            return characterKey(event.character);
        return KEY_NONE;
    }
    if (isModifierOnly(event))
        return KEY_NONE;
    // Alt with keypad digits composes a character; until Alt is let go the
    // console reports the digits as they are, cursor keys when Num Lock is off.
    if ((event.controlKeyState & (WIN_LEFT_ALT | WIN_RIGHT_ALT)) != 0 && isKeypadKey(event))
        return KEY_NONE;
    if ((event.controlKeyState & WIN_ENHANCED_KEY) == 0 && event.character != 0)
        return characterKey(event.character);

    uint16_t scan = event.scanCode != 0 ? event.scanCode : scanOfVirtualKey(event.virtualKey);
    if (scan == 0)
        return KEY_NONE;
    if (scan == SCAN_LEFT_SHIFT || scan == SCAN_RIGHT_SHIFT || scan == SCAN_CTRL ||
        scan == SCAN_ALT)
        return KEY_NONE;
    if (scan == SCAN_ESC)
        return KEY_ESC;
    return extendedKey(scan, (event.controlKeyState & (WIN_LEFT_ALT | WIN_RIGHT_ALT)) != 0,
                       (event.controlKeyState & WIN_SHIFT) != 0);
}

void queueWindowsKeyEvent(WindowsKeyQueue* queue, const WindowsKeyEvent& event) {
    queue->key = decodeWindowsKeyEvent(event);
    // A release (the Alt release that brings a composed character) is one
    // press; a key-down counts as often as the console says it repeated.
    uint32_t presses = event.keyDown && event.repeatCount > 1 ? event.repeatCount : 1;
    queue->count = queue->key == KEY_NONE ? 0 : presses;
}

KeyCode takeWindowsKey(WindowsKeyQueue* queue) {
    if (queue->count == 0)
        return KEY_NONE;
    --queue->count;
    return queue->key;
}
