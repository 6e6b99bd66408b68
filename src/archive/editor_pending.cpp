// Stands in for the editor until it is built, so that everything links:
// every change is refused, and nothing is written.
#include "archive/editor.h"

namespace {

constexpr const char* NOT_BUILT = "changing archives is not built yet";

}  // namespace

int planArchiveEdit(const ByteSource&, const std::vector<EditRequest>&, EditPlan*,
                    std::string* why) {
    *why = NOT_BUILT;
    return 0;
}

int editNameFromUtf8(std::string_view, std::string*, std::string* why) {
    *why = NOT_BUILT;
    return 0;
}
