// Framed windows, the one-line input dialog and the small text helpers.
#include "console/window.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "console/keyboard.h"
#include "console/screen.h"
#include "text/ascii_fold.h"
#include "text/cp437.h"

namespace {

constexpr Cp437Text TOP_LEFT{"╔═► ~"};
constexpr Cp437Text TITLE_END{"~ ◄"};
constexpr Cp437Text TOP_RIGHT{"═╗"};
constexpr Cp437Text DOUBLE_HORIZONTAL{"═"};
constexpr Cp437Text DOUBLE_VERTICAL{"║"};
constexpr Cp437Text BOTTOM_LEFT{"╚"};
constexpr Cp437Text BOTTOM_RIGHT{"╝"};

// Characters the input line takes: all printable ASCII and 0x80, but the blank
// and the ones that cannot stand in a wildcard mask of a file name.
bool isMaskChar(KeyCode key) {
    if (key < 0x21 || key > 0x80)
        return false;
    return std::strchr("\"+,/:;<=>|", key) == nullptr;
}

// The field shows the text exactly as typed: a '~' in a mask is a character
// like any other, never a colour switch.
void drawField(const InputLine* line) {
    putText(line->row, line->column + line->promptLength + 2, line->textAttribute, line->buffer,
            static_cast<unsigned>(line->maximum));
}

// Keeps the cursor on the text (or just after it) and inside the field, then shows it.
void placeCursor(InputLine* line) {
    if (line->cursor > line->length)
        --line->cursor;
    if (line->cursor > line->maximum - 1)
        --line->cursor;
    if (line->cursor < 0)
        ++line->cursor;
    cursorSet(line->column + line->promptLength + 2 + line->cursor, line->row);
}

void enterCharacter(InputLine* line, char c) {
    if (line->maximum <= 0)
        return;  // no room at all: the buffer holds only its terminator
    char* buffer = line->buffer;
    if (line->insertMode) {
        if (line->length < line->maximum) {
            std::memmove(buffer + line->cursor + 1, buffer + line->cursor,
                         static_cast<size_t>(line->length - line->cursor));
            ++line->length;
        } else {
            // A full line pushes its last character out.
            std::memmove(buffer + line->cursor + 1, buffer + line->cursor,
                         static_cast<size_t>(line->length - line->cursor - 1));
        }
        buffer[line->cursor] = c;
    } else {
        if (line->cursor == line->length && line->length < line->maximum)
            ++line->length;
        buffer[line->cursor] = c;
    }
}

}  // namespace

void drawWindow(const char* title, int left, int top, int width, int height, uint8_t attribute) {
    std::string titleText = title ? title : "";
    int room = width - 8 > 0 ? width - 8 : 0;
    if (static_cast<int>(titleText.size()) > room)
        titleText.resize(room);

    std::string line = TOP_LEFT.c_str();
    line += titleText;
    line += TITLE_END.c_str();
    // With no title the two markers would meet, and the second would show as a
    // tilde and leave the rest of the border highlighted; drop them instead.
    if (titleText.empty())
        line = std::string(TOP_LEFT.c_str(), 4) + (TITLE_END.c_str() + 1);
    for (int i = 0; i < width - static_cast<int>(titleText.size()) - 8; ++i) {
        line += DOUBLE_HORIZONTAL.c_str();
    }
    line += TOP_RIGHT.c_str();
    putMarkup(top, left, attribute, line.c_str(), static_cast<unsigned>(width));

    line = DOUBLE_VERTICAL.c_str();
    line.append(width > 2 ? width - 2 : 0, ' ');
    line += DOUBLE_VERTICAL.c_str();
    for (int row = top + 1; row <= top + height - 2; ++row) {
        putMarkup(row, left, attribute, line.c_str(), static_cast<unsigned>(width));
    }

    line = BOTTOM_LEFT.c_str();
    for (int i = 0; i < width - 2; ++i) line += DOUBLE_HORIZONTAL.c_str();
    line += BOTTOM_RIGHT.c_str();
    putMarkup(top + height - 1, left, attribute, line.c_str(), static_cast<unsigned>(width));
}

