#include "cli/command_line.h"

#include <cstring>
#include <iostream>

#include <CLI/CLI.hpp>

#include "archive/wildmatch.h"
#include "cli/cat_mode.h"
#include "cli/change_modes.h"
#include "cli/create_mode.h"
#include "cli/display_name.h"
#include "cli/extract_mode.h"
#include "cli/list_mode.h"
#include "cli/update_mode.h"
#include "cli/verify_mode.h"
#include "platform/standard_streams.h"
#include "version.h"

namespace {

const char HELP[] =
    "dirrip: browse and rip DIR archives.\n"
    "\n"
    "Usage:\n"
    "  dirrip ARCHIVE                          open the archive in the full-screen browser\n"
    "  dirrip --list [--json] ARCHIVE [PATTERN...]\n"
    "                                          list the entries (all, or those whose path\n"
    "                                          or name matches a PATTERN): kind, size,\n"
    "                                          offset and path\n"
    "  dirrip --extract [-C DIR] [-k] ARCHIVE [PATTERN...]\n"
    "                                          extract the files (all, or those whose path\n"
    "                                          or name matches a PATTERN; letters without\n"
    "                                          case), re-creating directories\n"
    "  dirrip --verify ARCHIVE                 check every listing and record\n"
    "  dirrip --create ARCHIVE DIR             pack a directory tree into a new archive\n"
    "  dirrip --cat ARCHIVE PATH               write one file's bytes to standard output\n"
    "  dirrip --replace ARCHIVE PATH FILE      put FILE's bytes in place of a file's data\n"
    "  dirrip --add ARCHIVE PATH FILE          add FILE (missing directories are made)\n"
    "  dirrip --delete ARCHIVE PATH...         delete files, or directories with all below\n"
    "  dirrip --rename ARCHIVE PATH NEWNAME    rename an entry within its directory\n"
    "  dirrip --mkdir ARCHIVE PATH             make a directory\n"
    "  dirrip --update [--add-new] [--dry-run] ARCHIVE DIR\n"
    "                                          put back the files of DIR that differ from\n"
    "                                          the entries --extract wrote them for\n"
    "  dirrip --undo ARCHIVE                   take back the last change\n"
    "  dirrip --history ARCHIVE                list the changes --undo can take back\n"
    "  dirrip --forget ARCHIVE                 drop them, freeing their journal\n"
    "\n"
    "Options, in any order before or after the names:\n"
    "  -l, --list              list the archive\n"
    "      --json              with --list: one JSON document, with totals\n"
    "  -x, --extract           extract files\n"
    "  -C, --directory DIR     with --extract: where to write (default .)\n"
    "  -k, --keep              with --extract: leave files that exist alone\n"
    "      --verify            report damage: offsets, cycles, overlaps, ...\n"
    "  -c, --create            pack a directory tree\n"
    "      --cat               write one file of the archive to standard output\n"
    "      --replace, --add, --delete, --rename, --mkdir\n"
    "                          change the archive in place, all or nothing\n"
    "      --update            put a directory's edited files back, as one change\n"
    "      --add-new           with --update: also add the files no entry has\n"
    "      --dry-run           with --update: say what would be done, change nothing\n"
    "      --undo, --history, --forget\n"
    "                          take back, list or drop the changes\n"
    "  -h, --help              show this help\n"
    "      --version           show the version\n"
    "  --                      end of the options: the names after it may start with -\n"
    "\n"
    "Patterns: ? any one character, * any run, [a-z] [!0-9] sets; / or \\ between names.\n"
    "A pattern that names a directory takes everything in it; one ending in / or \\\n"
    "names directories only. A pattern that matches nothing is an error (status 1).\n"
    "In the browser: F1 lists the keys, Shift-F1 the added ones:\n"
    "F4 views a file as text or hex, Alt-F7 finds entries by name in the whole tree.\n"
    "Exit status: 0 success, 1 a failure of the archive or the disk (--cat: also no such\n"
    "file, or its data past the end of the archive; --list, --extract: also a pattern\n"
    "that matches nothing; a change: anything that keeps it from being made whole, the\n"
    "archive then unchanged), 2 wrong usage.\n";

// CLI11 reads a word in square brackets given to a list as a list of its own
// ("[a,b]" becomes "a" and "b"), which would mangle wildcard sets and file
// names. Such words pass through CLI11 behind this byte and get it off after.
constexpr char SHIELD = '\x01';

std::string shielded(const char* word) {
    if (word[0] == '[' || word[0] == SHIELD)
        return SHIELD + std::string(word);
    return word;
}

void unshield(std::string* value) {
    if (!value->empty() && (*value)[0] == SHIELD)
        value->erase(0, 1);
}

bool isOption(const char* argument) {
    return argument[0] == '-' && argument[1] != '\0';
}

CommandLine wrongUsage(std::string reason) {
    CommandLine line;
    line.mode = MODE_WRONG_USAGE;
    line.error = std::move(reason);
    return line;
}

// True when `word` asks for -C with its value in the next word: "-C",
// "--directory", or short flags ending in C ("-xkC").
bool takesDirectoryNext(const char* word) {
    if (std::strcmp(word, "--directory") == 0)
        return true;
    if (word[0] != '-' || word[1] == '-' || word[1] == '\0')
        return false;
    size_t length = std::strlen(word);
    if (word[length - 1] != 'C')
        return false;
    for (size_t i = 1; i + 1 < length; ++i) {
        if (std::strchr("lxckh", word[i]) == nullptr)
            return false;
    }
    return true;
}

// The reason a pattern is refused, in the user's terms.
const char* patternProblem(PatternError error) {
    switch (error) {
        case PATTERN_BAD_ESCAPE:
            return "a '\\' in a [set] has no character after it";
        case PATTERN_BAD_RANGE:
            return "a '-' in a [set] has no end of its range";
        case PATTERN_UNCLOSED:
            return "a '[' has no closing ']'";
        case PATTERN_EMPTY_SET:
            return "'[]' is a set without members";
        default:
            return "it is malformed";
    }
}

// The names a mode takes after its archive, and the reason when they do not fit.
const char* namesProblem(CommandMode mode, size_t names) {
    switch (mode) {
        case MODE_LIST:
            return names >= 1 ? nullptr : "--list needs an archive";
        case MODE_VERIFY:
            return names == 1   ? nullptr
                   : names == 0 ? "--verify needs an archive"
                                : "--verify takes one archive";
        case MODE_EXTRACT:
            return names >= 1 ? nullptr : "--extract needs an archive";
        case MODE_CREATE:
            return names == 2 ? nullptr : "--create takes an archive and one directory";
        case MODE_CAT:
            return names == 2 ? nullptr : "--cat takes an archive and the path of one file in it";
        case MODE_REPLACE:
            return names == 3 ? nullptr
                              : "--replace takes an archive, the path of a file in it and a file";
        case MODE_ADD:
            return names == 3 ? nullptr
                              : "--add takes an archive, the path of the new file and a file";
        case MODE_DELETE:
            return names >= 2 ? nullptr : "--delete takes an archive and the paths to delete";
        case MODE_RENAME:
            return names == 3 ? nullptr
                              : "--rename takes an archive, the path of an entry and its new name";
        case MODE_MKDIR:
            return names == 2 ? nullptr
                              : "--mkdir takes an archive and the path of the new directory";
        case MODE_UNDO:
            return names == 1 ? nullptr : "--undo takes one archive";
        case MODE_HISTORY:
            return names == 1 ? nullptr : "--history takes one archive";
        case MODE_FORGET:
            return names == 1 ? nullptr : "--forget takes one archive";
        case MODE_UPDATE:
            return names == 2 ? nullptr : "--update takes an archive and one directory";
        default:
            return nullptr;
    }
}

}  // namespace

