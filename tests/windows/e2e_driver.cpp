// The end-to-end driver for the Windows build: runs one test script against
// a program that shares the driver's console (wine's, in a pseudo-terminal).
// It reads the screen the program shows through CONOUT$ (always the active
// screen buffer) and types keys by writing input events into CONIN$.
//
//   e2e_driver SCRIPT REPORT
//
// Script lines (blank lines and lines starting with # are skipped):
//   cd DIR               working folder of the next program
//   mark                 writes a mark into the driver's own screen buffer
//   start COMMAND LINE   starts the program on the console (standard input,
//                        output and error the console's)
//   run COMMAND LINE     starts the program with its standard output and
//                        error going to stdout.txt and stderr.txt in the
//                        working folder
//   row N TEXT           waits until row N of the active buffer holds TEXT
//   attr ROW COL HEX     waits until that cell has the attribute HEX
//   key NAME             types a key: F1-F12, ESC, ENTER, PADENTER, TAB, UP,
//                        DOWN, LEFT, RIGHT, HOME, END, PGUP, PGDN, INS, DEL,
//                        SHIFT (alone), with ALT-, SHIFT- or CTRL- before it;
//                        NAME*N: one event for N presses of the key held down
//   type TEXT            types the characters of TEXT
//   altpad DIGITS CHAR   Alt held, DIGITS on the keypad (Num Lock off, as
//                        cursor keys), Alt let go bringing CHAR, as the
//                        console reports a character composed so
//   codepage N           sets the console's output code page
//   codepage-is N        the console's output code page is N
//   interrupt            sends the console's Ctrl-C event (wine sends no
//                        Ctrl-Break); the driver stays
//   exit STATUS          waits until the program ends with STATUS
//   marked               the mark is on screen again (the user's buffer is back)
//   same FILE1 FILE2     the two files hold the same bytes
//   holds FILE TEXT      the file holds exactly TEXT (\n for a line end)
//   exists PATH / missing PATH   waits until the path is there / is gone
//   hold PATH            keeps PATH open for writing, sharing reading only, as
//                        another program changing it would
//   release              closes what hold opened
// On the first failure the report names the line and shows the screen.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/windows/wide_text.h"

namespace {

constexpr DWORD WAIT_MS = 15000;
constexpr wchar_t MARK[] = L"dirrip e2e mark";

std::FILE* report = stderr;
std::wstring workingFolder;
PROCESS_INFORMATION child = {};
bool started = false;

HANDLE consoleHandle(const wchar_t* name, SECURITY_ATTRIBUTES* attributes = nullptr) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       attributes, OPEN_EXISTING, 0, nullptr);
}

// Row `row` of the active screen buffer, 80 cells, as UTF-8 (and attributes).
std::string screenRow(int row, std::vector<WORD>* attributes = nullptr) {
    HANDLE active = consoleHandle(L"CONOUT$");
    CHAR_INFO cells[80] = {};
    SMALL_RECT area = {0, SHORT(row), 79, SHORT(row)};
    ReadConsoleOutputW(active, cells, COORD{80, 1}, COORD{0, 0}, &area);
    CloseHandle(active);
    std::wstring text;
    for (const CHAR_INFO& cell : cells) {
        text += cell.Char.UnicodeChar == 0 ? L' ' : cell.Char.UnicodeChar;
        if (attributes != nullptr)
            attributes->push_back(cell.Attributes);
    }
    return wideToUtf8(text);
}

void dumpScreen() {
    std::fprintf(report, "screen:\n");
    for (int row = 0; row < 25; ++row)
        std::fprintf(report, "%2d|%s|\n", row, screenRow(row).c_str());
}

bool waitFor(const std::function<bool()>& condition) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > WAIT_MS)
            return false;
        Sleep(30);
    }
}

// One console key event, as the console reports a key going down or up.
INPUT_RECORD keyRecord(bool down, WORD virtualKey, WORD scanCode, wchar_t character, DWORD state,
                       WORD repeatCount = 1) {
    INPUT_RECORD record = {};
    record.EventType = KEY_EVENT;
    KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    key.bKeyDown = down;
    key.wRepeatCount = repeatCount;
    key.wVirtualKeyCode = virtualKey;
    key.wVirtualScanCode = scanCode;
    key.uChar.UnicodeChar = character;
    key.dwControlKeyState = state;
    return record;
}

