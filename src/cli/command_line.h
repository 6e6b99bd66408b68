// The command line: the browser on one archive, or a mode for scripts
// (--list, --extract, --verify, --create, --cat, and the modes that change an
// archive in place, --update among them, or take changes back), with options
// in any order.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

enum CommandMode {
    MODE_BROWSER,      // the full-screen browser (no archive: its usage line)
    MODE_LIST,         // --list
    MODE_EXTRACT,      // --extract
    MODE_VERIFY,       // --verify
    MODE_CREATE,       // --create
    MODE_CAT,          // --cat
    MODE_HELP,         // --help
    MODE_VERSION,      // --version
    MODE_REPLACE,      // --replace
    MODE_ADD,          // --add
    MODE_DELETE,       // --delete
    MODE_RENAME,       // --rename
    MODE_MKDIR,        // --mkdir
    MODE_UNDO,         // --undo
    MODE_HISTORY,      // --history
    MODE_FORGET,       // --forget
    MODE_UPDATE,       // --update
    MODE_WRONG_USAGE,  // the arguments make no sense; `error` says why
};

// What the arguments ask for.
struct CommandLine {
    CommandMode mode = MODE_BROWSER;
    std::string archive;                // the archive to open, list, extract, check or make
    std::string directory = ".";        // --extract: where to write (-C)
    std::string packDirectory;          // --create: the directory tree to pack
    std::vector<std::string> patterns;  // --extract, --list: the entries wanted (none: all)
    std::string entryPath;              // --cat: the file inside the archive
    // The modes that change an archive: the entries named (several only for
    // --delete), the file with the new data (--replace, --add), the new name (--rename).
    std::vector<std::string> changePaths;
    std::string hostFile;
    std::string newName;
    bool json = false;  // --list: one JSON document
    bool keep = false;  // --extract: leave files that exist alone
    // --update: the directory whose files go back in (the archive's second
    // name), whether files no entry has are added, and whether to change nothing.
    std::string updateDirectory;
    bool addNew = false;
    bool dryRun = false;
    std::string error;  // MODE_WRONG_USAGE: the reason, one line
};

// True when the arguments ask for more than the plain browser on its first
// argument: some argument is an option ("-" followed by something, "--"
// included) before any "--". Such command lines go to runCommandLine.
bool isCommandLineMode(int argc, char** argv);

// Reads the arguments (argv[0] is the program). Options may come in any order
// and before, between or after the archive and the other names; "--" ends the
// options. Never throws: a command line that makes no sense gives
// MODE_WRONG_USAGE with its reason.
CommandLine parseCommandLine(int argc, char** argv);

// The help text printed by --help: usage forms, options and exit statuses.
const char* commandLineHelp();

// The value runCommandLine returns when the arguments ask for the browser
// ("dirrip -- -odd.dir"): the program's entry starts it on `archive`.
constexpr int COMMAND_LINE_BROWSER = -1;

// Runs the mode, the help or the version that `line` asks for. Returns the
// exit status: 0 success, 1 a failure of the archive or the disk (message on
// `err`), 2 wrong usage (reason and a pointer to --help on `err`); or
// COMMAND_LINE_BROWSER, having done nothing, when `line` asks for the browser.
int runCommandLine(const CommandLine& line, std::ostream& out, std::ostream& err);

// runCommandLine on parseCommandLine(argc, argv).
int runCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err);
