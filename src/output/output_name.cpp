#include "output/output_name.h"

#include "console/window.h"
#include "platform/output_files.h"
#include "text/cp437.h"

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// A stored name that names an absolute place on Windows ("C:\", "\\?\",
// "\\.\", "\\?\UNC\") loses the prefix that makes it absolute, as leading
// separators are dropped: there it would lead out of the base directory.
std::string_view withoutRootPrefix(std::string_view name) {
    if (name.size() >= 4 && isSeparator(name[0]) && isSeparator(name[1]) &&
        (name[2] == '?' || name[2] == '.') && isSeparator(name[3])) {
        name.remove_prefix(4);
        if (name.size() >= 4 && (name[0] | 0x20) == 'u' && (name[1] | 0x20) == 'n' &&
            (name[2] | 0x20) == 'c' && isSeparator(name[3]))
            name.remove_prefix(4);
    }
    while (!name.empty() && isSeparator(name.front())) name.remove_prefix(1);
    // Only a drive with its root counts: "B:C" is more likely a name with a
    // colon than a path relative to drive B, and keeps its place.
    if (name.size() >= 3 && (name[0] | 0x20) >= 'a' && (name[0] | 0x20) <= 'z' && name[1] == ':' &&
        isSeparator(name[2]))
        name.remove_prefix(3);
    return name;
}

}  // namespace

RootPrefixes platformRootPrefixes() {
    return outputPathsHaveRoots() ? ROOT_PREFIXES_DROPPED : ROOT_PREFIXES_SANITIZED;
}

std::string outputPathFor(std::string_view storedName, RootPrefixes prefixes) {
    // A stored name ends at its first NUL, as in the archive record.
    std::string_view name = storedName.substr(0, storedName.find('\0'));
    std::string sanitized(prefixes == ROOT_PREFIXES_DROPPED ? withoutRootPrefix(name) : name);
    sanitizeFilename(sanitized.data());

    std::string path;
    size_t start = 0;
    while (start <= sanitized.size()) {
        size_t end = sanitized.find('\\', start);
        if (end == std::string::npos)
            end = sanitized.size();
        std::string_view component(sanitized.data() + start, end - start);
        start = end + 1;
        if (component.empty())
            continue;
        // ".." would climb out of the base directory, and "." names the directory
        // itself; the data is kept under a plain name instead.
        if (component == "..")
            component = "__";
        else if (component == ".")
            component = "_";
        if (!path.empty())
            path += '/';
        // Converting per component keeps the separators ours: no code page 437
        // byte other than '/' itself converts to a '/'.
        path += cp437StringToUtf8(component);
    }
    return path;
}

OutputNameRules platformOutputNameRules() {
    return {platformRootPrefixes(), outputComponentName, outputNameKey};
}

std::string writtenPathFor(std::string_view storedName, const OutputNameRules& rules) {
    const std::string portable = outputPathFor(storedName, rules.prefixes);
    std::string path;
    size_t start = 0;
    while (start < portable.size()) {
        size_t end = portable.find('/', start);
        if (end == std::string::npos)
            end = portable.size();
        if (!path.empty())
            path += '/';
        path += rules.componentName(std::string_view(portable).substr(start, end - start));
        start = end + 1;
    }
    return path;
}

std::string plainOutputPath(std::string_view storedName) {
    std::string path = cp437TextToUtf8(storedName);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

std::string_view outputDirectoryOf(std::string_view outputPath) {
    size_t slash = outputPath.rfind('/');
    if (slash == std::string_view::npos)
        return std::string_view();
    return outputPath.substr(0, slash);
}

std::string_view outputLeafOf(std::string_view outputPath) {
    size_t slash = outputPath.rfind('/');
    if (slash == std::string_view::npos)
        return outputPath;
    return outputPath.substr(slash + 1);
}
