// Turns the bytes a terminal sends for key presses into KeyCodes.
//
// Pure and free of curses, so that it can be fed raw byte sequences in tests.
// It knows the sequence families of xterm and its relatives, tmux, screen,
// rxvt and the Linux console; a terminal's own terminfo strings are added on top.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/keyboard.h"

// The key found at the front of the input bytes.
struct DecodedKey {
    int length = 0;          // bytes it takes; 0 when more bytes are needed to tell
    KeyCode key = KEY_NONE;  // KEY_NONE when the bytes make no key to return
};

struct KeyDecoder {
    // True when typed characters arrive as UTF-8; otherwise as Latin-1 bytes.
    bool utf8 = true;
    // Sequences taught from terminfo, tried before the built-in forms.
    std::vector<std::pair<std::string, KeyCode>> sequences;
};

// Teaches `decoder` that `sequence` (two bytes or more) is `key`.
void addKeySequence(KeyDecoder* decoder, std::string_view sequence, KeyCode key);

// Teaches `decoder` the key strings of a terminfo entry; `lookup` returns the
// string of a capability such as "kf1" or null when the entry has none.
void addTerminfoKeys(KeyDecoder* decoder, const std::function<const char*(const char*)>& lookup);

// Decodes the key at the front of `input`. While `complete` is false, bytes that
// may be the start of a longer sequence give length 0 (wait for more); once no
// more bytes came in time, `complete` is true and a lone ESC is the Esc key.
// An ESC that does not start a known sequence is the Esc key on its own, and
// the bytes after it are the next key (Esc typed quickly before `*` or before
// Alt-F7 is two keys, never Alt with that key).
// Mouse reports, other terminal reports, unknown sequences and characters
// without a code page 437 form are used up with the key KEY_NONE; so are typed
// characters whose code page 437 byte lies below 0x80 (the glyphs ← ♪ ○ ...
// on the bytes of Esc, Enter, Tab), which must never act as control keys.
DecodedKey decodeKey(const KeyDecoder& decoder, std::string_view input, bool complete);
