#include "browser/glyphs.h"

#include <cstdio>
#include <cstdlib>

#include "text/cp437.h"

std::string screenText(std::string_view utf8) {
    std::string bytes;
    if (!utf8ToCp437(utf8, &bytes)) {
        // Only our own literals come here; one without a glyph is a programming error.
        std::fprintf(stderr, "no code page 437 form for \"%.*s\"\n", static_cast<int>(utf8.size()),
                     utf8.data());
        std::abort();
    }
    return bytes;
}