int inputDialog(int left, int top, int width, int height, uint8_t attribute, InputLine* line,
                const char* title) {
    drawWindow(title, left, top, width, height, attribute);

    line->column = line->columnOffset + left;
    line->row = line->rowOffset + top;
    const char* prompt = line->prompt ? line->prompt : "";
    line->promptLength = static_cast<int32_t>(std::strlen(prompt));
    putMarkup(line->row, line->column, line->promptAttribute, prompt,
              static_cast<unsigned>(line->promptLength));
    putMarkup(line->row, line->column + line->promptLength, line->promptAttribute, ": ", 2);

    // A text longer than the field is cut, so editing never runs past the buffer.
    line->length = static_cast<int32_t>(strnlen(line->buffer, line->maximum));
    std::memset(line->buffer + line->length, 0,
                static_cast<size_t>(line->maximum - line->length + 1));
    drawField(line);

    line->insertMode = 0;
    cursorShape(CURSOR_OVERWRITE);
    line->cursor = 0;
    placeCursor(line);
    putShadow(top, left, top + height - 1, left + width);

    int result = 0;
    bool changed = true;
    for (;;) {
        // Cursor moves only move the console cursor; the screen is shown again
        // once the text has changed.
        if (changed)
            screenFlush();
        changed = false;
        KeyCode key = readKey();
        if (key == KEY_ENTER) {
            result = 1;
            break;
        }
        if (key == KEY_ESC || key == KEY_NONE)
            break;
        switch (key) {
            case KEY_BACKSPACE:
                // Nothing precedes the first character: the line stays as it is.
                if (line->cursor > 0) {
                    std::memmove(line->buffer + line->cursor - 1, line->buffer + line->cursor,
                                 static_cast<size_t>(line->length - line->cursor + 1));
                    --line->length;
                    drawField(line);
                    changed = true;
                    --line->cursor;
                    placeCursor(line);
                }
                break;
            case KEY_DELETE:
                if (line->cursor < line->length) {
                    std::memmove(line->buffer + line->cursor, line->buffer + line->cursor + 1,
                                 static_cast<size_t>(line->length - line->cursor));
                    --line->length;
                    drawField(line);
                    changed = true;
                }
                break;
            case KEY_LEFT:
                --line->cursor;
                placeCursor(line);
                break;
            case KEY_RIGHT:
                ++line->cursor;
                placeCursor(line);
                break;
            case KEY_HOME:
                line->cursor = 0;
                placeCursor(line);
                break;
            case KEY_END:
                line->cursor = line->length;
                placeCursor(line);
                break;
            case KEY_INSERT:
                line->insertMode = !line->insertMode;
                cursorShape(line->insertMode ? CURSOR_INSERT : CURSOR_OVERWRITE);
                break;
            default:
                if (isMaskChar(key)) {
                    enterCharacter(line, static_cast<char>(key));
                    drawField(line);
                    changed = true;
                    ++line->cursor;
                    placeCursor(line);
                }
                break;
        }
    }
    cursorShape(CURSOR_HIDDEN);
    return result;
}

char* centerText(char* destination, const char* text, int width, int marks) {
    int total = width + marks;
    if (total < 0)
        total = 0;
    std::memset(destination, 0, static_cast<size_t>(total) + 1);
    int length = static_cast<int>(std::strlen(text));
    // A text wider than the room is cut rather than written past it.
    if (length > total)
        length = total;
    int before = (total - length) / 2;
    std::memset(destination, ' ', static_cast<size_t>(before));
    std::memcpy(destination + before, text, static_cast<size_t>(length));
    std::memset(destination + before + length, ' ', static_cast<size_t>(total - before - length));
    return destination;
}

char* shortenPath(char* destination, const char* path, int limit) {
    if (limit < 0)
        limit = 0;
    std::string pathText = path;
    std::string result;
    if (static_cast<int>(pathText.size()) <= limit) {
        result = pathText;
    } else {
        std::string drive;
        size_t rest = 0;
        if (pathText.size() >= 2 && pathText[1] == ':') {
            drive = pathText.substr(0, 2);
            rest = 2;
        }
        size_t lastSeparator = pathText.find_last_of("\\/");
        std::string directory;
        std::string file;
        if (lastSeparator != std::string::npos && lastSeparator >= rest) {
            directory = pathText.substr(rest, lastSeparator + 1 - rest);
            file = pathText.substr(lastSeparator + 1);
        } else {
            file = pathText.substr(rest);
        }
        size_t dot = file.find_last_of('.');
        std::string name = dot == std::string::npos ? file : file.substr(0, dot);
        std::string extension = dot == std::string::npos ? "" : file.substr(dot);

        int budget = limit - static_cast<int>(drive.size() + name.size() + extension.size() + 4);
        if (budget < 0)
            budget = 0;
        std::string tail = directory.size() > static_cast<size_t>(budget)
                               ? directory.substr(directory.size() - budget)
                               : directory;
        // The tail starts at a directory boundary; '/' counts as one too, so
        // that paths written with forward slashes are cut cleanly as well.
        size_t firstSeparator = tail.find_first_of("\\/");
        if (firstSeparator != std::string::npos)
            tail.erase(0, firstSeparator);
        char separator = !directory.empty() && directory.back() == '/' ? '/' : '\\';
        result = drive + separator + "..." + tail + name + extension;
        // With a very long file name even the shortened form may not fit: it is cut to the limit.
        if (static_cast<int>(result.size()) > limit)
            result.resize(limit);
    }
    result = foldAsciiText(result);
    std::memcpy(destination, result.c_str(), result.size() + 1);
    return destination;
}

char* cutToBackslash(char* text) {
    char* backslash = std::strchr(text, '\\');
    if (backslash != nullptr)
        std::memmove(text, backslash, std::strlen(backslash) + 1);
    return text;
}

char* sanitizeFilename(char* path) {
    for (char* p = path; *p != 0; ++p) {
        if (*p == '/') {
            *p = '\\';
        } else if (std::strchr("!*+,:;<=>?[]|\"", *p) != nullptr) {
            *p = '_';
        }
    }
    return path;
}

bool isFilenameChar(int c) {
    if (c < 0x21 || c > 0x80)
        return false;
    return std::strchr("\"!*+,./:;<=>?[\\]|", c) == nullptr;
}
