// The viewer's rows: text and hex layout as tables, moving to the end of
// huge entries with bounded reads, and entries the archive cuts short.
#include "browser/viewer_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Entry data held in memory.
struct MemoryEntry {
    std::string bytes;
    ViewerData data;

    explicit MemoryEntry(std::string content, uint64_t size = UINT64_MAX)
        : bytes(std::move(content)) {
        uint64_t entrySize = size == UINT64_MAX ? bytes.size() : size;
        initViewerData(&data, entrySize, bytes.size(),
                       [this](uint64_t at, void* buffer, size_t count) {
                           if (at >= bytes.size())
                               return int64_t{0};
                           size_t n = std::min<size_t>(count, bytes.size() - at);
                           std::memcpy(buffer, bytes.data() + at, n);
                           return static_cast<int64_t>(n);
                       });
    }
};

// Every text row of the data: its cells with trailing blanks dropped.
std::vector<std::string> textRows(MemoryEntry& entry) {
    std::vector<std::string> rows;
    for (ViewRow row : pageRows(&entry.data, VIEW_TEXT, 0, 1000)) {
        std::string cells;
        textRow(&entry.data, row.start, &cells);
        cells.erase(cells.find_last_not_of(' ') + 1);
        rows.push_back(row.endMarker ? "<end>" : cells);
    }
    return rows;
}

TEST(ViewerText, LaysOutLines) {
    const std::string long80(80, 'x');
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> rows;
    } cases[] = {
        {"LF ends lines", "ab\ncd\n", {"ab", "cd"}},
        {"CR LF ends lines", "ab\r\ncd", {"ab", "cd"}},
        {"a lone CR is a glyph", "a\rb\n", {"a\rb"}},
        {"empty lines stay", "a\n\n\nb", {"a", "", "", "b"}},
        {"tabs go to multiples of 8", "a\tb\t\tc", {"a       b               c"}},
        {"a tab at column 7 takes one cell", "1234567\tx", {"1234567 x"}},
        {"NUL shows blank", std::string("a\0b", 3), {"a b"}},
        {"long lines wrap at 80", std::string(85, 'y'), {std::string(80, 'y'), "yyyyy"}},
        {"a line end after 80 cells belongs to the row", long80 + "\nz", {long80, "z"}},
        {"CR LF after 80 cells too", long80 + "\r\nz", {long80, "z"}},
        {"a tab wraps when the row is full", long80 + "\tq", {long80, "        q"}},
    };
    for (const Case& c : cases) {
        MemoryEntry entry(c.bytes);
        EXPECT_EQ(textRows(entry), c.rows) << c.what;
    }
}

TEST(ViewerHex, FormatsOffsetBytesAndGlyphs) {
    MemoryEntry entry(std::string("Hello, World!\n\0\x01", 16) + "\xB0\xFF" + "xyz");
    EXPECT_EQ(hexRow(&entry.data, 0),
              "00000000  48 65 6C 6C 6F 2C 20 57  6F 72 6C 64 21 0A 00 01  "
              "Hello, World!\n \x01    ");
    // A short last row leaves the missing bytes blank.
    EXPECT_EQ(hexRow(&entry.data, 16),
              "00000010  B0 FF 78 79 7A                                    "
              "\xB0\xFFxyz               ");
}

TEST(ViewerMode, OpensInHexForBinaryData) {
    struct Case {
        std::string bytes;
        ViewMode mode;
    } cases[] = {
        {"plain text\r\n\twith tabs\f\x1A", VIEW_TEXT},
        {"", VIEW_TEXT},
        {std::string("text with one NUL\0", 18), VIEW_HEX},
        {"\x01\x02\x03\x04"
         "ab",
         VIEW_HEX},
        {"\x01\x02"
         "abc",
         VIEW_TEXT},
        // A NUL after the first 4 KB does not count.
        {std::string(4096, 'a') + std::string(1, '\0'), VIEW_TEXT},
    };
    for (const Case& c : cases) {
        MemoryEntry entry(c.bytes);
        EXPECT_EQ(sniffViewMode(&entry.data), c.mode) << c.bytes;
    }
}

