// The OpenGL context the Direct3D 9 stand-in draws with: one per process,
// 3.3 core profile or later, made on a program window that has a drawable
// (GiveNextWindowGL), else on a hidden window of its own. The
// stand-in renders into framebuffers; a present makes the context current on
// the program's window and swaps it, so the frame stays on the graphics card.
// Nothing outside src/platform sees a GL or SDL type.
#pragma once

#include <cstdint>
#include <string>

namespace platform::sdl {

// The next program window made (CreateVideoWindow) carries an OpenGL
// drawable from the start, and the context is then made on it rather than on
// a hidden window of its own: for a window a device will present into, which
// then needs no second drawable made later. One window; later calls before
// it is made do nothing more.
void GiveNextWindowGL();

// Makes the context once and makes it current on the calling thread; false
// (and a reason in *error when given) when the video driver has no OpenGL or
// the profile cannot be had. Later calls make it current again.
bool AcquireGLContext(std::string* error = nullptr);
bool HasGLContext();
// The address of a GL function (null when unknown); only valid once a context
// was acquired.
void* GLProcAddress(const char* name);
// Destroys the context and its window (tests of the no-context path).
void ReleaseGLContext();
// The program window the context lives on between presents; 0 when it lives
// on a hidden window of its own, or there is no context (tests).
uint32_t GLHomeWindow();

// Makes the context current on the window (given an OpenGL drawable first)
// and gives the drawable's size in pixels; false when the window cannot
// carry one. SwapWindowGL shows what was drawn.
bool BeginWindowGL(uint32_t windowId, int* drawableWidth, int* drawableHeight);
void SwapWindowGL(uint32_t windowId);

}  // namespace platform::sdl
