#pragma once
// Readable failure messages for the plug-in's own types.
#include <ostream>

#include "config/plugin_config.h"
#include "test_support.h"
#include "viewer/outcomes.h"

inline void PrintTo(const MappingEntry& entry, std::ostream* os) {
    *os << "{" << testsupport::WideToUtf8(entry.group) << " | " << testsupport::WideToUtf8(entry.exts) << " | "
        << testsupport::WideToUtf8(entry.exePath) << "}";
}

// An outcome prints as its number and the first entry it writes, so a failure names it.
template <typename Outcome>
void PrintOutcome(Outcome outcome, const std::vector<std::wstring>& entries, std::ostream* os) {
    *os << static_cast<int>(outcome) << " (" << (entries.empty() ? "no entry" : testsupport::WideToUtf8(entries[0]))
        << ")";
}
inline void PrintTo(SendOutcome o, std::ostream* os) { PrintOutcome(o, SendOutcomeEntries({o}), os); }
inline void PrintTo(LaunchOutcome o, std::ostream* os) { PrintOutcome(o, LaunchOutcomeEntries({o}), os); }
inline void PrintTo(LoadOutcome o, std::ostream* os) { PrintOutcome(o, LoadOutcomeEntries(o), os); }
