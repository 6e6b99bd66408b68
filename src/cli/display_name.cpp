#include "cli/display_name.h"

#include "archive/walk.h"
#include "text/cp437.h"
#include "text/escape.h"

std::string displayName(std::string_view cp437Name) {
    return escapeControls(cp437TextToUtf8(cp437Name));
}

std::string displayPath(std::string_view path) {
    return escapeControls(path);
}

std::string displayEntryPath(const Entry* entry) {
    const std::string path = archivePathOf(entry);
    return path.empty() ? "/" : displayName(path);
}