// Puts `records` into the console's input at once; true when all went in.
bool writeInput(const std::vector<INPUT_RECORD>& records) {
    HANDLE input = consoleHandle(L"CONIN$");
    DWORD written = 0;
    WriteConsoleInputW(input, records.data(), DWORD(records.size()), &written);
    CloseHandle(input);
    Sleep(20);
    return written == records.size();
}

void sendKey(WORD virtualKey, WORD scanCode, wchar_t character, DWORD state, WORD repeatCount = 1) {
    writeInput({keyRecord(true, virtualKey, scanCode, character, state, repeatCount),
                keyRecord(false, virtualKey, scanCode, character, state)});
}

struct KeyName {
    WORD virtualKey;
    WORD scanCode;
    wchar_t character;
    DWORD state;
};

const std::map<std::string, KeyName> KEYS = {
    {"ESC", {VK_ESCAPE, 0x01, 0x1B, 0}},
    {"ENTER", {VK_RETURN, 0x1C, L'\r', 0}},
    {"PADENTER", {VK_RETURN, 0x1C, L'\r', ENHANCED_KEY}},
    {"TAB", {VK_TAB, 0x0F, L'\t', 0}},
    {"UP", {VK_UP, 0x48, 0, ENHANCED_KEY}},
    {"DOWN", {VK_DOWN, 0x50, 0, ENHANCED_KEY}},
    {"LEFT", {VK_LEFT, 0x4B, 0, ENHANCED_KEY}},
    {"RIGHT", {VK_RIGHT, 0x4D, 0, ENHANCED_KEY}},
    {"HOME", {VK_HOME, 0x47, 0, ENHANCED_KEY}},
    {"END", {VK_END, 0x4F, 0, ENHANCED_KEY}},
    {"PGUP", {VK_PRIOR, 0x49, 0, ENHANCED_KEY}},
    {"PGDN", {VK_NEXT, 0x51, 0, ENHANCED_KEY}},
    {"INS", {VK_INSERT, 0x52, 0, ENHANCED_KEY}},
    {"DEL", {VK_DELETE, 0x53, 0, ENHANCED_KEY}},
    {"SHIFT", {VK_SHIFT, 0x2A, 0, SHIFT_PRESSED}},
    {"CTRL-L", {'L', 0x26, 0x0C, LEFT_CTRL_PRESSED}},
};

bool typeKey(std::string name) {
    WORD repeatCount = 1;
    if (size_t star = name.find('*'); star != std::string::npos) {
        repeatCount = WORD(std::atoi(name.c_str() + star + 1));
        name.erase(star);
    }
    DWORD state = 0;
    for (;;) {
        if (name.rfind("ALT-", 0) == 0)
            state |= LEFT_ALT_PRESSED, name.erase(0, 4);
        else if (name.rfind("SHIFT-", 0) == 0 && name.size() > 6)
            state |= SHIFT_PRESSED, name.erase(0, 6);
        else if (name.rfind("CTRL-", 0) == 0 && name != "CTRL-L")
            state |= LEFT_CTRL_PRESSED, name.erase(0, 5);
        else
            break;
    }
    if (name.size() >= 2 && name[0] == 'F') {
        int number = std::atoi(name.c_str() + 1);
        if (number >= 1 && number <= 12) {
            WORD scan = WORD(number <= 10 ? 0x3A + number : 0x57 + number - 11);
            sendKey(WORD(VK_F1 + number - 1), scan, 0, state, repeatCount);
            return true;
        }
    }
    auto found = KEYS.find(name);
    if (found == KEYS.end())
        return false;
    sendKey(found->second.virtualKey, found->second.scanCode, found->second.character,
            found->second.state | state, repeatCount);
    return true;
}

// The keypad keys of the digits with Num Lock off: virtual key and scan code.
constexpr WORD KEYPAD_DIGITS[10][2] = {
    {VK_INSERT, 0x52}, {VK_END, 0x4F},   {VK_DOWN, 0x50}, {VK_NEXT, 0x51}, {VK_LEFT, 0x4B},
    {VK_CLEAR, 0x4C},  {VK_RIGHT, 0x4D}, {VK_HOME, 0x47}, {VK_UP, 0x48},   {VK_PRIOR, 0x49},
};

