// The library's log: "Log.txt" in the start-up directory, Shift-JIS, each line
// "<milliseconds since start>:" then one tab per indent level, CR LF line ends,
// every piece mirrored to the debugger output (stderr, as UTF-8).
#pragma once

#include <cstdint>

// Appends text as it stands; a line feed ends the line. Always returns -1.
int WriteLog(const char* text);
// printf-style, with one line feed appended. Always returns -1.
int WriteLogFormatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
int IncreaseLogIndent();
int DecreaseLogIndent();  // never below 0

// Called by the library's start-up and end: deletes and recreates "Log.txt"
// in the current directory (unless logging is off) and starts the clock of
// the time stamps; CloseLogFile closes it.
int OpenLogFile();
int CloseLogFile();
// Logging switch; EnableLogOutput(flag) stores its negation here.
void SetLogOutputOff(int32_t off);
int32_t IsLogOutputOff();
