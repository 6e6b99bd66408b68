#include "cli/display_name.h"

#include <algorithm>
#include <vector>

#include "text/cp437.h"
#include "text/escape.h"

std::string displayName(std::string_view cp437Name) {
    return escapeControls(cp437TextToUtf8(cp437Name));
}

std::string displayPath(std::string_view path) {
    return escapeControls(path);
}

std::string archivePathOf(const Entry* entry) {
    std::vector<const Entry*> chain;
    for (const Entry* e = entry; e != nullptr && e->parent != nullptr; e = e->parent)
        chain.push_back(e);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty())
            path += '/';
        path += (*it)->name;
    }
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}
