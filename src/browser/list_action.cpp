#include "browser/list_action.h"

#include <string>

#include "browser/state.h"
#include "browser/status_line.h"
#include "output/lists.h"
#include "platform/output_files.h"

namespace {

// The wait message is shown before the first line is written, because a
// large archive takes noticeable time; a failure replaces it with a notice
// that stays until the next key.
template <typename Save>
void saveWithMessages(const char* extension, Save save) {
    const std::string fileName = listFileName(browser.archivePath.c_str(), extension);
    showNamedLine("Making filelist '", fileName, "'. Please wait...");
    int error = 0;
    if (!save(&error))
        browser.notice = "Unable write filelist '" + fileName + "': " + outputErrorText(error);
}

}  // namespace

void makeFullListAction() {
    saveWithMessages(".lst", [](int* error) {
        return makeFullList(browser.archivePath.c_str(), browser.root, error);
    });
}

void makeSelectedListAction() {
    saveWithMessages(".sel", [](int* error) {
        return makeSelectedList(browser.archivePath.c_str(), browser.panel.current, error);
    });
}
