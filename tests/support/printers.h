#pragma once
// Readable failure messages for the plug-in's own types.
#include <ostream>

#include "config/plugin_config.h"
#include "test_support.h"

inline void PrintTo(const MappingEntry& entry, std::ostream* os) {
    *os << "{" << testsupport::WideToUtf8(entry.group) << " | " << testsupport::WideToUtf8(entry.exts) << " | "
        << testsupport::WideToUtf8(entry.exePath) << "}";
}
