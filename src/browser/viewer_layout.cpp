#include "browser/viewer_layout.h"

#include <algorithm>
#include <cstdio>

void initViewerData(ViewerData* data, uint64_t size, uint64_t available, EntryReader read) {
    data->size = size;
    data->available = std::min(available, size);
    data->read = std::move(read);
    for (ViewerData::Block& block : data->blocks) {
        block.start = NO_ROW;
        block.bytes.clear();
        block.lastUse = 0;
    }
    data->uses = 0;
}

int dataByte(ViewerData* data, uint64_t position) {
    if (position >= data->available)
        return -1;
    const uint64_t start = position - position % VIEW_BLOCK_SIZE;
    ViewerData::Block* chosen = nullptr;
    for (ViewerData::Block& block : data->blocks) {
        if (block.start == start) {
            chosen = &block;
            break;
        }
    }
    if (chosen == nullptr) {
        // Replace the block used longest ago: moving back and forth over a
        // page boundary keeps both neighbours.
        chosen = &data->blocks[0];
        for (ViewerData::Block& block : data->blocks)
            if (block.lastUse < chosen->lastUse)
                chosen = &block;
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(VIEW_BLOCK_SIZE, data->available - start));
        chosen->bytes.resize(want);
        int64_t got = data->read ? data->read(start, chosen->bytes.data(), want) : -1;
        if (got < 0)
            got = 0;
        chosen->bytes.resize(static_cast<size_t>(got));
        chosen->start = start;
        if (static_cast<size_t>(got) < want) {
            // The file ended (or failed) sooner than it said: what could not
            // be read is missing from here on.
            data->available = start + static_cast<uint64_t>(got);
            if (position >= data->available)
                return -1;
        }
    }
    chosen->lastUse = ++data->uses;
    return chosen->bytes[static_cast<size_t>(position - start)];
}

bool dataTruncated(const ViewerData& data) {
    return data.available < data.size;
}

ViewMode sniffViewMode(ViewerData* data) {
    const uint64_t length = std::min<uint64_t>(SNIFF_BYTES, data->available);
    uint64_t control = 0;
    for (uint64_t i = 0; i < length; ++i) {
        int b = dataByte(data, i);
        if (b < 0)
            break;
        if (b == 0)
            return VIEW_HEX;
        if ((b < 0x20 && b != '\t' && b != '\n' && b != '\f' && b != '\r' && b != 0x1A) ||
            b == 0x7F)
            ++control;
    }
    return control * 2 > length ? VIEW_HEX : VIEW_TEXT;
}

namespace {

// Whether the line ends at `position`: a line feed, or a CR LF pair, there.
bool lineEndsAt(ViewerData* data, uint64_t position) {
    int b = dataByte(data, position);
    return b == '\n' || (b == '\r' && dataByte(data, position + 1) == '\n');
}

// Whether a row breaks at `point` (a multiple of LINE_SCAN_LIMIT) because its
// line began at least LINE_SCAN_LIMIT bytes before: no line feed in the
// stretch before. Rows of such a line restart there whichever way they are
// reached, so that going up lays the line out exactly as going down did. A
// line that ends right at the point keeps its line end on the row before.
bool restartsRowAt(ViewerData* data, uint64_t point) {
    if (point == 0 || point % LINE_SCAN_LIMIT != 0 || lineEndsAt(data, point))
        return false;
    for (uint64_t q = point; q > point - LINE_SCAN_LIMIT;) {
        --q;
        if (dataByte(data, q) == '\n')
            return false;
    }
    return true;
}

}  // namespace

uint64_t textRow(ViewerData* data, uint64_t start, std::string* cells) {
    if (cells != nullptr)
        cells->assign(VIEW_COLUMNS, ' ');
    int column = 0;
    uint64_t position = start;
    for (;;) {
        if (position != start && position % LINE_SCAN_LIMIT == 0 && restartsRowAt(data, position))
            return position;
        int b = dataByte(data, position);
        if (b < 0)
            return position;
        if (b == '\n')
            return position + 1;
        if (b == '\r' && dataByte(data, position + 1) == '\n')
            return position + 2;
        if (column == VIEW_COLUMNS)
            return position;
        if (b == '\t') {
            column += TAB_WIDTH - column % TAB_WIDTH;
        } else {
            if (cells != nullptr)
                (*cells)[static_cast<size_t>(column)] = b == 0 ? ' ' : static_cast<char>(b);
            ++column;
        }
        ++position;
    }
}

std::string hexRow(ViewerData* data, uint64_t start) {
    std::string cells(VIEW_COLUMNS, ' ');
    char offset[24];
    std::snprintf(offset, sizeof offset, "%08llX", static_cast<unsigned long long>(start));
    cells.replace(0, std::char_traits<char>::length(offset), offset);
    static const char DIGITS[] = "0123456789ABCDEF";
    for (uint64_t i = 0; i < HEX_ROW_BYTES; ++i) {
        int b = dataByte(data, start + i);
        if (b < 0)
            break;
        size_t hexColumn = 10 + i * 3 + (i >= 8 ? 1 : 0);
        cells[hexColumn] = DIGITS[b >> 4];
        cells[hexColumn + 1] = DIGITS[b & 15];
        cells[60 + i] = b == 0 ? ' ' : static_cast<char>(b);
    }
    return cells;
}

