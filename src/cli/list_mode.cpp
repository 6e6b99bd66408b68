#include "cli/list_mode.h"

#include <cinttypes>
#include <cstdio>
#include <ostream>

#include <nlohmann/json.hpp>

#include "cli/open_archive.h"
#include "cli/display_name.h"
#include "text/cp437.h"
#include "archive/search.h"
#include "archive/walk.h"

namespace {

const char* kindWord(const Entry* entry) {
    return entry->kind == KIND_SUBDIR ? "dir" : entry->kind == KIND_FILE ? "file" : "other";
}

}  // namespace

int listMode(const std::string& archivePath, ListFormat format, std::ostream& out,
             std::ostream& err, const std::vector<std::string>& patterns) {
    std::vector<std::string> wanted;
    for (const std::string& pattern : patterns) {
        std::string cp437;
        if (!utf8ToCp437(pattern, &cp437)) {
            err << "dirrip: the pattern '" << displayPath(pattern)
                << "' has a character with no code page 437 form\n";
            return 2;
        }
        wanted.push_back(cp437);
    }
    ArchiveSession session;
    if (!openArchiveForCommandLine(session, archivePath, err))
        return 1;

    uint64_t files = 0, directories = 0, bytes = 0;
    nlohmann::json entries = nlohmann::json::array();
    std::string line;
    walkTree(session.root(), [&](const Entry* entry, const std::string& path) {
        // Directories not listed are still entered: their contents may match.
        if (!matchesAnyPattern(wanted, path, entry->name))
            return true;
        uint32_t offset = entry->info ? entry->info->offset : 0;
        if (entry->kind == KIND_FILE) {
            ++files;
            bytes += entry->size;
        } else if (entry->kind == KIND_SUBDIR) {
            ++directories;
        }
        if (format == LIST_JSON) {
            entries.push_back({{"path", cp437TextToUtf8(path)},
                               {"kind", kindWord(entry)},
                               {"size", entry->size},
                               {"offset", offset}});
        } else {
            char fields[48];
            std::snprintf(fields, sizeof fields, "%-4s %10" PRIu32 " 0x%08" PRIx32 " ",
                          kindWord(entry), entry->size, offset);
            line = fields;
            line += displayName(path);
            if (entry->kind == KIND_SUBDIR)
                line += '/';
            line += '\n';
            out << line;
        }
        return true;
    });

    if (format == LIST_JSON) {
        nlohmann::json document = {
            {"archive", displayPath(archivePath)},
            {"entries", std::move(entries)},
            {"totals", {{"files", files}, {"directories", directories}, {"bytes", bytes}}},
        };
        out << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    }
    return 0;
}