TEST(ViewerMoves, PagesStayOnRowsAndStopAtTheEnds) {
    std::string text;
    for (int i = 0; i < 50; ++i) text += "line " + std::to_string(i) + "\n";
    MemoryEntry entry(text);
    ViewerData* data = &entry.data;
    const uint64_t last = lastPageTop(data, VIEW_TEXT, 23);
    EXPECT_EQ(last, text.find("line 27\n"));
    EXPECT_EQ(scrollPage(data, VIEW_TEXT, 0, 22, 23), text.find("line 22\n"));
    EXPECT_EQ(scrollPage(data, VIEW_TEXT, last, 22, 23), last);
    EXPECT_EQ(scrollPage(data, VIEW_TEXT, last, -1, 23), text.find("line 26\n"));
    EXPECT_EQ(scrollPage(data, VIEW_TEXT, 0, -1, 23), 0u);
    EXPECT_EQ(pagePercent(*data, pageRows(data, VIEW_TEXT, last, 23)), 100);
    EXPECT_EQ(rowHolding(data, VIEW_TEXT, text.find("ne 3\n")), text.find("line 3\n"));
    // Hex: 16 bytes a row.
    EXPECT_EQ(rowHolding(data, VIEW_HEX, 37), 32u);
    EXPECT_EQ(lastPageTop(data, VIEW_HEX, 23), 32u);  // 390 bytes: 25 rows
}

TEST(ViewerMoves, EndOfAHugeEntryReadsOnlyNearTheEnd) {
    // A 4 GB entry of one endless line: every read is answered with 'a'.
    const uint64_t size = 0xFFFFFFFFull;
    uint64_t bytesRead = 0;
    ViewerData data;
    initViewerData(&data, size, size, [&](uint64_t, void* buffer, size_t count) {
        std::memset(buffer, 'a', count);
        bytesRead += count;
        return static_cast<int64_t>(count);
    });
    EXPECT_EQ(sniffViewMode(&data), VIEW_TEXT);
    for (ViewMode mode : {VIEW_TEXT, VIEW_HEX}) {
        bytesRead = 0;
        uint64_t top = lastPageTop(&data, mode, 23);
        std::vector<ViewRow> page = pageRows(&data, mode, top, 23);
        ASSERT_EQ(page.size(), 23u) << mode;
        EXPECT_EQ(page.back().end, size) << mode;
        EXPECT_EQ(pagePercent(data, page), 100);
        EXPECT_LE(bytesRead, 4 * LINE_SCAN_LIMIT) << mode;
        bytesRead = 0;
        scrollPage(&data, mode, top, -22, 23);
        EXPECT_LE(bytesRead, 4 * LINE_SCAN_LIMIT) << mode;
    }
}

// Every row start going down from the first row.
std::vector<uint64_t> rowStartsDown(ViewerData* data) {
    std::vector<uint64_t> starts;
    for (uint64_t at = 0; at != NO_ROW; at = nextRow(data, VIEW_TEXT, at)) starts.push_back(at);
    return starts;
}

// Going up from a row must step through exactly the rows going down showed,
// and every byte must be found on the row that shows it.
void expectSameRowsBothWays(ViewerData* data, const std::vector<uint64_t>& down,
                            const std::string& what) {
    std::vector<size_t> checkpoints = {down.size() - 1};
    for (uint64_t point = LINE_SCAN_LIMIT; point < data->available; point += LINE_SCAN_LIMIT) {
        size_t i = std::upper_bound(down.begin(), down.end(), point) - down.begin();
        checkpoints.push_back(std::min(i + 3, down.size() - 1));
    }
    for (size_t from : checkpoints) {
        uint64_t at = down[from];
        for (size_t i = from; i > 0 && i + 12 > from; --i) {
            at = previousRow(data, VIEW_TEXT, at);
            ASSERT_EQ(at, down[i - 1]) << what << ": up from row " << from;
            for (uint64_t p : {down[i - 1], down[i] - 1})
                ASSERT_EQ(rowHolding(data, VIEW_TEXT, p), down[i - 1]) << what << ": byte " << p;
        }
    }
}

