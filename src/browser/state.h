// Program-wide browsing state: one record, `browser`. Each field names the
// file that writes it; every other file only reads it.
#pragma once

#include <cstdint>
#include <string>

#include "console/window.h"

class ArchiveSession;
class Entry;

// Why the run ends; 0 while it goes on. Set once; the main loop leaves at its next pass.
enum TerminationReason : int32_t {
    REASON_NONE = 0,
    REASON_QUIT = 1,
    REASON_OPEN_FAILED = 101,    // the archive cannot be opened
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
constexpr int MASK_MAXIMUM = 13;

// The two panels' view of one directory: children top..top+19 on the left,
// the next 20 on the right.
struct PanelState {
    Entry* current = nullptr;
    int32_t cursor = 0;
    int32_t top = 0;
};

struct BrowserState {
    // Written by browser/startup.cpp only, at start-up and shutdown.
    std::string archivePath;  // upper-cased: shown, titles, lists, messages
    std::string openPath;     // exactly as given on the command line: what is opened
    // Written by browser/startup.cpp, and by browser/reload.cpp when the
    // archive is loaded again after it changed.
    ArchiveSession* session = nullptr;  // the open archive: its tree and its file
    Entry* root = nullptr;              // session->root()
    // Written by browser/startup.cpp only, at start-up and shutdown.
    unsigned char* workBuffer = nullptr;  // WORK_BUFFER_SIZE bytes, for ripping
    std::string titleLine;

    // Written by browser/movement.cpp, browser/panels.cpp (entering and leaving
    // directories), browser/mainloop.cpp, browser/find_list.cpp (going to a
    // found entry) and browser/view_place.cpp (the same place in a tree loaded again).
    PanelState panel;

    // Written by whatever ends the run (browser/mainloop.cpp, browser/rip_action.cpp,
    // browser/startup.cpp); read by the end message.
    int32_t terminationReason = REASON_NONE;
    std::string reasonSubject;  // the entry name or directory path the end message names
    std::string reasonCause;    // why, in the system's words ("permission denied"); may be empty

    // Written by browser/list_action.cpp, browser/rip_action.cpp,
    // browser/mainloop.cpp (F4 off a file), browser/startup.cpp (what opening
    // the archive settled first) and browser/change_action.cpp (what a change
    // did, or why it did nothing); shown on row 24 until the next key, which
    // browser/mainloop.cpp clears it on: in the alert colour, or in the box
    // colour when `noticeIsReport` says it tells what was done.
    std::string notice;
    bool noticeIsReport = false;

    // Written by browser/selection.cpp: the mask field, with its last text for the whole run.
    InputLine maskField;
    char maskBuffer[MASK_MAXIMUM + 1] = {};
};
extern BrowserState browser;
