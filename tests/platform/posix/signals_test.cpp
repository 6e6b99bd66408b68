// Interrupt handling: what an interrupt leaves behind on the disk and on the
// terminal. Each interrupt runs in a child process (a death test), and the
// parent checks the result.
#include "platform/signals.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

class SignalsTest : public ::testing::Test {
  protected:
    void touch(const std::string& name) const { writeFile(dir_.file(name), "partial"); }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir_.file(name)); }

    TempDir dir_;
    const std::string& path_ = dir_.path();
};

int markerFile = -1;
void writeMarker() {
    ssize_t ignored = write(markerFile, "restored", 8);
    (void)ignored;
}

// Registers `names` in `directory`, clears the slots of `cleared`, then
// raises `signalNumber`; never returns.
void interruptWith(int signalNumber, const std::string& directory,
                   const std::vector<std::string>& names, const std::vector<std::string>& cleared) {
    int handle = open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    markerFile = open((directory + "/marker").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    installInterruptHandlers();
    setInterruptRestore(writeMarker);
    for (const std::string& name : names) {
        int slot = addPendingRemoval(handle, name.c_str());
        for (const std::string& gone : cleared)
            if (gone == name)
                clearPendingRemoval(slot);
    }
    raise(signalNumber);
    std::_Exit(0);  // not reached when the handler ends the process
}

TEST_F(SignalsTest, InterruptRemovesPendingFilesRestoresAndEndsWithTheSignal) {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        for (const char* name : {"A.BIN.tmp", "B.BIN.tmp", "DONE.BIN", "OTHER"}) touch(name);
        EXPECT_EXIT(interruptWith(signalNumber, path_, {"A.BIN.tmp", "B.BIN.tmp", "DONE.BIN"},
                                  {"DONE.BIN"}),
                    ::testing::KilledBySignal(signalNumber), "");
        EXPECT_FALSE(exists("A.BIN.tmp"));
        EXPECT_FALSE(exists("B.BIN.tmp"));
        EXPECT_TRUE(exists("DONE.BIN")) << "a cleared slot must not remove its file";
        EXPECT_TRUE(exists("OTHER"));
        EXPECT_EQ(readFile(dir_.file("marker")), "restored");
    }
}

TEST_F(SignalsTest, SlotsRunOutAndComeBack) {
    int handle = open(path_.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(handle, 0);
    std::vector<int> taken;
    for (int slot; (slot = addPendingRemoval(handle, "X.tmp")) >= 0;) taken.push_back(slot);
    EXPECT_GE(taken.size(), 8u);
    clearPendingRemoval(taken[3]);
    EXPECT_EQ(addPendingRemoval(handle, "Y.tmp"), taken[3]);
    clearPendingRemoval(-1);  // ignored
    EXPECT_EQ(addPendingRemoval(handle, std::string(300, 'N').c_str()), -1);
    for (int slot : taken) clearPendingRemoval(slot);
    close(handle);
}

}  // namespace
