#pragma once
// For tests and benchmarks only: where the log is, so that they can read, hold or delete it. The
// plug-in itself never needs the path.
// Besides tests and benchmarks, only the file that defines these includes this header, so that
// the compiler holds the declarations to the definitions.

// The log file's full path (initialises the logger if needed).
const wchar_t* LogFilePath();
