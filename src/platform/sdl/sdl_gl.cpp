#include "platform/sdl/sdl_gl.h"

#include "platform/sdl/sdl_video.h"

#include <SDL2/SDL.h>

#include <mutex>

namespace platform::sdl {
namespace {

std::mutex g_glMutex;
SDL_Window* g_glWindow = nullptr;
SDL_GLContext g_context = nullptr;

void Fail(std::string* error, const char* what) {
    if (error != nullptr) *error = std::string(what) + ": " + SDL_GetError();
}

void DestroyLocked() {
    if (g_context != nullptr) SDL_GL_DeleteContext(g_context);
    if (g_glWindow != nullptr) SDL_DestroyWindow(g_glWindow);
    g_context = nullptr;
    g_glWindow = nullptr;
}

}  // namespace

bool AcquireGLContext(std::string* error) {
    std::lock_guard<std::mutex> lock(g_glMutex);
    if (g_context != nullptr) return SDL_GL_MakeCurrent(g_glWindow, g_context) == 0;
    if (!InitVideo()) {
        Fail(error, "no video");
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    g_glWindow = SDL_CreateWindow("gl", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (g_glWindow == nullptr) {
        Fail(error, "no OpenGL window");
        return false;
    }
    g_context = SDL_GL_CreateContext(g_glWindow);
    if (g_context == nullptr || SDL_GL_MakeCurrent(g_glWindow, g_context) != 0) {
        Fail(error, "no OpenGL 3.3 core context");
        DestroyLocked();
        return false;
    }
    return true;
}

bool HasGLContext() {
    std::lock_guard<std::mutex> lock(g_glMutex);
    return g_context != nullptr;
}

void* GLProcAddress(const char* name) { return name != nullptr ? SDL_GL_GetProcAddress(name) : nullptr; }

void ReleaseGLContext() {
    std::lock_guard<std::mutex> lock(g_glMutex);
    DestroyLocked();
}

}  // namespace platform::sdl
