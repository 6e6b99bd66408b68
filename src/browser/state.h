// Program-wide browsing state. start-up (browser/startup.cpp) sets it up; the
// main loop, selection and ripping change the fields their comments name.
#pragma once

#include <cstdint>
#include <string>

class Entry;

// Why the run ends; 0 while it goes on. Set once; the main loop leaves at its next pass.
enum TerminationReason : int32_t {
    REASON_NONE = 0,
    REASON_QUIT = 1,
    REASON_OPEN_FAILED = 101,    // the archive cannot be opened for ripping
    REASON_BAD_FORMAT = 102,     // the archive cannot be loaded, or its root is empty
    REASON_CREATE_FAILED = 103,  // an output file cannot be created
    REASON_DISK_FULL = 104,      // not enough free space for a file
    REASON_MKDIR_FAILED = 105,   // an output directory cannot be created
    REASON_READ_FAILED = 106,    // the archive ended before a file's data did
    REASON_WRITE_FAILED = 107,   // writing an output file failed
    REASON_TOO_LARGE = 108,      // the archive holds more entries than can be loaded
    REASON_NO_TERMINAL = 109,    // no key can ever come (input ended)
};

constexpr int WORK_BUFFER_SIZE = 16384;

// The two panels' view of one directory: children top..top+19 on the left,
// the next 20 on the right. Written by the main loop, panels and selection.
struct PanelState {
    Entry* current = nullptr;
    int32_t cursor = 0;
    int32_t top = 0;
};

struct BrowserState {
    std::string archivePath;  // upper-cased: shown, titles, lists, messages
    std::string openPath;     // exactly as given on the command line: what is opened
    Entry* root = nullptr;
    PanelState panel;
    int32_t terminationReason = REASON_NONE;
    std::string reasonSubject;            // the entry name or directory path the end message names
    unsigned char* workBuffer = nullptr;  // WORK_BUFFER_SIZE bytes
    std::string titleLine;
};
extern BrowserState browser;
