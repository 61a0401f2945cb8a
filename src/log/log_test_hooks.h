#pragma once
// For tests and benchmarks only: where the log is, so that they can read, hold or delete it. The
// plug-in itself never needs the path.

// The log file's full path (initialises the logger if needed).
const wchar_t* LogFilePath();
