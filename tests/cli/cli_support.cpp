#include "cli_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/command_line.h"

ModeRun runDirrip(const std::vector<std::string>& args) {
    std::vector<std::string> words{"dirrip"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    ModeRun run;
    run.status = runCommandLine(int(words.size()), argv.data(), out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::map<std::string, std::string> readTree(const std::string& root) {
    std::map<std::string, std::string> tree;
    for (auto& item : std::filesystem::recursive_directory_iterator(root)) {
        std::string relative = std::filesystem::relative(item.path(), root).string();
        if (item.is_directory()) {
            tree[relative + "/"] = "";
        } else {
            std::ifstream in(item.path(), std::ios::binary);
            tree[relative] = std::string(std::istreambuf_iterator<char>(in), {});
        }
    }
    return tree;
}