bool typeAltKeypad(const std::string& digits, wchar_t composed) {
    std::vector<INPUT_RECORD> records = {keyRecord(true, VK_MENU, 0x38, 0, LEFT_ALT_PRESSED)};
    for (char digit : digits) {
        if (digit < '0' || digit > '9')
            return false;
        const WORD* key = KEYPAD_DIGITS[digit - '0'];
        records.push_back(keyRecord(true, key[0], key[1], 0, LEFT_ALT_PRESSED));
        records.push_back(keyRecord(false, key[0], key[1], 0, LEFT_ALT_PRESSED));
    }
    records.push_back(keyRecord(false, VK_MENU, 0x38, composed, 0));
    return writeInput(records);
}

std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string fileBytes(const std::string& path, bool* found) {
    std::ifstream in(std::filesystem::path(systemPath(path)), std::ios::binary);
    *found = bool(in);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string inFolder(const std::string& path) {
    if (path.size() > 1 && (path[1] == ':' || path[0] == '\\'))
        return path;
    return wideToUtf8(workingFolder) + "\\" + path;
}

bool startProgram(const std::string& commandLine, bool toFiles) {
    std::wstring command = utf8ToWide(commandLine);
    std::wstring folder = workingFolder.empty() ? L"." : workingFolder;
    // Without files the program inherits the console's own handles as they are.
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (toFiles) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        auto file = [&](const wchar_t* name) {
            return CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                               &inherit, CREATE_ALWAYS, 0, nullptr);
        };
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = consoleHandle(L"CONIN$", &inherit);
        startup.hStdOutput = file(L"stdout.txt");
        startup.hStdError = file(L"stderr.txt");
    }
    started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             folder.c_str(), &startup, &child);
    if (toFiles) {
        CloseHandle(startup.hStdInput);
        CloseHandle(startup.hStdOutput);
        CloseHandle(startup.hStdError);
    }
    return started;
}

// The file a script holds open (hold ... release).
HANDLE held = INVALID_HANDLE_VALUE;

