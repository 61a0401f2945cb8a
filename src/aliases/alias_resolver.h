#pragma once
// Host folder aliases: "/home\viewers\mpv\mpv.exe" -> "<dopus folder>\viewers\mpv\mpv.exe".
// "home" is built in; the others come, once per process, from the host's "folderaliases.oxc".
#include <cstdint>
#include <string>
#include <string_view>

namespace AliasResolver {
// Reads the alias file on the first call in the process; later calls return the count at once.
// Asks the host for its path, so never call it with a lock held that an entry point takes. It
// waits for no other thread: concurrent first calls each read the file, one table is kept.
uint32_t Load();
// Expands with the table loaded so far (none before the first Load has finished).
std::wstring ExpandPath(std::wstring_view path);
}  // namespace AliasResolver