std::string endOfArchiveRow(const ViewerData& data) {
    char text[128];
    std::snprintf(text, sizeof text, " the archive ends here: %llu of %llu bytes missing ",
                  static_cast<unsigned long long>(data.size - data.available),
                  static_cast<unsigned long long>(data.size));
    std::string inner = text;
    if (inner.size() > static_cast<size_t>(VIEW_COLUMNS))
        inner.resize(VIEW_COLUMNS);
    // Filled with the code page 437 lower half block on both sides.
    size_t left = (VIEW_COLUMNS - inner.size()) / 2;
    std::string row(left, '\xDC');
    row += inner;
    row.append(VIEW_COLUMNS - row.size(), '\xDC');
    return row;
}

namespace {

uint64_t rowEnd(ViewerData* data, ViewMode mode, uint64_t start) {
    if (mode == VIEW_HEX) {
        // Reading the row's first byte reads its whole block (rows never
        // cross one), so `available` is settled for the row.
        dataByte(data, start);
        return std::min(start + HEX_ROW_BYTES, data->available);
    }
    return textRow(data, start);
}

// Where the rows are laid out from to reach the byte at `position`: just
// after the line feed before it, or the restart point before it when its line
// is long (see restartsRowAt). Reads at most twice LINE_SCAN_LIMIT bytes back.
uint64_t layoutStart(ViewerData* data, uint64_t position) {
    const uint64_t anchor = position - position % LINE_SCAN_LIMIT;
    for (uint64_t q = position; q > anchor;) {
        --q;
        if (dataByte(data, q) == '\n')
            return q + 1;
    }
    if (anchor == 0)
        return 0;
    const uint64_t floor = anchor - LINE_SCAN_LIMIT;
    for (uint64_t q = anchor; q > floor;) {
        --q;
        if (dataByte(data, q) == '\n')
            return q + 1;
    }
    // The line is long: its rows restart at the anchor, unless the line ends
    // right there (the byte is then part of that line end, which belongs to
    // the row before; later bytes found the line feed above).
    if (lineEndsAt(data, anchor))
        return layoutStart(data, anchor - 1);
    return anchor;
}

// The start of the row after one that ends at `end`: the end marker when
// reading found the archive shorter than it said, NO_ROW after the last row.
uint64_t rowAfter(const ViewerData& data, uint64_t end) {
    if (end >= data.available)
        return dataTruncated(data) ? data.available : NO_ROW;
    return end;
}

}  // namespace

uint64_t nextRow(ViewerData* data, ViewMode mode, uint64_t position) {
    if (position >= data->available)
        return NO_ROW;
    return rowAfter(*data, rowEnd(data, mode, position));
}

uint64_t rowHolding(ViewerData* data, ViewMode mode, uint64_t position) {
    if (position >= data->available)
        return data->available == 0 || dataTruncated(*data)
                   ? data->available
                   : previousRow(data, mode, data->available);
    if (mode == VIEW_HEX)
        return position - position % HEX_ROW_BYTES;
    uint64_t row = layoutStart(data, position);
    for (;;) {
        uint64_t end = textRow(data, row);
        if (end > position || end <= row)
            return row;
        row = end;
    }
}

uint64_t previousRow(ViewerData* data, ViewMode mode, uint64_t position) {
    if (position == 0)
        return NO_ROW;
    return rowHolding(data, mode, std::min(position, data->available) - 1);
}

uint64_t lastPageTop(ViewerData* data, ViewMode mode, int rows) {
    uint64_t top = dataTruncated(*data) || data->available == 0
                       ? data->available
                       : rowHolding(data, mode, data->available - 1);
    for (int i = 1; i < rows; ++i) {
        uint64_t before = previousRow(data, mode, top);
        if (before == NO_ROW)
            break;
        top = before;
    }
    return top;
}

std::vector<ViewRow> pageRows(ViewerData* data, ViewMode mode, uint64_t top, int rows) {
    std::vector<ViewRow> page;
    uint64_t position = top;
    while (static_cast<int>(page.size()) < rows && position != NO_ROW) {
        if (position >= data->available) {
            if (dataTruncated(*data))
                page.push_back({data->available, data->available, true});
            break;
        }
        uint64_t end = rowEnd(data, mode, position);
        if (position >= data->available) {  // the read found the archive ending here
            page.push_back({data->available, data->available, true});
            break;
        }
        page.push_back({position, end, false});
        position = rowAfter(*data, end);
    }
    return page;
}

int pagePercent(const ViewerData& data, const std::vector<ViewRow>& page) {
    if (data.size == 0)
        return 100;
    uint64_t end = page.empty() ? 0 : page.back().end;
    return static_cast<int>(end * 100 / data.size);
}

uint64_t scrollPage(ViewerData* data, ViewMode mode, uint64_t top, int rows, int pageRowsCount) {
    if (rows > 0) {
        const uint64_t limit = lastPageTop(data, mode, pageRowsCount);
        for (int i = 0; i < rows && top < limit; ++i) {
            uint64_t next = nextRow(data, mode, top);
            if (next == NO_ROW)
                break;
            top = next;
        }
        return std::min(top, limit);
    }
    for (int i = 0; i < -rows; ++i) {
        uint64_t before = previousRow(data, mode, top);
        if (before == NO_ROW)
            break;
        top = before;
    }
    return top;
}
