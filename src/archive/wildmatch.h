// Case-insensitive wildcard matching: '?', '*' and [sets] with ranges and '!'/'^' negation.
#pragma once

enum WildMatchResult {
    WM_MATCH = 1,
    WM_TEXT_LEFT = 2,
    WM_TEXT_ENDED = 3,
    WM_SET_MISS = 4,
    WM_CHAR_MISS = 5,
    WM_BAD_PATTERN = 6,
};

enum PatternError {
    PATTERN_OK = 0,
    PATTERN_BAD_ESCAPE = -1,
    PATTERN_BAD_RANGE = -2,
    PATTERN_UNCLOSED = -3,
    PATTERN_EMPTY_SET = -4,
};

// True exactly when wildMatchStatus(pattern, text) is WM_MATCH.
bool wildMatch(const char* pattern, const char* text);

// Matches the whole text against the whole pattern and says how it ended.
WildMatchResult wildMatchStatus(const char* pattern, const char* text);

// The matcher's continuation at a '*' of the pattern; used by wildMatchStatus.
WildMatchResult wildMatchAfterStar(const char* pattern, const char* text);

// True when the pattern is well formed; `error` says why not (PATTERN_OK first).
bool isValidWildPattern(const char* pattern, PatternError* error);
