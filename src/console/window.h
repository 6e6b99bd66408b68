// Framed windows, the one-line input dialog and small text helpers.
#pragma once

#include <cstdint>

// One input line and its editing state. Fields marked "in" are set by the
// caller; the dialog computes the others. The buffer outlives the dialog.
struct InputLine {
    int32_t cursor = 0;
    int32_t column = 0;
    int32_t row = 0;
    int32_t promptLength = 0;
    int32_t length = 0;
    int32_t insertMode = 0;
    int32_t maximum = 0;           // in: most characters, and the field's width
    int32_t columnOffset = 0;      // in: prompt column from the window's left edge
    int32_t rowOffset = 0;         // in: line row from the window's top edge
    uint8_t promptAttribute = 0;   // in
    uint8_t textAttribute = 0;     // in
    const char* prompt = nullptr;  // in: without the ": "
    char* buffer = nullptr;        // in/out: at least maximum + 1 bytes
};

// Draws a frame with the title set into its top border and clears its inside.
void drawWindow(const char* title, int left, int top, int width, int height, uint8_t attribute);

// Runs the modal input dialog. Returns 1 when accepted with Enter, 0 when
// cancelled with Esc (or when no key will come); the buffer keeps the text.
int inputDialog(int left, int top, int width, int height, uint8_t attribute, InputLine* line,
                const char* title);

// Centres `text` (holding `marks` marker characters) in `width` cells into
// `destination`, which must hold width + marks + 1 bytes; returns it.
char* centerText(char* destination, const char* text, int width, int marks);

// Shortens a path to at most `limit` characters with "\..." and upper-cases it;
// `destination` must hold limit + 1 bytes: the result never exceeds the limit (a
// file name too long to fit is cut). Returns it.
char* shortenPath(char* destination, const char* path, int limit);

// Drops everything before the first '\' of `text`, in place; returns it.
char* cutToBackslash(char* text);

// Makes an archive name usable as an output name, in place: '/' becomes '\',
// ! " * + , : ; < = > ? [ ] | become '_'. Returns it.
char* sanitizeFilename(char* path);

// True for the characters a file name may hold (0x21-0x80 but " ! * + , . / : ; < = > ? [ \ ] |).
bool isFilenameChar(int c);
