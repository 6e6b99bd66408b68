// F2 in the real program: what lands on disk, and the end message of each failure.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/archive_fixture.h"
#include "support/tmux_harness.h"

namespace fs = std::filesystem;

namespace {

struct Stored {
    const char* name;
    uint32_t size;
    uint32_t offset;
};

// Root listing: SUB (holding INNER.BIN), then files; the data follows the listings.
constexpr Stored ROOT_FILES[] = {
    {"A.BIN", 20000, 400},        {"B.BIN", 300, 20400},     {"C.BIN", 5000, 20700},
    {"DATA/MAP.BIN", 100, 25700}, {"BAD.BIN", 10, 50000000},
};
constexpr Stored INNER = {"INNER.BIN", 10, 25800};
constexpr uint32_t SUB_LISTING = 308;
constexpr uint32_t ARCHIVE_SIZE = 25810;

uint8_t dataByte(uint32_t position) {
    return uint8_t(position * 13 + position / 256);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string expectedData(const Stored& file) {
    std::string bytes;
    for (uint32_t i = 0; i < file.size; ++i) bytes += char(dataByte(file.offset + i));
    return bytes;
}

class RipEndToEnd : public testing::Test {
  protected:
    void SetUp() override {
        std::vector<uint8_t> bytes;
        appendRecord(bytes, "SUB", TYPE_DIRECTORY, 0, SUB_LISTING);
        for (const Stored& f : ROOT_FILES) appendRecord(bytes, f.name, TYPE_FILE, f.size, f.offset);
        appendEnd(bytes);
        appendRecord(bytes, INNER.name, TYPE_FILE, INNER.size, INNER.offset);
        appendEnd(bytes);
        while (bytes.size() < ARCHIVE_SIZE) bytes.push_back(dataByte(uint32_t(bytes.size())));
        temp.write("game.dir", bytes);
        fs::create_directory(out());
    }

    std::string out() const { return temp.file("out"); }

    // Runs the program on the archive from out/ with `shellPrefix` before it.
    std::unique_ptr<TmuxSession> start(const std::string& shellPrefix = "") {
        TmuxSession::Options options;
        options.workingDirectory = out();
        auto session = std::make_unique<TmuxSession>(
            shellPrefix + "exec " + TmuxSession::quote(DIRRIP_BINARY) + " ../game.dir", options);
        EXPECT_TRUE(session->waitFor("file from")) << session->dump();
        return session;
    }

    // Presses `keys`, then leaves with Esc Esc when the program is still running.
    static void finish(TmuxSession& session) {
        session.sendKeys("Escape", "Escape");
        EXPECT_TRUE(session.waitForExit(5000)) << session.dump();
    }

    std::vector<std::string> ripped() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(out()))
            names.push_back(fs::relative(entry.path(), out()).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir temp;
};

// The root lists SUB, A.BIN, B.BIN, BAD.BIN, C.BIN, DATA\MAP.BIN.
constexpr int ROW_OF_A = 1, ROW_OF_B = 2, ROW_OF_BAD = 3, ROW_OF_MAP = 5;

void moveTo(TmuxSession& session, int index) {
    session.sendKeys("Home");
    for (int i = 0; i < index; ++i) session.sendKeys("Down");
}

TEST_F(RipEndToEnd, CursorFileIsRippedAndMarked) {
    auto session = start();
    moveTo(*session, ROW_OF_A);
    session->sendKeys("F2");
    EXPECT_TRUE(session->waitFor("yes")) << session->dump();
    finish(*session);
    EXPECT_EQ(ripped(), std::vector<std::string>{"A.BIN"});
    EXPECT_EQ(readFile(out() + "/A.BIN"), expectedData(ROOT_FILES[0]));
}

TEST_F(RipEndToEnd, SelectionWinsOverTheCursorAndNamesMakeDirectories) {
    auto session = start();
    moveTo(*session, ROW_OF_A);
    session->sendKeys("IC");
    moveTo(*session, ROW_OF_MAP);
    session->sendKeys("IC");
    moveTo(*session, ROW_OF_B);
    session->sendKeys("F2");
    EXPECT_TRUE(session->waitUntil([](const std::string& screen) {
        size_t first = screen.find("yes");
        return first != std::string::npos && screen.find("yes", first + 1) != std::string::npos;
    })) << session->dump();
    finish(*session);
    EXPECT_EQ(ripped(), (std::vector<std::string>{"A.BIN", "DATA", "DATA/MAP.BIN"}));
    EXPECT_EQ(readFile(out() + "/DATA/MAP.BIN"), expectedData(ROOT_FILES[3]));
}

TEST_F(RipEndToEnd, SubDirectoryAndItsUpEntryRipAndViewNothing) {
    auto session = start();
    session->sendKeys("F2");  // on SUB
    session->sendKeys("F4");
    EXPECT_TRUE(session->waitForRow(24, "'SUB' is a directory: Enter opens it, F4 views files"))
        << session->dump();
    session->sendKeys("Enter", "F2");  // on "..." inside SUB
    session->sendKeys("F4");
    EXPECT_TRUE(session->waitForRow(24, "'..' leads back up: Enter goes there, F4 views files"))
        << session->dump();
    session->sendKeys("Down", "F2");  // INNER.BIN
    EXPECT_TRUE(session->waitFor("yes")) << session->dump();
    finish(*session);
    EXPECT_EQ(ripped(), std::vector<std::string>{"INNER.BIN"});
    EXPECT_EQ(readFile(out() + "/INNER.BIN"), expectedData(INNER));
}

TEST_F(RipEndToEnd, EachFailureEndsTheRunWithItsMessage) {
    struct Case {
        const char* label;
        std::function<void()> arrange;
        std::string shellPrefix;
        int row;
        std::string message;
        const char* mustNotExist;
    } cases[] = {
        {"output name taken by a directory", [this] { fs::create_directory(out() + "/B.BIN"); }, "",
         ROW_OF_B, "Unable create 'B.BIN'", nullptr},
        {"file in place of a directory", [this] { std::ofstream(out() + "/DATA") << "x"; }, "",
         ROW_OF_MAP, "Unable create directory '" + out() + "/DATA'", "DATA/MAP.BIN"},
        {"data past the archive's end", [] {}, "", ROW_OF_BAD, "Unable read 'BAD.BIN' from archive",
         "BAD.BIN"},
        {"file size limit reached while writing", [] {}, "ulimit -f 8; trap '' XFSZ; ", ROW_OF_A,
         "Unable write 'A.BIN'", "A.BIN"},
        // The cause follows the message.
        {"symbolic link at the output name",
         [this] { fs::create_symlink(temp.file("elsewhere"), out() + "/B.BIN"); }, "", ROW_OF_B,
         "Unable create 'B.BIN': a symbolic link is in the way", nullptr},
        {"read-only file at the output name",
         [this] {
             std::ofstream(out() + "/B.BIN") << "mine";
             fs::permissions(out() + "/B.BIN", fs::perms(0444));
         },
         "", ROW_OF_B, "Unable create 'B.BIN': a read-only file is in the way", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(out());
        fs::create_directory(out());
        auto session = start(c.shellPrefix);
        c.arrange();
        moveTo(*session, c.row);
        session->sendKeys("F2");
        int status = -1;
        EXPECT_TRUE(session->waitForExit(5000, &status)) << session->dump();
        EXPECT_EQ(status, 1);
        EXPECT_TRUE(session->waitFor(c.message)) << session->dump();
        if (c.mustNotExist) {
            EXPECT_FALSE(fs::exists(out() + "/" + c.mustNotExist));
        }
        if (!fs::exists(temp.file("game.dir")))
            SetUp();
    }
    EXPECT_EQ(readFile(out() + "/B.BIN"), "mine");
}

// Esc typed while a rip runs stops it, and the Esc after it is dropped rather
// than taken for the first half of the way out.
TEST_F(RipEndToEnd, EscStopsARipAndTheProgramGoesOn) {
    // A 64 MB file, mostly a hole, so the archive costs no time to make.
    std::vector<uint8_t> bytes;
    appendRecord(bytes, "HUGE.BIN", TYPE_FILE, 64u << 20, 100);
    appendEnd(bytes);
    temp.write("game.dir", bytes);
    fs::resize_file(temp.file("game.dir"), 100 + (64u << 20));
    auto session = start();
    // Both Escs reach the terminal with F2: the rip finds them at its first look.
    session->sendKeys("F2", "Escape", "Escape");
    EXPECT_TRUE(session->waitForRow(24, "Ripping cancelled")) << session->dump();
    EXPECT_EQ(session->screen().find("yes"), std::string::npos) << session->dump();
    EXPECT_EQ(ripped(), std::vector<std::string>{});
    // Still running: a key takes the notice away and the hint line comes back.
    session->sendKeys("Down");
    EXPECT_TRUE(session->waitForGone("Ripping cancelled")) << session->dump();
    finish(*session);
}

}  // namespace
