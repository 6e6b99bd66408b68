// Placeholder until the panels land.
#include "browser/panels.h"

void drawStaticScreen() {}
void drawTitleBar(uint8_t) {}
void drawHintLine() {}
void drawStatusField() {}
void drawEntryRows() {}
std::string formatEntryRow(int, bool) {
    return std::string();
}
uint8_t rowAttribute(int, bool) {
    return 0;
}
void drawEntryRow(int) {}
void enterDirectory() {}
void leaveDirectory() {}
