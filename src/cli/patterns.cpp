#include "cli/patterns.h"

#include "archive/search.h"
#include "cli/display_name.h"
#include "text/cp437.h"

int patternsToCp437(const std::vector<std::string>& patterns, std::vector<std::string>* cp437,
                    std::ostream& err) {
    cp437->clear();
    for (const std::string& pattern : patterns) {
        std::string converted;
        if (!utf8ToCp437(pattern, &converted)) {
            err << "dirrip: the pattern '" << displayPath(pattern)
                << "' has a character with no code page 437 form\n";
            return 0;
        }
        cp437->push_back(converted);
    }
    return 1;
}

int reportUnmatchedPatterns(const PatternChoice& choice, const std::vector<std::string>& patterns,
                            const std::string& archivePath, std::ostream& err) {
    int all = 1;
    for (size_t i = 0; i < patterns.size(); ++i) {
        if (choice.matched(i))
            continue;
        err << "dirrip: '" << displayPath(patterns[i]) << "' matches nothing in '"
            << displayPath(archivePath) << "'\n";
        all = 0;
    }
    return all;
}
