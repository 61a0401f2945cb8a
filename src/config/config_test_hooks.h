#pragma once
// For tests and benchmarks only: the configuration path as located, and locating it again. The
// plug-in itself locates it in LoadConfigAtEntry and reads it through CurrentConfigPath.
// Besides tests and benchmarks, only the file that defines these includes this header, so that
// the compiler holds the declarations to the definitions.
#include <string>

// The user-visible name of the configuration (shown, never opened).
extern std::wstring configPath;
void LocateConfigPath();
