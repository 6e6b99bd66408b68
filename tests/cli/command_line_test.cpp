// Option handling and exit statuses of the command-line modes.
#include <sys/wait.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "cli/command_line.h"
#include "cli_support.h"

namespace {

struct Arguments {
    std::vector<std::string> words;
    std::vector<char*> argv;
    explicit Arguments(std::vector<std::string> args) : words(std::move(args)) {
        words.insert(words.begin(), "dirrip");
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
    }
    int argc() const { return int(words.size()); }
};

// One line per parse: the mode, its names and options, or "usage: " and the reason.
std::string describe(const CommandLine& line) {
    static const char* const NAMES[] = {"browser", "list",   "extract", "verify",  "create",
                                        "cat",     "help",   "version", "replace", "add",
                                        "delete",  "rename", "mkdir",   "undo",    "history",
                                        "forget",  "update"};
    if (line.mode == MODE_WRONG_USAGE)
        return "usage: " + line.error;
    std::string text = NAMES[line.mode];
    if (!line.archive.empty())
        text += " " + line.archive;
    if (line.mode == MODE_EXTRACT)
        text += " -C " + line.directory;
    if (!line.packDirectory.empty())
        text += " from " + line.packDirectory;
    if (!line.entryPath.empty())
        text += " file " + line.entryPath;
    for (const std::string& pattern : line.patterns) text += " '" + pattern + "'";
    for (const std::string& path : line.changePaths) text += " path " + path;
    if (!line.hostFile.empty())
        text += " with " + line.hostFile;
    if (!line.newName.empty())
        text += " to " + line.newName;
    if (line.json)
        text += " json";
    if (line.keep)
        text += " keep";
    if (!line.updateDirectory.empty())
        text += " from " + line.updateDirectory;
    if (line.addNew)
        text += " add-new";
    if (line.dryRun)
        text += " dry-run";
    return text;
}

TEST(CommandLine, ArgumentsToModeAndOptions) {
    const struct {
        std::vector<std::string> args;
        const char* expected;
    } table[] = {
        // Every form the README shows.
        {{"--list", "G.DIR"}, "list G.DIR"},
        {{"--list", "G.DIR", "--json"}, "list G.DIR json"},
        {{"--extract", "G.DIR", "-C", "out"}, "extract G.DIR -C out"},
        {{"-x", "G.DIR", "-C", "out", "*.MAP", "SOUNDS/*"},
         "extract G.DIR -C out '*.MAP' 'SOUNDS/*'"},
        {{"-x", "G.DIR", "-C", "out", "--keep"}, "extract G.DIR -C out keep"},
        {{"--verify", "G.DIR"}, "verify G.DIR"},
        {{"--create", "NEW.DIR", "mydir/"}, "create NEW.DIR from mydir/"},
        {{"--help"}, "help"},
        {{"-h"}, "help"},
        {{"--version"}, "version"},
        // Options in any order, before or after the names.
        {{"--list", "--json", "A"}, "list A json"},
        {{"-l", "--json", "A"}, "list A json"},
        {{"A", "--list"}, "list A"},
        {{"-x", "-C", "out", "A"}, "extract A -C out"},
        {{"-x", "-k", "A", "-C", "out"}, "extract A -C out keep"},
        {{"-xk", "-Cout", "A", "P*"}, "extract A -C out 'P*' keep"},
        {{"-x", "A", "P1", "--directory=out", "P2"}, "extract A -C out 'P1' 'P2'"},
        {{"-x", "A"}, "extract A -C ."},
        {{"--create", "NEW.DIR", "--", "-tree"}, "create NEW.DIR from -tree"},
        // "--" ends the options.
        {{"--", "-odd.dir"}, "browser -odd.dir"},
        {{"--", "-odd.dir", "ignored"}, "browser -odd.dir"},
        {{"--"}, "browser"},
        {{"--list", "--", "-odd.dir"}, "list -odd.dir"},
        {{"-x", "A", "-C", "o", "--", "-p", "--keep"}, "extract A -C o '-p' '--keep'"},
        {{"-C", "-", "-x", "A"}, "extract A -C -"},
        // Sets and names in square brackets reach the mode as typed.
        {{"-x", "[1].DIR", "-C", "[o]", "[a,b]", "\x01[c]", "[!x]*"},
         "extract [1].DIR -C [o] '[a,b]' '\x01[c]' '[!x]*'"},
        // Wrong usage, each with its reason.
        {{"--list"}, "usage: --list needs an archive"},
        {{"--list", "a.dir", "b.dir"}, "list a.dir 'b.dir'"},  // the second is a pattern
        {{"--list", "G.DIR", "*.WAV", "MAPS/*"}, "list G.DIR '*.WAV' 'MAPS/*'"},
        {{"--list", "G.DIR", "[a-"},
         "usage: the pattern '[a-' is not valid: a '-' in a [set] has no end of its range"},
        {{"--cat", "G.DIR", "maps/e1m1.map"}, "cat G.DIR file maps/e1m1.map"},
        {{"G.DIR", "--cat", "--", "-odd"}, "cat G.DIR file -odd"},
        {{"--cat", "G.DIR"}, "usage: --cat takes an archive and the path of one file in it"},
        {{"--cat", "G.DIR", "A", "B"},
         "usage: --cat takes an archive and the path of one file in it"},
        {{"--cat", "G.DIR", "A", "--json"}, "usage: --json goes with --list"},
        {{"--list", "a.dir", "--verify"},
         "usage: choose one mode: --list, --extract, --verify, --create, --cat, --replace, --add, "
         "--delete, --rename, --mkdir, --update, --undo, --history or --forget"},
        // The modes that change an archive, each with the names it takes.
        {{"--replace", "G.DIR", "MAPS/E1M1.MAP", "new.map"},
         "replace G.DIR path MAPS/E1M1.MAP with new.map"},
        {{"--add", "G.DIR", "SOUNDS/NEW.WAV"},
         "usage: --add takes an archive, the path of the new file and a file"},
        {{"--add", "G.DIR", "SOUNDS/NEW.WAV", "new.wav"},
         "add G.DIR path SOUNDS/NEW.WAV with new.wav"},
        {{"--delete", "G.DIR", "A", "B/C"}, "delete G.DIR path A path B/C"},
        {{"--delete", "G.DIR"}, "usage: --delete takes an archive and the paths to delete"},
        {{"--rename", "G.DIR", "A", "B"}, "rename G.DIR path A to B"},
        {{"G.DIR", "--mkdir", "NEW/DIR"}, "mkdir G.DIR path NEW/DIR"},
        {{"--undo", "G.DIR"}, "undo G.DIR"},
        {{"--history", "G.DIR", "X"}, "usage: --history takes one archive"},
        {{"--forget", "G.DIR"}, "forget G.DIR"},
        {{"--dry-run", "G.DIR", "--update", "out", "--add-new"},
         "update G.DIR from out add-new dry-run"},
        {{"--update", "G.DIR"}, "usage: --update takes an archive and one directory"},
        {{"--add-new", "-x", "G.DIR"}, "usage: --add-new goes with --update"},
        {{"--replace", "G.DIR", "A", "a", "--dry-run"}, "usage: --dry-run goes with --update"},
        {{"--undo", "--forget", "G.DIR"},
         "usage: choose one mode: --list, --extract, --verify, --create, --cat, --replace, --add, "
         "--delete, --rename, --mkdir, --update, --undo, --history or --forget"},
        {{"--verify", "a.dir", "extra"}, "usage: --verify takes one archive"},
        {{"--create", "a.dir"}, "usage: --create takes an archive and one directory"},
        {{"--create", "a.dir", "x", "y"}, "usage: --create takes an archive and one directory"},
        {{"--extract"}, "usage: --extract needs an archive"},
        {{"--json"}, "usage: --json goes with --list"},
        {{"--keep", "--list", "a.dir"}, "usage: --keep goes with --extract"},
        {{"-C", "out", "a.dir"}, "usage: --directory (-C) goes with --extract"},
        // A value that is missing must not swallow the next option.
        {{"-x", "A", "-C"}, "usage: --directory (-C) needs a directory name"},
        {{"-x", "A", "-C", "--keep"}, "usage: --directory (-C) needs a directory name"},
        {{"-x", "A", "--directory", "-k"}, "usage: --directory (-C) needs a directory name"},
        {{"-xkC"}, "usage: --directory (-C) needs a directory name"},
        {{"-xkC", "out", "A"}, "extract A -C out keep"},
        // Patterns are checked before anything is opened.
        {{"-x", "A", "-C", "o", "["},
         "usage: the pattern '[' is not valid: a '[' has no closing ']'"},
        {{"-x", "A", "ok*", "[]x"},
         "usage: the pattern '[]x' is not valid: '[]' is a set without members"},
        {{"-x", "A", "[a-]"},
         "usage: the pattern '[a-]' is not valid: a '-' in a [set] has no end of its range"},
        {{"-x", "A", "[a\\"},
         "usage: the pattern '[a\\' is not valid: a '\\' in a [set] has no character after it"},
        {{"-x", "A", "[\x1b"},
         "usage: the pattern '[\\x1B' is not valid: a '[' has no closing ']'"},
    };
    for (const auto& row : table) {
        Arguments arguments(row.args);
        EXPECT_EQ(describe(parseCommandLine(arguments.argc(), arguments.argv.data())), row.expected)
            << testing::PrintToString(row.args);
    }
}

TEST(CommandLine, OnlyOptionsLeaveTheBrowser) {
    const struct {
        std::vector<std::string> args;
        bool commandLine;
    } table[] = {
        {{}, false},
        {{"GAME.DIR"}, false},
        {{"GAME.DIR", "extra"}, false},
        {{"-"}, false},
        {{"-l", "GAME.DIR"}, true},
        {{"GAME.DIR", "--list"}, true},
        {{"--", "-odd.dir"}, true},
    };
    for (const auto& row : table) {
        Arguments arguments(row.args);
        EXPECT_EQ(isCommandLineMode(arguments.argc(), arguments.argv.data()), row.commandLine)
            << testing::PrintToString(row.args);
    }
}

TEST(CommandLine, WrongUsageExitsWithTwoAndPointsToHelp) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"--list=a.dir"}, {"-x", "A", "-C", "o", "-C", "p"}, {"-x", "A", "["}}) {
        ModeRun run = runDirrip(args);
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("dirrip: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("Run 'dirrip --help' for the options.\n"), std::string::npos)
            << run.err;
    }
}

