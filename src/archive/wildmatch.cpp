// Wildcard matching over code page 437 names. Only the letters a..z fold to
// upper case; every other byte (accented letters included) matches itself.
#include "archive/wildmatch.h"

#include "text/ascii_fold.h"

namespace {

bool onlyStars(const char* p) {
    if (*p != '*')
        return false;
    while (*p == '*') ++p;
    return *p == '\0';
}

// Matches the text character `c` against the set that starts at `*pp` (on
// '['). On a hit leaves `*pp` on the set's closing ']' and returns WM_MATCH.
WildMatchResult matchSet(const char** pp, unsigned char c) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(*pp) + 1;
    bool negated = false;
    if (*p == '!' || *p == '^') {
        negated = true;
        ++p;
    }
    if (*p == ']')
        return WM_BAD_PATTERN;

    bool matched = false;
    while (*p != ']' && !matched) {
        if (*p == '\\')
            ++p;
        unsigned char low = *p;
        unsigned char high = *p;
        if (low == '\0')
            return WM_BAD_PATTERN;
        ++p;
        if (*p == '-') {
            ++p;
            high = *p;
            if (high == '\0' || high == ']')
                return WM_BAD_PATTERN;
            if (high == '\\') {
                ++p;
                high = *p;
                if (high == '\0')
                    return WM_BAD_PATTERN;
            }
            ++p;
        }
        // Ranges may be written either way round; the ends are compared
        // unfolded to decide which is which, the text character folded.
        if (low < high) {
            matched = foldAscii(low) <= foldAscii(c) && foldAscii(c) <= foldAscii(high);
        } else {
            matched = foldAscii(high) <= foldAscii(c) && foldAscii(c) <= foldAscii(low);
        }
    }
    if (matched == negated)
        return WM_SET_MISS;
    if (matched) {
        while (*p != ']') {
            if (*p == '\0')
                return WM_BAD_PATTERN;
            if (*p == '\\') {
                ++p;
                if (*p == '\0')
                    return WM_BAD_PATTERN;
            }
            ++p;
        }
    }
    *pp = reinterpret_cast<const char*>(p);
    return WM_MATCH;
}

}  // namespace

bool wildMatch(const char* pattern, const char* text) {
    return wildMatchStatus(pattern, text) == WM_MATCH;
}

WildMatchResult wildMatchStatus(const char* p, const char* t) {
    while (*p != '\0') {
        if (*t == '\0') {
            // Any number of trailing stars matches the empty rest of the text.
            return onlyStars(p) ? WM_MATCH : WM_TEXT_ENDED;
        }
        switch (*p) {
            case '?':
                break;
            case '*':
                return wildMatchAfterStar(p, t);
            case '[': {
                WildMatchResult result = matchSet(&p, static_cast<unsigned char>(*t));
                if (result != WM_MATCH)
                    return result;
                break;
            }
            default:
                if (foldAscii(static_cast<unsigned char>(*p)) != foldAscii(static_cast<unsigned char>(*t))) {
                    return WM_CHAR_MISS;
                }
        }
        ++p;
        ++t;
    }
    return *t == '\0' ? WM_MATCH : WM_TEXT_LEFT;
}

WildMatchResult wildMatchAfterStar(const char* p, const char* t) {
    while (*p == '?' || *p == '*') {
        if (*p == '?') {
            if (*t == '\0')
                return WM_TEXT_ENDED;
            ++t;
        }
        ++p;
    }
    if (*p == '\0')
        return WM_MATCH;

    const unsigned char next = static_cast<unsigned char>(*p);
    for (;;) {
        WildMatchResult result = WM_CHAR_MISS;
        const unsigned char c = static_cast<unsigned char>(*t);
        if (next == '[' || foldAscii(next) == foldAscii(c))
            result = wildMatchStatus(p, t);
        if (c == '\0')
            return WM_TEXT_ENDED;
        ++t;
        // A miss for lack of text cannot turn into a match with even less text.
        if (result == WM_MATCH || result == WM_TEXT_ENDED || result == WM_BAD_PATTERN) {
            return result;
        }
    }
}

bool isValidWildPattern(const char* pattern, PatternError* error) {
    *error = PATTERN_OK;
    const char* p = pattern;
    while (*p != '\0') {
        if (*p != '[') {
            ++p;
            continue;
        }
        ++p;
        if (*p == ']') {
            *error = PATTERN_EMPTY_SET;
            return false;
        }
        if (*p == '\0') {
            *error = PATTERN_UNCLOSED;
            return false;
        }
        for (;;) {
            // A range can end right at the pattern's end; stop there rather
            // than stepping past the terminator.
            if (*p == '\0') {
                *error = PATTERN_UNCLOSED;
                return false;
            }
            if (*p == ']')
                break;
            if (*p == '\\') {
                if (p[1] == '\0') {
                    *error = PATTERN_BAD_ESCAPE;
                    return false;
                }
                p += 2;
            } else {
                ++p;
            }
            if (*p == '\0') {
                *error = PATTERN_UNCLOSED;
                return false;
            }
            if (*p == '-') {
                ++p;
                if (*p == '\0' || *p == ']') {
                    *error = PATTERN_BAD_RANGE;
                    return false;
                }
                if (*p == '\\') {
                    ++p;
                    if (*p == '\0') {
                        *error = PATTERN_BAD_ESCAPE;
                        return false;
                    }
                }
                ++p;
            }
        }
        ++p;  // past the set's ']'
    }
    return true;
}
