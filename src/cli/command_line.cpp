#include "cli/command_line.h"

#include <unistd.h>

#include <iostream>
#include <sstream>

#include <CLI/CLI.hpp>

#include "cli/create_mode.h"
#include "cli/extract_mode.h"
#include "cli/list_mode.h"
#include "cli/verify_mode.h"
#include "version.h"

bool isCommandLineMode(int argc, char** argv) {
    return argc >= 2 && argv[1][0] == '-' && argv[1][1] != '\0';
}

int runCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CLI::App app{
        "dirrip: browse and rip DIR archives.\n\n"
        "  dirrip ARCHIVE                       open the archive in the full-screen browser\n"
        "  dirrip --list ARCHIVE [--json]       list every entry\n"
        "  dirrip --extract ARCHIVE [-C DIR] [-k] [PATTERN...]\n"
        "                                       extract files, re-creating directories\n"
        "  dirrip --verify ARCHIVE              check every listing and record\n"
        "  dirrip --create ARCHIVE DIR          pack a directory tree into a new archive\n\n"
        "Exit status: 0 success, 1 a failure of the archive or the disk, 2 wrong usage.",
        "dirrip"};
    app.set_version_flag("--version", std::string("dirrip ") + versionString());

    std::string listPath, extractPath, verifyPath, createPath, directory = ".";
    std::vector<std::string> arguments;
    bool json = false, keep = false;
    auto* list =
        app.add_option("-l,--list", listPath, "List every entry: kind, size, offset, path");
    auto* extract = app.add_option("-x,--extract", extractPath,
                                   "Extract the files (all, or those whose path or name "
                                   "matches a PATTERN; letters without case)");
    auto* verify = app.add_option("--verify", verifyPath, "Check every listing and record");
    auto* create =
        app.add_option("-c,--create", createPath, "Pack the directory DIR into a new archive");
    app.add_flag("--json", json, "With --list: one JSON document")->needs(list);
    app.add_option("-C,--directory", directory, "With --extract: where to write (default .)")
        ->needs(extract);
    app.add_flag("-k,--keep", keep, "With --extract: skip files that exist")->needs(extract);
    app.add_option("arguments", arguments, "PATTERN... for --extract, DIR for --create");
    for (auto* mode : {list, extract, verify, create}) {
        for (auto* other : {list, extract, verify, create}) {
            if (mode != other)
                mode->excludes(other);
        }
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::CallForVersion&) {
        out << "dirrip " << versionString() << "\n";
        return 0;
    } catch (const CLI::ParseError& error) {
        err << "dirrip: " << error.what() << "\nRun 'dirrip --help' for the options.\n";
        return 2;
    }

    auto usage = [&](const char* text) {
        err << "dirrip: " << text << "\nRun 'dirrip --help' for the options.\n";
        return 2;
    };
    if (*list) {
        if (!arguments.empty())
            return usage("--list takes one archive");
        return listMode(listPath, json ? LIST_JSON : LIST_TEXT, out, err);
    }
    if (*extract) {
        ExtractOptions options;
        options.archivePath = extractPath;
        options.directory = directory;
        options.patterns = arguments;
        options.keep = keep;
        options.progress = &err == &std::cerr && isatty(STDERR_FILENO);
        return extractMode(options, out, err);
    }
    if (*verify) {
        if (!arguments.empty())
            return usage("--verify takes one archive");
        return verifyMode(verifyPath, out, err);
    }
    if (*create) {
        if (arguments.size() != 1)
            return usage("--create takes an archive and one directory");
        return createMode(createPath, arguments[0], out, err);
    }
    return usage("name a mode: --list, --extract, --verify or --create");
}
