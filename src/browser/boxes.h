// The help box (F1) and the information box (Ctrl-L), both modal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Entry;

// The 17 help texts in tilde markup: top frame, 15 body lines, bottom frame.
extern const char* const HELP_LINES[17];
// The number of '~' in each of the 15 body lines, kept beside the texts.
extern const int HELP_MARKS[15];

// The system figures the information box shows.
struct SystemFigures {
    std::string osLine;       // operating system and version
    std::string cpuLine;      // processor model and clock
    std::string hostVersion;  // "0.90"
    uint64_t availableBytes = 0;
};

// Takes every system figure afresh (the processor's clock is measured each time).
SystemFigures currentSystemFigures();
// Where the information box gets its figures; currentSystemFigures unless a test replaces it.
extern SystemFigures (*systemFiguresSource)();

// Draws the help box, waits for Esc (or for input to end), returns.
void showHelp();
// Draws the information box over the panel without the cursor, waits for any
// key, draws that panel's frame rows again and returns.
void showInfo(bool cursorInLeftPanel, const Entry* directory);
