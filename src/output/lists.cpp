#include "output/lists.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "archive/entry.h"
#include "archive/walk.h"
#include "platform/output_files.h"
#include "text/host_text.h"

namespace {

constexpr const char* LINE_END = "\r\n";
constexpr size_t NAME_FIELD = 32;
constexpr size_t WORD_FIELD = 10;
constexpr size_t FLUSH_THRESHOLD = 1 << 16;

// Collects list text and, when it has an output, hands it over in large
// pieces so that a tree of a million entries never sits in memory whole.
struct ListSink {
    std::string& text;
    const ListOutput* output = nullptr;
    bool failed = false;

    void lineEnd() {
        text += LINE_END;
        if (output != nullptr && text.size() >= FLUSH_THRESHOLD)
            drain();
    }
    void drain() {
        // After a refused piece the rest is dropped: the caller reports the failure.
        if (output != nullptr && !failed && !text.empty() && !(*output)(text))
            failed = true;
        text.clear();
    }
};

void appendPadded(std::string& out, const std::string& text, size_t width) {
    out += text;
    if (text.size() < width)
        out.append(width - text.size(), ' ');
}

void appendNameAndWord(std::string& out, const Entry* entry, const char* word) {
    appendPadded(out, entry->name, NAME_FIELD);
    out += ": ";
    appendPadded(out, word, WORD_FIELD);
}

bool isDirectory(const Entry* entry) {
    return entry->kind == KIND_ROOT || entry->kind == KIND_SUBDIR;
}

// The line of one entry; for a directory, the line that opens its body.
void appendOwnLine(ListSink& sink, const Entry* entry) {
    std::string& out = sink.text;
    switch (entry->kind) {
        case KIND_UPDIR:
            return;
        case KIND_FILE: {
            char numbers[32];
            std::snprintf(numbers, sizeof numbers, "%-10u0x%08xh", unsigned(entry->size),
                          unsigned(entry->info ? entry->info->offset : 0));
            appendPadded(out, entry->name, NAME_FIELD);
            out += ": ";
            out += numbers;
            return;
        }
        case KIND_ROOT:
            appendNameAndWord(out, entry, "SOURCE");
            sink.lineEnd();
            return;
        case KIND_SUBDIR:
            appendNameAndWord(out, entry, "SUB-DIR");
            sink.lineEnd();
            return;
        default:
            appendPadded(out, entry->name, NAME_FIELD);
            out += ": TERMINATOR";
            return;
    }
}

void appendClosingLine(ListSink& sink, const Entry* directory) {
    char count[16];
    std::snprintf(count, sizeof count, "%zu", directory->children.size());
    sink.text += "> ";
    sink.text += count;
    sink.text += " file(s) in '";
    sink.text += directory->name;
    sink.text += '\'';
}

// Depth first: a directory's line, its children, its closing line. The one
// tree walker keeps its own stack, because an archive may nest directories
// far deeper than the call stack would take.
void appendEntry(ListSink& sink, const Entry* entry) {
    if (!isDirectory(entry)) {
        appendOwnLine(sink, entry);
        return;
    }
    TreeWalk walk(entry, WALK_WITHOUT_PATHS);
    while (walk.next()) {
        const Entry* at = walk.entry();
        switch (walk.step()) {
            case WALK_ENTER:
                appendOwnLine(sink, at);
                break;
            case WALK_LEAVE:
                appendClosingLine(sink, at);
                if (walk.depth() > 0)
                    sink.lineEnd();  // after a child directory, as after any other child
                break;
            case WALK_FILE:
                appendOwnLine(sink, at);
                sink.lineEnd();
                break;
        }
    }
}

void appendHeader(std::string& out, const char* title, const char* archivePath) {
    out += title;
    out += LINE_END;
    out += "Source: '";
    // The path comes from the host (UTF-8); the rest of a list is code page
    // 437, and one file must not mix two encodings.
    out += hostTextToCp437(archivePath);
    out += '\'';
    out += LINE_END;
    out += "  Filename";
    out.append(22, ' ');
    out += "  Length  ";
    out += "  Offset ";
    out += LINE_END;
}

void appendSelectedList(ListSink& sink, const char* archivePath, const Entry* directory) {
    appendHeader(sink.text, "Selected files.", archivePath);
    size_t count = 0;
    for (const Entry* child : directory->children) {
        if (!child->info || !child->info->selected)
            continue;
        appendEntry(sink, child);
        sink.lineEnd();
        ++count;
    }
    char number[16];
    std::snprintf(number, sizeof number, "%zu", count);
    sink.text += number;
    sink.text += " file(s) selected.";
    sink.lineEnd();
}

// Writes the list through `output`, then saves it as `fileName` in the
// current directory by way of a temporary file.
template <typename Writer>
int saveList(const std::string& fileName, int* error, Writer writeList) {
    int code = 0;
    OutputDirectory here = openOutputDirectory(".", false, &code);
    OutputFile file;
    if (here == NO_OUTPUT_DIRECTORY || !createOutputFile(here, fileName.c_str(), &file, &code)) {
        closeOutputDirectory(here);
        if (error != nullptr)
            *error = code;
        return 0;
    }
    ListOutput output = [&](std::string_view piece) {
        return writeOutputFile(&file, piece.data(), piece.size(), &code) == 1;
    };
    int done = writeList(output);
    if (done)
        done = commitOutputFile(&file, fileName.c_str(), &code);
    else
        discardOutputFile(&file);
    closeOutputDirectory(here);
    if (!done && error != nullptr)
        *error = code;
    return done;
}

}  // namespace

void writeEntry(std::string& out, const Entry* entry) {
    ListSink sink{out};
    appendEntry(sink, entry);
}

std::string listFileName(const char* archivePath, const char* extension) {
    std::string path(archivePath);
    size_t start = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    size_t separator = path.find_last_of("\\/");
    if (separator != std::string::npos && separator >= start)
        start = separator + 1;
    size_t dot = path.rfind('.');
    size_t end = dot != std::string::npos && dot >= start ? dot : path.size();
    // The base name takes part with at most 255 characters.
    std::string base = path.substr(start, std::min<size_t>(end - start, 255));
    return base + extension;
}

std::string fullListText(const char* archivePath, const Entry* root) {
    std::string text;
    appendHeader(text, "Full filelist.", archivePath);
    writeEntry(text, root);
    return text;
}

std::string selectedListText(const char* archivePath, const Entry* directory) {
    std::string text;
    ListSink sink{text};
    appendSelectedList(sink, archivePath, directory);
    return text;
}

int writeFullList(const ListOutput& output, const char* archivePath, const Entry* root) {
    std::string text;
    ListSink sink{text, &output};
    appendHeader(text, "Full filelist.", archivePath);
    appendEntry(sink, root);
    sink.drain();
    return sink.failed ? 0 : 1;
}

int writeSelectedList(const ListOutput& output, const char* archivePath, const Entry* directory) {
    std::string text;
    ListSink sink{text, &output};
    appendSelectedList(sink, archivePath, directory);
    sink.drain();
    return sink.failed ? 0 : 1;
}

int makeFullList(const char* archivePath, const Entry* root, int* error) {
    return saveList(listFileName(archivePath, ".lst"), error, [&](const ListOutput& output) {
        return writeFullList(output, archivePath, root);
    });
}

int makeSelectedList(const char* archivePath, const Entry* directory, int* error) {
    return saveList(listFileName(archivePath, ".sel"), error, [&](const ListOutput& output) {
        return writeSelectedList(output, archivePath, directory);
    });
}
