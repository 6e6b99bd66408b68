#include "cli/list_mode.h"

#include <cinttypes>
#include <cstdio>
#include <ostream>

#include "archive/search.h"
#include "archive/walk.h"
#include "cli/display_name.h"
#include "cli/open_archive.h"
#include "cli/patterns.h"
#include "text/cp437.h"
#include "text/escape.h"

namespace {

// Output goes out in blocks of about this many bytes, so that a listing of
// millions of entries is never held whole.
constexpr size_t FLUSH_BYTES = 64 * 1024;

const char* kindWord(const Entry* entry) {
    return entry->kind == KIND_SUBDIR ? "dir" : entry->kind == KIND_FILE ? "file" : "other";
}

void appendTextLine(std::string& out, const Entry* entry, uint32_t offset,
                    const std::string& path) {
    char fields[48];
    std::snprintf(fields, sizeof fields, "%-4s %10" PRIu32 " 0x%08" PRIx32 " ", kindWord(entry),
                  entry->size, offset);
    out += fields;
    out += displayName(path);
    if (entry->kind == KIND_SUBDIR)
        out += '/';
    out += '\n';
}

// One object of the "entries" array, laid out as the rest of the document:
// two spaces per level, keys in alphabetical order.
void appendJsonEntry(std::string& out, bool first, const Entry* entry, uint32_t offset,
                     const std::string& path) {
    out += first ? "\n    {\n      \"kind\": \"" : ",\n    {\n      \"kind\": \"";
    out += kindWord(entry);
    out += "\",\n      \"offset\": " + std::to_string(offset) + ",\n      \"path\": ";
    appendJsonString(&out, cp437TextToUtf8(path));
    out += ",\n      \"size\": " + std::to_string(entry->size) + "\n    }";
}

}  // namespace

int listMode(const std::string& archivePath, ListFormat format, std::ostream& out,
             std::ostream& err, const std::vector<std::string>& patterns) {
    std::vector<std::string> wanted;
    if (!patternsToCp437(patterns, &wanted, err))
        return 2;
    ArchiveSession session;
    if (!openArchiveForCommandLine(session, archivePath, err, DAMAGE_NOTED))
        return 1;

    uint64_t files = 0, directories = 0, bytes = 0, listed = 0;
    std::string text;
    if (format == LIST_JSON) {
        // The archive path is the user's own (host encoding), not code page 437.
        text = "{\n  \"archive\": ";
        appendJsonString(&text, archivePath);
        text += ",\n  \"entries\": [";
    }
    PatternChoice choice(wanted);
    walkTree(session.root(), [&](const Entry* entry, const std::string& path) {
        // Directories not listed are still entered: their contents may match.
        if (!choice.choose(entry, path))
            return true;
        const uint32_t offset = entry->info ? entry->info->offset : 0;
        if (format == LIST_JSON)
            appendJsonEntry(text, listed == 0, entry, offset, path);
        else
            appendTextLine(text, entry, offset, path);
        ++listed;
        if (entry->kind == KIND_FILE) {
            ++files;
            bytes += entry->size;
        } else if (entry->kind == KIND_SUBDIR) {
            ++directories;
        }
        if (text.size() >= FLUSH_BYTES) {
            out << text;
            text.clear();
        }
        return true;
    });
    if (format == LIST_JSON) {
        text += listed == 0 ? "]" : "\n  ]";
        text += ",\n  \"totals\": {\n    \"bytes\": " + std::to_string(bytes) +
                ",\n    \"directories\": " + std::to_string(directories) +
                ",\n    \"files\": " + std::to_string(files) + "\n  }\n}\n";
    }
    out << text;
    return reportUnmatchedPatterns(choice, patterns, archivePath, err) ? 0 : 1;
}
