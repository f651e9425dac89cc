// What the files of the SDL back end share among themselves (SDL types
// allowed here, nowhere outside src/platform/sdl).
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>

namespace platform::sdl {

// The window made able to carry an OpenGL drawable and marked as shown by
// OpenGL (its picture only kept from now on); null when it cannot carry one.
SDL_Window* GLCapableWindow(uint32_t id);

}  // namespace platform::sdl