bool isCommandLineMode(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (isOption(argv[i]))
            return true;
    }
    return false;
}

CommandLine parseCommandLine(int argc, char** argv) {
    // CLI11 would take the next word as -C's value even when it is an option
    // ("-C --keep"); a forgotten directory name must not swallow an option.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (takesDirectoryNext(argv[i]) && (i + 1 >= argc || isOption(argv[i + 1])))
            return wrongUsage("--directory (-C) needs a directory name");
    }

    // CLI11 reads the words; which combinations make sense is decided below,
    // so that every refusal names the options in question.
    CLI::App app;
    app.set_help_flag();
    // Options start with '-' everywhere: on Windows the parser would also
    // take a path such as "/games/x.dir" for an option of the "/x" kind.
    app.allow_windows_style_options(false);
    bool list = false, extract = false, verify = false, create = false, cat = false;
    bool help = false, version = false;
    // The modes that change an archive, by flag.
    struct ChangeFlag {
        const char* name;
        CommandMode mode;
        bool given = false;
    } changeFlags[] = {
        {"--replace", MODE_REPLACE}, {"--add", MODE_ADD},       {"--delete", MODE_DELETE},
        {"--rename", MODE_RENAME},   {"--mkdir", MODE_MKDIR},   {"--undo", MODE_UNDO},
        {"--history", MODE_HISTORY}, {"--forget", MODE_FORGET}, {"--update", MODE_UPDATE}};
    CommandLine line;
    std::vector<std::string> names;
    app.add_flag("-l,--list", list);
    app.add_flag("-x,--extract", extract);
    app.add_flag("--verify", verify);
    app.add_flag("-c,--create", create);
    app.add_flag("--cat", cat);
    app.add_flag("--json", line.json);
    app.add_flag("-k,--keep", line.keep);
    app.add_flag("--add-new", line.addNew);
    app.add_flag("--dry-run", line.dryRun);
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    for (ChangeFlag& flag : changeFlags) app.add_flag(flag.name, flag.given);
    CLI::Option* directory = app.add_option("-C,--directory", line.directory);
    app.add_option("names", names);
    std::vector<std::string> words;
    for (int i = argc - 1; i >= 1; --i) words.push_back(shielded(argv[i]));
    try {
        app.parse(words);  // takes the words last first
    } catch (const CLI::ParseError& error) {
        return wrongUsage(error.what());
    }
    unshield(&line.directory);
    for (std::string& name : names) unshield(&name);
    if (help) {
        line.mode = MODE_HELP;
        return line;
    }
    if (version) {
        line.mode = MODE_VERSION;
        return line;
    }

    int modes = int(list) + int(extract) + int(verify) + int(create) + int(cat);
    for (const ChangeFlag& flag : changeFlags) modes += int(flag.given);
    if (modes > 1)
        return wrongUsage(
            "choose one mode: --list, --extract, --verify, --create, --cat, --replace, --add, "
            "--delete, --rename, --mkdir, --update, --undo, --history or --forget");
    line.mode = list      ? MODE_LIST
                : extract ? MODE_EXTRACT
                : verify  ? MODE_VERIFY
                : create  ? MODE_CREATE
                : cat     ? MODE_CAT
                          : MODE_BROWSER;
    for (const ChangeFlag& flag : changeFlags) {
        if (flag.given)
            line.mode = flag.mode;
    }
    if (line.json && line.mode != MODE_LIST)
        return wrongUsage("--json goes with --list");
    if (line.keep && line.mode != MODE_EXTRACT)
        return wrongUsage("--keep goes with --extract");
    if (line.addNew && line.mode != MODE_UPDATE)
        return wrongUsage("--add-new goes with --update");
    if (line.dryRun && line.mode != MODE_UPDATE)
        return wrongUsage("--dry-run goes with --update");
    if (directory->count() > 0 && line.mode != MODE_EXTRACT)
        return wrongUsage("--directory (-C) goes with --extract");
    if (line.mode == MODE_EXTRACT && line.directory.empty())
        return wrongUsage("--directory (-C) needs a directory name");
    if (const char* problem = namesProblem(line.mode, names.size()))
        return wrongUsage(problem);

    // The browser, as without options, opens its first name and ignores the rest.
    if (!names.empty())
        line.archive = names[0];
    if (line.mode == MODE_CREATE)
        line.packDirectory = names[1];
    if (line.mode == MODE_CAT)
        line.entryPath = names[1];
    if (line.mode == MODE_UPDATE)
        line.updateDirectory = names[1];
    if (line.mode >= MODE_REPLACE && line.mode <= MODE_MKDIR) {
        const bool withSecond =
            line.mode == MODE_REPLACE || line.mode == MODE_ADD || line.mode == MODE_RENAME;
        line.changePaths.assign(names.begin() + 1, withSecond ? names.begin() + 2 : names.end());
        if (line.mode == MODE_RENAME)
            line.newName = names[2];
        else if (withSecond)
            line.hostFile = names[2];
    }
    if (line.mode == MODE_EXTRACT || line.mode == MODE_LIST) {
        line.patterns.assign(names.begin() + 1, names.end());
        for (const std::string& pattern : line.patterns) {
            PatternError error;
            if (!isValidWildPattern(pattern.c_str(), &error))
                return wrongUsage("the pattern '" + displayPath(pattern) +
                                  "' is not valid: " + patternProblem(error));
        }
    }
    return line;
}

