// The system's words for why something failed, made to follow ": " in a
// message of ours.
#pragma once

#include <string>

// `words` with a leading capital made small ("No such file or directory"
// becomes "no such file or directory"); a word in capitals ("EOF") stays.
inline std::string asCause(std::string words) {
    if (!words.empty() && words[0] >= 'A' && words[0] <= 'Z' &&
        !(words.size() >= 2 && words[1] >= 'A' && words[1] <= 'Z'))
        words[0] = char(words[0] - 'A' + 'a');
    return words;
}
