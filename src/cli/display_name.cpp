#include "cli/display_name.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "browser/messages.h"
#include "console/cp437.h"

namespace {

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

void appendEscaped(std::string& out, unsigned char c) {
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02X", c);
    out += escape;
}

}  // namespace

std::string displayName(std::string_view cp437Name) {
    std::string out;
    out.reserve(cp437Name.size());
    for (char ch : cp437Name) {
        auto c = static_cast<unsigned char>(ch);
        if (isControl(c))
            appendEscaped(out, c);
        else if (c < 0x80)
            out += ch;
        else
            out += cp437ToUtf8(c);
    }
    return out;
}

std::string utf8Name(std::string_view cp437Name) {
    std::string out;
    out.reserve(cp437Name.size());
    for (char ch : cp437Name) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else
            out += cp437ToUtf8(c);
    }
    return out;
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
