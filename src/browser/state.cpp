#include "browser/state.h"

BrowserState browser;
