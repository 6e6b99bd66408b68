// The viewer's pages without the screen: the entry's bytes read in blocks on
// demand, the rows of the text and hex views, and moving through them. Only
// the bytes around the shown rows are ever read, so an entry of any size
// opens, and goes to its end, at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum ViewMode { VIEW_TEXT, VIEW_HEX };

constexpr int VIEW_COLUMNS = 80;
constexpr int TAB_WIDTH = 8;
constexpr uint64_t HEX_ROW_BYTES = 16;
// The bytes whose make-up picks the first view.
constexpr size_t SNIFF_BYTES = 4096;
// How far back the text view looks for the start of a line (up to twice
// this). A line longer than this is laid out in stretches: a row always
// breaks at each multiple of this offset that such a line runs through, so
// that going up, going down and going to the end show the same rows at once.
// A multiple of 80 and of 16.
constexpr uint64_t LINE_SCAN_LIMIT = 32000;
constexpr size_t VIEW_BLOCK_SIZE = 16384;
constexpr size_t VIEW_BLOCKS = 6;  // more than two stretches of a long line
// Returned where there is no row.
constexpr uint64_t NO_ROW = UINT64_MAX;

// Reads up to `count` bytes of the entry's data at `offset` (counted from the
// entry's first byte); returns the bytes read, fewer at the end, -1 on error.
using EntryReader = std::function<int64_t(uint64_t offset, void* buffer, size_t count)>;

// One entry's data as the viewer sees it, with the last few blocks read kept.
struct ViewerData {
    uint64_t size = 0;       // the entry's size
    uint64_t available = 0;  // the bytes the archive holds: size, or less when it ends early
    EntryReader read;

    struct Block {
        uint64_t start = NO_ROW;
        std::vector<unsigned char> bytes;
        uint64_t lastUse = 0;
    };
    Block blocks[VIEW_BLOCKS];
    uint64_t uses = 0;
};

// Sets `data` up for an entry of `size` bytes of which the archive holds
// `available` (at most `size`), read through `read`.
void initViewerData(ViewerData* data, uint64_t size, uint64_t available, EntryReader read);

// The byte at `position`, or -1 past the held data. A failing read shortens
// the held data to what could be read, so that it then shows as missing.
int dataByte(ViewerData* data, uint64_t position);

// True when the archive holds less than the entry's size.
bool dataTruncated(const ViewerData& data);

// The view the data opens in: hex when the first 4 KB hold a NUL byte or more
// than half control bytes (below 0x20 except tab, line feed, form feed,
// carriage return and 0x1A, or 0x7F), text otherwise (an empty entry too).
ViewMode sniffViewMode(ViewerData* data);

// Lays out the text row starting at `start`: bytes up to a line end (LF or
// CR LF, which the row takes along) or until 80 columns are full; tabs go to
// the next multiple of 8; every other byte is one code page 437 glyph, NUL a
// blank. A line end right after 80 full columns belongs to that row. A line
// longer than LINE_SCAN_LIMIT also breaks at each multiple of it. Returns
// where the next row starts; `cells`, when given, gets the row's 80 cells.
uint64_t textRow(ViewerData* data, uint64_t start, std::string* cells = nullptr);

// The 80 cells of the hex row starting at `start` (a multiple of 16): the
// offset in 8 hexadecimal digits, the 16 bytes in hex in two groups of 8, and
// the same bytes as glyphs; bytes the archive lacks are left blank.
std::string hexRow(ViewerData* data, uint64_t start);

// The row that marks where the archive ends, in 80 cells.
std::string endOfArchiveRow(const ViewerData& data);

// The start of the row after the one at `position`; NO_ROW after the last
// row. When the archive ends early, the last row is the end marker, at `available`.
uint64_t nextRow(ViewerData* data, ViewMode mode, uint64_t position);
// The start of the row before the one at `position`; NO_ROW at the first row.
uint64_t previousRow(ViewerData* data, ViewMode mode, uint64_t position);
// The start of the row that holds the byte at `position` (for switching views).
uint64_t rowHolding(ViewerData* data, ViewMode mode, uint64_t position);
// The first row of the last page of `rows` rows (0 when everything fits).
uint64_t lastPageTop(ViewerData* data, ViewMode mode, int rows);

// One shown row: data from `start` to `end`, or the end marker.
struct ViewRow {
    uint64_t start = 0;
    uint64_t end = 0;
    bool endMarker = false;
};

// The rows of a page of at most `rows` rows beginning at `top`.
std::vector<ViewRow> pageRows(ViewerData* data, ViewMode mode, uint64_t top, int rows);

// The position in percent of the end of the shown page within the entry.
int pagePercent(const ViewerData& data, const std::vector<ViewRow>& page);

// Moves the page's first row by `rows` rows (down when positive), never
// before the first row or past lastPageTop; returns the new first row.
uint64_t scrollPage(ViewerData* data, ViewMode mode, uint64_t top, int rows, int pageRowsCount);
