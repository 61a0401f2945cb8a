#pragma once
// The modal mapping editor: one MappingEntry's group, extension list and player path.
#include <windows.h>

#include "config/plugin_config.h"

// Shows the editor over owner; the entry changes only when the user confirms with OK, and
// then the result is true.
bool RunMappingEditor(HWND owner, MappingEntry& entry);
