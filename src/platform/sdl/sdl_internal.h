// What the files of the SDL back end share among themselves (SDL types
// allowed here, nowhere outside src/platform/sdl).
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>

namespace platform::sdl {

// The window made able to carry an OpenGL drawable and marked as shown by
// OpenGL (its picture only kept from now on); null when it cannot carry one.
SDL_Window* GLCapableWindow(uint32_t id);
// The first program window with an OpenGL drawable other than except, or
// null (sdl_video).
SDL_Window* FirstGLWindow(SDL_Window* except = nullptr);
// The context's GL attributes, set before a window with a drawable is made
// (its drawable's configuration follows them) and before the context.
void SetContextAttributes();
// Told before a program window is destroyed: the context leaves it when it
// lives there (sdl_gl.cpp).
void ForgetGLWindow(SDL_Window* window);

}  // namespace platform::sdl
