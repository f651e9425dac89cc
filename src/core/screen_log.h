// The on-screen log: the last lines of log text drawn over the picture, white
// with a black edge, in a font of its own. It is off unless switched on
// (nothing in this program switches it on). Its font is made on the first
// draw, made again after it was lost (its lost flag), and deleted at library
// end.
#pragma once

#include <cstdint>

constexpr int32_t kScreenLogLineHeight = 16;
constexpr int32_t kScreenLogLines = 32;
constexpr int32_t kScreenLogLineBytes = 256;

// 1 on, 0 off (the lines are kept either way).
int SetScreenLogOutput(int32_t flag);
int32_t IsScreenLogOn();
// Adds text (Shift-JIS); each line feed starts a new line; the oldest lines
// give way. Long lines are cut at a character boundary.
int AddScreenLogText(const char* text);
int ClearScreenLog();
// Draws the lines at x 0, y = line index x the line height. 0, or -1 when
// the font cannot be made.
int DrawScreenLog();
// The log's font handle, -1 while it has none.
int32_t GetScreenLogFont();
// Library end: deletes the font when the log is on and its font still exists.
int EndScreenLog();
