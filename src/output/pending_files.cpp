#include "output/pending_files.h"

#include "platform/signals.h"

int watchPendingFile(const OutputFile& file) {
    return addPendingRemoval(file.directory, file.temporaryName.c_str());
}

void forgetPendingFile(int slot) {
    clearPendingRemoval(slot);
}
