#include "browser/selection.h"

#include <cstring>

#include "archive/entry.h"
#include "archive/wildmatch.h"
#include "browser/movement.h"
#include "browser/state.h"
#include "console/screen.h"
#include "console/window.h"

namespace {

void applyMask(bool select) {
    InputLine& line = maskField();
    line.columnOffset = 2;
    line.rowOffset = 1;
    const char* title = select ? "select files" : "unselect files";
    if (inputDialog(28, 11, 23, 3, ATTR_BOX, &line, title) == 0)
        return;
    PatternError error = PATTERN_OK;
    if (!isValidWildPattern(line.buffer, &error))
        return;
    for (Entry* child : browser.panel.current->children) {
        if (child->info == nullptr || !wildMatch(line.buffer, child->name.c_str()))
            continue;
        if (select) {
            if (child->kind == KIND_FILE)
                child->info->selected = 1;
        } else {
            child->info->selected = 0;
        }
    }
}

}  // namespace

void initMaskField() {
    char* maskBuffer = browser.maskBuffer;
    std::memset(maskBuffer, 0, sizeof browser.maskBuffer);
    std::strcpy(maskBuffer, "*.*");
    InputLine& maskLine = browser.maskField;
    maskLine = InputLine{};
    maskLine.maximum = MASK_MAXIMUM;
    maskLine.columnOffset = 2;
    maskLine.rowOffset = 1;
    maskLine.promptAttribute = ATTR_BOX;
    maskLine.textAttribute = ATTR_FIELD;
    maskLine.prompt = "Mask";
    maskLine.buffer = maskBuffer;
}

InputLine& maskField() {
    if (browser.maskField.buffer != browser.maskBuffer)
        initMaskField();
    return browser.maskField;
}

void toggleSelection() {
    Entry* child = childUnderCursor(browser.panel);
    if (child == nullptr || child->kind != KIND_FILE || child->info == nullptr)
        return;
    child->info->selected = child->info->selected ? 0 : 1;
}

void invertSelection() {
    if (browser.panel.current == nullptr)
        return;
    for (Entry* child : browser.panel.current->children) {
        if (child->kind != KIND_FILE || child->info == nullptr)
            continue;
        child->info->selected = child->info->selected ? 0 : 1;
    }
}

void selectByMask() {
    applyMask(true);
}

void unselectByMask() {
    applyMask(false);
}