TEST(CommandLine, HelpAndVersion) {
    ModeRun help = runDirrip({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, commandLineHelp());
    for (const char* word :
         {"--list", "--json", "--extract", "--directory", "--keep", "--verify", "--create", "--cat",
          "PATTERN", "F4", "Alt-F7", "--version", "Exit status"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    // One help text: the usage block appears once and nothing generated follows it.
    EXPECT_EQ(help.out.find("Usage:"), help.out.rfind("Usage:"));
    EXPECT_EQ(help.out.find("OPTIONS:"), std::string::npos);
    ModeRun version = runDirrip({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "dirrip 1.52\n");
}

TEST(CommandLine, MissingArchiveIsAFailureNotUsage) {
    for (const char* mode : {"--list", "--extract", "--verify", "--cat"}) {
        std::vector<std::string> words{mode, "/nonexistent/x.dir"};
        if (std::string(mode) == "--cat")
            words.push_back("A.TXT");
        ModeRun run = runDirrip(words);
        EXPECT_EQ(run.status, 1) << mode;
        EXPECT_NE(run.err.find("cannot open '/nonexistent/x.dir'"), std::string::npos)
            << mode << ": " << run.err;
    }
}

}  // namespace

namespace {

std::string readFileText(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        while (size_t n = std::fread(chunk, 1, sizeof chunk, file)) text.append(chunk, n);
        std::fclose(file);
    }
    return text;
}

// The real program: the dispatch in its entry and the exit statuses a script sees.
int runProgram(const std::string& arguments, std::string* output) {
    std::string command = std::string(DIRRIP_BINARY) + " " + arguments + " 2>&1 </dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    char chunk[4096];
    output->clear();
    while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) output->append(chunk, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Program, ExitStatusesOfTheModes) {
    std::string output;
    const std::string demo = std::string(DIRRIP_BUILD_DIR) + "/demo.dir";
    EXPECT_EQ(runProgram("--version", &output), 0);
    EXPECT_EQ(output, "dirrip 1.52\n");
    EXPECT_EQ(runProgram("--list " + demo, &output), 0);
    EXPECT_NE(output.find("README.TXT"), std::string::npos) << output;
    EXPECT_EQ(runProgram("--json " + demo + " -l", &output), 0);
    EXPECT_NE(output.find("\"README.TXT\""), std::string::npos) << output;
    EXPECT_EQ(runProgram("--list /nonexistent.dir", &output), 1);
    EXPECT_EQ(runProgram("--list " + demo + " '*.txt'", &output), 0);
    EXPECT_NE(output.find("README.TXT"), std::string::npos) << output;
    EXPECT_EQ(output.find(".MAP"), std::string::npos) << output;
    EXPECT_EQ(runProgram("--cat " + demo + " maps/levels.txt", &output), 0);
    EXPECT_EQ(output, readFileText(DIRRIP_SOURCE_DIR "/samples/demo/MAPS/LEVELS.TXT"));
    EXPECT_EQ(runProgram("--cat " + demo + " MAPS", &output), 1);
    EXPECT_EQ(runProgram("--cat " + demo, &output), 2);
    EXPECT_EQ(runProgram("--bogus", &output), 2);
    // After "--" a name starting with "-" is the browser's archive, not an
    // option; one it cannot open ends the browser with status 1.
    EXPECT_EQ(runProgram("-- -nonexistent.dir", &output), 1);
    EXPECT_NE(output.find("'-NONEXISTENT.DIR' has invalid format"), std::string::npos) << output;
}

}  // namespace
