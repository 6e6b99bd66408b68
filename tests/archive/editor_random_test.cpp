// Random sequences of changes, checked against a plain model of the tree:
// paths to contents, names compared ignoring letter case.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <set>

#include "archive/editor.h"
#include "edit_fixture.h"
#include "support/archive_fixture.h"
#include "text/ascii_fold.h"

namespace {

using Bytes = std::vector<uint8_t>;

using Model = std::map<std::string, std::optional<std::string>>;  // no value: a directory

std::string parentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

// The entry of `model` in `directory` named `name` ignoring case, or "".
std::string named(const Model& model, const std::string& directory, const std::string& name) {
    for (const auto& [path, contents] : model) {
        if (parentOf(path) == directory &&
            equalFoldingAscii(path.substr(directory.empty() ? 0 : directory.size() + 1), name))
            return path;
    }
    return "";
}

TEST(EditorRandom, SequencesOfChangesMatchAPlainModel) {
    std::mt19937 random(20240611);
    auto pick = [&](size_t count) { return static_cast<size_t>(random() % count); };
    const char* const pool[] = {"A", "b", "Cee", "DATA", "e.txt", "F"};
    Bytes archive = archiveBytes(archiveDirectory(
        "", {archiveFile("README", "hello"),
             archiveDirectory("DATA", {archiveFile("ONE", "1"), archiveDirectory("SUB")})}));
    Model model{
        {"README", "hello"}, {"DATA", std::nullopt}, {"DATA/ONE", "1"}, {"DATA/SUB", std::nullopt}};
    // A path as a user might type it: any letter case, either separator.
    auto typed = [&](std::string path) {
        for (char& c : path) {
            if (c == '/' && pick(2) == 0)
                c = '\\';
            else if (pick(3) == 0)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return path;
    };
    for (int step = 0; step < 150; ++step) {
        std::vector<EditRequest> requests;
        std::set<std::string> replaced;
        for (size_t n = 1 + pick(3); n > 0; --n) {
            std::vector<std::string> files, directories{""};
            for (const auto& [path, contents] : model)
                (contents ? files : directories).push_back(path);
            const std::string name = pool[pick(std::size(pool))];
            const std::string data(pick(4) == 0 ? 70000 : pick(200),
                                   static_cast<char>('a' + pick(26)));
            const std::string directory = directories[pick(directories.size())];
            const std::string fresh = (directory.empty() ? "" : directory + "/") + name;
            // A new name is stored as given; the way to it may be typed any way.
            const std::string freshTyped = (directory.empty() ? "" : typed(directory) + "/") + name;
            const int operation = static_cast<int>(pick(5));
            if (operation == EDIT_REPLACE && !files.empty()) {
                const std::string path = files[pick(files.size())];
                requests.push_back(replaceWith(typed(path), data));
                model[path] = data;
                replaced.insert(path);
            } else if ((operation == EDIT_ADD || operation == EDIT_MKDIR) &&
                       named(model, directory, name).empty()) {
                if (operation == EDIT_ADD) {
                    requests.push_back(addWith(freshTyped, data));
                    model[fresh] = data;
                } else {
                    requests.push_back(makingDirectory(freshTyped));
                    model[fresh] = std::nullopt;
                }
            } else if (operation == EDIT_DELETE && model.size() > 1) {
                auto it = std::next(model.begin(), static_cast<long>(pick(model.size())));
                const std::string path = it->first;
                requests.push_back(deleting(typed(path)));
                for (auto below = model.begin(); below != model.end();) {
                    const bool inside =
                        below->first == path || below->first.rfind(path + "/", 0) == 0;
                    below = inside ? model.erase(below) : std::next(below);
                }
            } else if (operation == EDIT_RENAME && !model.empty()) {
                const std::string path =
                    std::next(model.begin(), static_cast<long>(pick(model.size())))->first;
                const std::string taken = named(model, parentOf(path), name);
                if (!taken.empty() && taken != path)
                    continue;
                requests.push_back(renaming(typed(path), name));
                const std::string renamed =
                    (parentOf(path).empty() ? "" : parentOf(path) + "/") + name;
                Model next;
                for (auto& [old, contents] : model) {
                    const bool inside = old == path || old.rfind(path + "/", 0) == 0;
                    next[inside ? renamed + old.substr(path.size()) : old] = contents;
                }
                model.swap(next);
            }
        }
        if (requests.empty())
            continue;
        SCOPED_TRACE("step " + std::to_string(step));
        const TreeState before = treeOf(archive);
        const EditPlan plan = planOrFail(archive, requests);
        archive = applyPlan(archive, plan);
        const TreeState after = treeOf(archive);
        ASSERT_EQ(after.size(), model.size());
        for (const auto& [path, contents] : model) {
            auto found = after.find(path);
            ASSERT_NE(found, after.end()) << path;
            EXPECT_EQ(found->second.kind, contents ? KIND_FILE : KIND_SUBDIR) << path;
            EXPECT_EQ(found->second.data, contents.value_or("")) << path;
        }
        // A file no request named keeps its offset, unless its data moved
        // (bytes unchanged) to make room for the root listing.
        for (const auto& [path, state] : after) {
            auto old = before.find(path);
            if (state.kind != KIND_FILE || old == before.end() || old->second.data != state.data ||
                old->second.offset == state.offset)
                continue;
            bool moved = false;
            for (const EditWrite& write : plan.writes)
                moved = moved ||
                        (write.source == EDIT_SOURCE_ARCHIVE &&
                         write.sourceOffset == old->second.offset && write.offset == state.offset);
            EXPECT_TRUE(moved || replaced.count(path) != 0) << path;
        }
    }
}

}  // namespace
