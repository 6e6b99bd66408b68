#include "output/output_name.h"

#include "console/window.h"
#include "text/cp437.h"

std::string outputPathFor(std::string_view storedName) {
    // A stored name ends at its first NUL, as in the archive record.
    std::string sanitized(storedName.substr(0, storedName.find('\0')));
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