// Runs one script line; returns an empty text when it passed, else what failed.
std::string runLine(const std::string& line) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    std::string rest;
    std::getline(words >> std::ws, rest);

    if (command == "cd") {
        workingFolder = utf8ToWide(rest);
        CreateDirectoryW(workingFolder.c_str(), nullptr);
        return "";
    }
    if (command == "mark") {
        HANDLE active = consoleHandle(L"CONOUT$");
        std::vector<CHAR_INFO> cells;
        for (const wchar_t* c = MARK; *c != 0; ++c) cells.push_back(CHAR_INFO{{*c}, 0x0E});
        SMALL_RECT area = {0, 0, SHORT(cells.size() - 1), 0};
        WriteConsoleOutputW(active, cells.data(), COORD{SHORT(cells.size()), 1}, COORD{0, 0},
                            &area);
        CloseHandle(active);
        return "";
    }
    if (command == "marked")
        return screenRow(0).rfind(wideToUtf8(MARK), 0) == 0 ? "" : "the user's screen is not back";
    if (command == "start" || command == "run")
        return startProgram(rest, command == "run")
                   ? ""
                   : "cannot start: error " + std::to_string(GetLastError());
    if (command == "row") {
        std::istringstream parts(rest);
        int row = 0;
        parts >> row;
        std::string text;
        std::getline(parts >> std::ws, text);
        if (waitFor([&] { return screenRow(row).find(text) != std::string::npos; }))
            return "";
        return "row " + std::to_string(row) + " never showed '" + text + "'";
    }
    if (command == "attr") {
        std::istringstream parts(rest);
        int row = 0, column = 0;
        unsigned attribute = 0;
        parts >> row >> column >> std::hex >> attribute;
        WORD seen = 0;
        if (waitFor([&] {
                std::vector<WORD> attributes;
                screenRow(row, &attributes);
                seen = attributes[size_t(column)] & 0xFF;
                return seen == attribute;
            }))
            return "";
        char text[80];
        std::snprintf(text, sizeof text, "cell %d,%d has attribute %02X, not %02X", row, column,
                      unsigned(seen), attribute);
        return text;
    }
    if (command == "key")
        return typeKey(rest) ? "" : "unknown key " + rest;
    if (command == "altpad") {
        std::istringstream parts(rest);
        std::string digits, composed;
        parts >> digits >> composed;
        std::wstring character = utf8ToWide(composed);
        return character.size() == 1 && typeAltKeypad(digits, character[0])
                   ? ""
                   : "cannot compose '" + composed + "' from " + digits;
    }
    if (command == "codepage")
        return SetConsoleOutputCP(UINT(std::stoul(rest))) ? "" : "cannot set code page " + rest;
    if (command == "codepage-is") {
        UINT codePage = GetConsoleOutputCP();
        return codePage == std::stoul(rest) ? "" : "the code page is " + std::to_string(codePage);
    }
    if (command == "interrupt")
        return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) ? "" : "cannot send Ctrl-C";
    if (command == "type") {
        for (wchar_t c : utf8ToWide(rest)) sendKey(0, 0, c, 0);
        return "";
    }
    if (command == "exit") {
        if (!started)
            return "no program started";
        if (WaitForSingleObject(child.hProcess, WAIT_MS) != WAIT_OBJECT_0)
            return "the program did not end";
        DWORD status = 0;
        GetExitCodeProcess(child.hProcess, &status);
        CloseHandle(child.hProcess);
        CloseHandle(child.hThread);
        started = false;
        return status == DWORD(std::stoul(rest)) ? "" : "exit status " + std::to_string(status);
    }
    if (command == "same") {
        std::istringstream parts(rest);
        std::string first, second;
        parts >> first >> second;
        bool foundFirst = false, foundSecond = false;
        std::string a = fileBytes(inFolder(first), &foundFirst);
        std::string b = fileBytes(inFolder(second), &foundSecond);
        if (!foundFirst || !foundSecond)
            return "missing file";
        return a == b ? ""
                      : "the files differ (" + std::to_string(a.size()) + " and " +
                            std::to_string(b.size()) + " bytes)";
    }
    if (command == "holds") {
        std::istringstream parts(rest);
        std::string path, text;
        parts >> path;
        std::getline(parts >> std::ws, text);
        bool found = false;
        std::string bytes = fileBytes(inFolder(path), &found);
        if (!found)
            return "missing file";
        return bytes == unescape(text) ? "" : "the file holds '" + bytes + "'";
    }
    if (command == "hold") {
        held = CreateFileW(systemPath(inFolder(rest)).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return held != INVALID_HANDLE_VALUE ? "" : "cannot hold " + rest;
    }
    if (command == "release") {
        CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
        return "";
    }
    if (command == "exists" || command == "missing") {
        // The program may still be writing or removing the file: wait for it.
        const bool wanted = command == "exists";
        auto there = [&] {
            return GetFileAttributesW(systemPath(inFolder(rest)).c_str()) !=
                   INVALID_FILE_ATTRIBUTES;
        };
        if (waitFor([&] { return there() == wanted; }))
            return "";
        return rest + (wanted ? " is not there" : " is there");
    }
    return "unknown command";
}

// The driver outlives the interrupts it sends to the program.
BOOL WINAPI keepRunning(DWORD) {
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: e2e_driver SCRIPT REPORT\n");
        return 2;
    }
    std::ifstream script{std::filesystem::path(argv[1])};
    report = _wfopen(argv[2], L"w");
    if (!script || report == nullptr) {
        std::fprintf(stderr, "e2e_driver: cannot open the script or the report\n");
        return 2;
    }
    SetConsoleCtrlHandler(keepRunning, TRUE);
    std::string line;
    int number = 0;
    while (std::getline(script, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::string failure = runLine(line);
        if (!failure.empty()) {
            std::fprintf(report, "line %d: %s\n  %s\n", number, line.c_str(), failure.c_str());
            dumpScreen();
            if (started)
                TerminateProcess(child.hProcess, 99);
            std::fclose(report);
            return 1;
        }
    }
    std::fprintf(report, "passed\n");
    std::fclose(report);
    return 0;
}
