// --create interrupted: nothing of the unfinished archive is left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "cli/create_mode.h"
#include "cli_support.h"
#include "support/archive_fixture.h"

namespace {

bool holdsTemporaryFile(const std::string& directory) {
    for (const auto& item : std::filesystem::directory_iterator(directory)) {
        if (item.path().filename().string().find(".tmp-") != std::string::npos)
            return true;
    }
    return false;
}

TEST(Create, AnInterruptRemovesTheUnfinishedArchive) {
    TempDir temp;
    std::filesystem::create_directory(temp.file("src"));
    // Almost 4 GB of holes: far more than can be written before the signal.
    std::filesystem::create_directory(temp.file("out"));
    writeFile(temp.file("src/BIG.BIN"), "");
    std::filesystem::resize_file(temp.file("src/BIG.BIN"), 0xF0000000ull);
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::ostringstream out, err;
            _exit(createMode(temp.file("out/NEW.DIR"), temp.file("src"), out, err));
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!holdsTemporaryFile(temp.file("out")) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        kill(child, signalNumber);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
        EXPECT_TRUE(std::filesystem::is_empty(temp.file("out"))) << signalNumber;
    }
}

}  // namespace
