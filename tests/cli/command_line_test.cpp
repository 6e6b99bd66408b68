// Option handling and exit statuses of the command-line modes.
#include <sys/wait.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "cli/command_line.h"
#include "cli_support.h"

namespace {

TEST(CommandLine, BrowserArgumentsAreNotOptions) {
    const char* archive[] = {"dirrip", "GAME.DIR", nullptr};
    const char* none[] = {"dirrip", nullptr};
    const char* dash[] = {"dirrip", "-", nullptr};
    const char* list[] = {"dirrip", "-l", "GAME.DIR", nullptr};
    EXPECT_FALSE(isCommandLineMode(2, const_cast<char**>(archive)));
    EXPECT_FALSE(isCommandLineMode(1, const_cast<char**>(none)));
    EXPECT_FALSE(isCommandLineMode(2, const_cast<char**>(dash)));
    EXPECT_TRUE(isCommandLineMode(3, const_cast<char**>(list)));
}

TEST(CommandLine, WrongUsageExitsWithTwo) {
    const std::vector<std::vector<std::string>> wrong = {
        {"--list"},
        {"--list", "a.dir", "--verify", "b.dir"},
        {"--json"},
        {"--keep", "--list", "a.dir"},
        {"--create", "a.dir"},
        {"--create", "a.dir", "x", "y"},
        {"--verify", "a.dir", "extra"},
        {"--bogus"},
    };
    for (const auto& args : wrong) {
        ModeRun run = runDirrip(args);
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_NE(run.err.find("--help"), std::string::npos) << args[0] << ": " << run.err;
    }
}

TEST(CommandLine, HelpAndVersion) {
    ModeRun help = runDirrip({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"--list", "--json", "--extract", "--keep", "--verify", "--create"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    ModeRun version = runDirrip({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "dirrip 1.52\n");
}

TEST(CommandLine, MissingArchiveIsAFailureNotUsage) {
    for (const char* mode : {"--list", "--extract", "--verify"}) {
        ModeRun run = runDirrip({mode, "/nonexistent/x.dir"});
        EXPECT_EQ(run.status, 1) << mode;
        EXPECT_NE(run.err.find("cannot open '/nonexistent/x.dir'"), std::string::npos)
            << mode << ": " << run.err;
    }
}

}  // namespace

namespace {

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
    EXPECT_EQ(runProgram("--version", &output), 0);
    EXPECT_EQ(output, "dirrip 1.52\n");
    EXPECT_EQ(runProgram("--list " + std::string(DIRRIP_BUILD_DIR) + "/demo.dir", &output), 0);
    EXPECT_NE(output.find("README.TXT"), std::string::npos) << output;
    EXPECT_EQ(runProgram("--list /nonexistent.dir", &output), 1);
    EXPECT_EQ(runProgram("--bogus", &output), 2);
}

}  // namespace
