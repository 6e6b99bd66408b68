#include "output/output_run.h"

namespace {

// Whether the directory path `prefix` is `path` itself or one of its parents.
bool leadsTo(std::string_view prefix, std::string_view path) {
    if (prefix.empty())
        return true;
    return path.size() >= prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
           (path.size() == prefix.size() || path[prefix.size()] == '/');
}

size_t startOf(const OutputRun* run, size_t level) {
    return level == 0 ? 0 : run->open[level - 1].end + 1;
}

// The open handle of level `index` (-1: the base), reopening it and the
// closed levels above it from the nearest one still open.
OutputDirectory handleAt(OutputRun* run, long index, int* error) {
    if (index < 0)
        return run->base;
    long open = index;
    while (open >= 0 && run->open[size_t(open)].handle == NO_OUTPUT_DIRECTORY) --open;
    for (long level = open + 1; level <= index; ++level) {
        OutputDirectory parent = level == 0 ? run->base : run->open[size_t(level - 1)].handle;
        size_t start = startOf(run, size_t(level));
        std::string name = run->openPath.substr(start, run->open[size_t(level)].end - start);
        OutputDirectory handle = openOutputSubdirectory(parent, name.c_str(), error);
        if (handle == NO_OUTPUT_DIRECTORY)
            return NO_OUTPUT_DIRECTORY;
        run->open[size_t(level)].handle = handle;
    }
    return run->open[size_t(index)].handle;
}

void popLevel(OutputRun* run) {
    closeOutputDirectory(run->open.back().handle);
    run->open.pop_back();
    run->openPath.resize(run->open.empty() ? 0 : run->open.back().end);
}

}  // namespace

int beginOutputRun(OutputRun* run, const char* path, bool create, int* error) {
    run->base = openOutputDirectory(path, create, error);
    return run->base == NO_OUTPUT_DIRECTORY ? 0 : 1;
}

void endOutputRun(OutputRun* run) {
    while (!run->open.empty()) popLevel(run);
    closeOutputDirectory(run->base);
    run->base = NO_OUTPUT_DIRECTORY;
}

OutputDirectory enterOutputDirectory(OutputRun* run, std::string_view directory,
                                     std::string* failedPath, int* error) {
    while (!run->open.empty() && !leadsTo(run->openPath, directory)) popLevel(run);
    auto failAt = [&](size_t end) {
        if (failedPath != nullptr)
            *failedPath = std::string(directory.substr(0, end));
        return NO_OUTPUT_DIRECTORY;
    };
    OutputDirectory parent = handleAt(run, long(run->open.size()) - 1, error);
    if (parent == NO_OUTPUT_DIRECTORY)
        return failAt(run->openPath.size());
    size_t start = run->open.empty() ? 0 : run->openPath.size() + 1;
    while (start < directory.size()) {
        size_t end = directory.find('/', start);
        if (end == std::string_view::npos)
            end = directory.size();
        std::string name(directory.substr(start, end - start));
        OutputDirectory handle = openOutputSubdirectory(parent, name.c_str(), error);
        if (handle == NO_OUTPUT_DIRECTORY)
            return failAt(end);
        if (!run->open.empty())
            run->openPath += '/';
        run->openPath += name;
        run->open.push_back({end, handle});
        // Far above the deepest level only every OUTPUT_CHECKPOINT-th handle
        // stays open: handleAt reopens the others from there when the walk
        // comes back, at most OUTPUT_CHECKPOINT opens per OUTPUT_CHECKPOINT levels.
        size_t deep = run->open.size();
        if (deep > OUTPUT_CHECKPOINT) {
            size_t level = deep - 1 - OUTPUT_CHECKPOINT;
            if ((level + 1) % OUTPUT_CHECKPOINT != 0) {
                closeOutputDirectory(run->open[level].handle);
                run->open[level].handle = NO_OUTPUT_DIRECTORY;
            }
        }
        parent = handle;
        start = end + 1;
    }
    return parent;
}