const char* commandLineHelp() {
    return HELP;
}

int runCommandLine(const CommandLine& line, std::ostream& out, std::ostream& err) {
    switch (line.mode) {
        case MODE_WRONG_USAGE:
            err << "dirrip: " << line.error << "\nRun 'dirrip --help' for the options.\n";
            return 2;
        case MODE_HELP:
            out << HELP;
            return 0;
        case MODE_VERSION:
            out << "dirrip " << versionString() << "\n";
            return 0;
        case MODE_LIST:
            return listMode(line.archive, line.json ? LIST_JSON : LIST_TEXT, out, err,
                            line.patterns);
        case MODE_CAT:
            return catMode(line.archive, line.entryPath, out, err);
        case MODE_VERIFY:
            return verifyMode(line.archive, out, err);
        case MODE_CREATE:
            return createMode(line.archive, line.packDirectory, out, err);
        case MODE_EXTRACT: {
            ExtractOptions options;
            options.archivePath = line.archive;
            options.directory = line.directory;
            options.patterns = line.patterns;
            options.keep = line.keep;
            options.progress = &err == &std::cerr && standardErrorIsTerminal();
            return extractMode(options, out, err);
        }
        case MODE_REPLACE:
        case MODE_ADD:
        case MODE_DELETE:
        case MODE_RENAME:
        case MODE_MKDIR: {
            static constexpr EditOperation OPERATIONS[] = {EDIT_REPLACE, EDIT_ADD, EDIT_DELETE,
                                                           EDIT_RENAME, EDIT_MKDIR};
            ChangeCommand command;
            command.operation = OPERATIONS[line.mode - MODE_REPLACE];
            command.archive = line.archive;
            command.paths = line.changePaths;
            command.hostFile = line.hostFile;
            command.newName = line.newName;
            return changeMode(command, out, err);
        }
        case MODE_UNDO:
            return undoMode(line.archive, out, err);
        case MODE_HISTORY:
            return historyMode(line.archive, out, err);
        case MODE_FORGET:
            return forgetMode(line.archive, out, err);
        case MODE_UPDATE:
            return updateMode({line.archive, line.updateDirectory, line.addNew, line.dryRun}, out,
                              err);
        case MODE_BROWSER:
            break;
    }
    return COMMAND_LINE_BROWSER;
}

int runCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err) {
    return runCommandLine(parseCommandLine(argc, argv), out, err);
}