TEST(ViewerMoves, LongLinesShowTheSameRowsGoingUpAndDown) {
    const uint64_t L = LINE_SCAN_LIMIT;
    // One line of 168,890 bytes of numbered tokens and tabs: rows of varying length.
    std::string tokens;
    for (int i = 0; tokens.size() < 168890; ++i)
        tokens += "tok" + std::to_string(i) + (i % 3 ? "\t" : " ");
    tokens.resize(168890);
    auto longLine = [](uint64_t length, const std::string& end) {
        std::string line;
        for (uint64_t i = 0; line.size() < length; ++i) line += i % 9 ? 'x' : '\t';
        line.resize(length - end.size());
        return line + end;
    };
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"tokens and tabs", tokens + "\nlast"},
        {"line feed at the restart point", longLine(L + 1, "\n") + "next\n"},
        {"CR LF across the restart point", longLine(L + 1, "\r\n") + "next\n"},
        {"CR LF at the restart point", longLine(L + 2, "\r\n") + "next"},
        {"a line starting after the restart point", "ab\n" + longLine(2 * L + 7, "\n")},
    };
    for (const auto& c : cases) {
        MemoryEntry entry(c.bytes);
        std::vector<uint64_t> down = rowStartsDown(&entry.data);
        expectSameRowsBothWays(&entry.data, down, c.what);
    }

    // The token line breaks at each restart point, so no token is cut at a
    // place that depends on the way there.
    MemoryEntry entry(tokens);
    std::vector<uint64_t> down = rowStartsDown(&entry.data);
    for (uint64_t point = L; point < tokens.size(); point += L)
        EXPECT_TRUE(std::binary_search(down.begin(), down.end(), point)) << point;
    // A line end right at the restart point stays on its row: no empty row.
    MemoryEntry ending(longLine(L + 1, "\n") + "z");
    EXPECT_EQ(textRows(ending).back(), "z");
    EXPECT_NE(textRows(ending).end()[-2], "");

    // Short lines run through a restart point as anywhere else.
    std::string shortLines;
    while (shortLines.size() < L + 200) shortLines += std::string(70, 's') + "\n";
    MemoryEntry plain(shortLines);
    down = rowStartsDown(&plain.data);
    EXPECT_FALSE(std::binary_search(down.begin(), down.end(), L));
    EXPECT_EQ(down.size(), shortLines.size() / 71);
}

TEST(ViewerTruncated, ShowsWhatExistsThenTheEndMarker) {
    // 40 bytes held of an entry of 100.
    MemoryEntry entry(std::string(40, 'a'), 100);
    ViewerData* data = &entry.data;
    EXPECT_TRUE(dataTruncated(*data));
    for (ViewMode mode : {VIEW_TEXT, VIEW_HEX}) {
        std::vector<ViewRow> page = pageRows(data, mode, 0, 23);
        ASSERT_FALSE(page.empty());
        EXPECT_TRUE(page.back().endMarker) << mode;
        EXPECT_EQ(page.back().start, 40u);
        EXPECT_EQ(lastPageTop(data, mode, 23), 0u);
        EXPECT_EQ(pagePercent(*data, page), 40);
    }
    EXPECT_EQ(pageRows(data, VIEW_HEX, 0, 23).size(), 4u);  // 16 + 16 + 8 bytes, then the marker
    std::string marker = endOfArchiveRow(*data);
    EXPECT_EQ(marker.size(), 80u);
    EXPECT_NE(marker.find(" the archive ends here: 60 of 100 bytes missing "), std::string::npos);
}

TEST(ViewerTruncated, AReadThatComesUpShortBecomesTheEnd) {
    // The entry says 100 bytes and the file claims them, but reads stop at 30.
    std::string held(30, 'b');
    ViewerData data;
    initViewerData(&data, 100, 100, [&](uint64_t at, void* buffer, size_t count) {
        size_t n = at >= held.size() ? 0 : std::min<size_t>(count, held.size() - at);
        std::memcpy(buffer, held.data() + at, n);
        return static_cast<int64_t>(n);
    });
    std::vector<ViewRow> page = pageRows(&data, VIEW_HEX, 0, 23);
    ASSERT_EQ(page.size(), 3u);
    EXPECT_TRUE(page[2].endMarker);
    EXPECT_EQ(data.available, 30u);

    // A reader that fails outright: the whole entry is missing.
    ViewerData failing;
    initViewerData(&failing, 10, 10, [](uint64_t, void*, size_t) { return int64_t{-1}; });
    EXPECT_EQ(sniffViewMode(&failing), VIEW_TEXT);
    page = pageRows(&failing, VIEW_TEXT, 0, 23);
    ASSERT_EQ(page.size(), 1u);
    EXPECT_TRUE(page[0].endMarker);
}

TEST(ViewerEmpty, AnEmptyEntryHasNoRows) {
    MemoryEntry entry("");
    EXPECT_TRUE(pageRows(&entry.data, VIEW_TEXT, 0, 23).empty());
    EXPECT_EQ(lastPageTop(&entry.data, VIEW_HEX, 23), 0u);
    EXPECT_EQ(pagePercent(entry.data, {}), 100);
}

}  // namespace
