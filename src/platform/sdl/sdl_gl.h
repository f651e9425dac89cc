// The OpenGL context the Direct3D 9 stand-in draws with: one per process,
// 3.3 core profile or later, on a hidden window of its own (the stand-in
// renders into framebuffers and shows its pictures through a window's
// picture, so no program window ever carries GL). Nothing outside
// src/platform sees a GL or SDL type.
#pragma once

#include <string>

namespace platform::sdl {

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

}  // namespace platform::sdl
