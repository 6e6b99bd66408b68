#include "archive/edit_names.h"

#include "archive/editor.h"
#include "archive/record.h"
#include "text/cp437.h"

std::string shownName(std::string_view cp437) {
    // Glyphs for every byte, control bytes included, so a name never breaks the line.
    return cp437StringToUtf8(cp437);
}

int checkNewEntryName(std::string_view cp437, std::string* why) {
    const std::string shown = "'" + shownName(cp437) + "'";
    if (cp437.empty()) {
        *why = "a name cannot be empty";
        return 0;
    }
    if (cp437 == "." || cp437 == "..") {
        *why = "'.' and '..' cannot be names";
        return 0;
    }
    if (cp437.find_first_of("/\\") != std::string_view::npos) {
        *why = "the name " + shown + " holds '/' or '\\'; a name cannot hold them";
        return 0;
    }
    if (cp437.find('\0') != std::string_view::npos) {
        *why = "a name cannot hold a NUL character";
        return 0;
    }
    if (cp437.size() > DIR_NAME_SIZE) {
        *why = "the name " + shown + " is " + std::to_string(cp437.size()) +
               " bytes long in code page 437; at most 32 fit";
        return 0;
    }
    return 1;
}

int editNameFromUtf8(std::string_view utf8, std::string* cp437, std::string* why) {
    std::string converted;
    // Control characters would pass through as the glyphs of their bytes; in
    // a typed name they are a slip (a tab, a line end), never meant.
    bool controls = false;
    forEachUtf8(utf8, [&](char32_t codePoint, std::string_view) {
        controls = controls || codePoint < 0x20;
    });
    if (controls || !utf8ToCp437(utf8, &converted)) {
        bool valid = true;
        std::string shown;
        forEachUtf8(utf8, [&](char32_t codePoint, std::string_view bytes) {
            if (codePoint == BROKEN_UTF8)
                valid = false;
            // Control characters would break the message's line.
            if (codePoint < 0x20 || codePoint == 0x7F)
                shown += '?';
            else
                shown += bytes;
        });
        *why = valid ? "the name '" + shown + "' holds a character with no code page 437 form"
                     : "the name is not valid UTF-8";
        return 0;
    }
    if (!checkNewEntryName(converted, why))
        return 0;
    *cp437 = std::move(converted);
    return 1;
}
