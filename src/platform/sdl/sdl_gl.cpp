#include "platform/sdl/sdl_gl.h"

#include "platform/sdl/sdl_internal.h"
#include "platform/sdl/sdl_video.h"

#include <SDL2/SDL.h>

#include <mutex>

namespace platform::sdl {
namespace {

std::mutex g_glMutex;
SDL_Window* g_glWindow = nullptr;
bool g_ownsWindow = false;  // g_glWindow is the hidden window made here
SDL_GLContext g_context = nullptr;

void Fail(std::string* error, const char* what) {
    if (error != nullptr) *error = std::string(what) + ": " + SDL_GetError();
}

void DestroyLocked() {
    if (g_context != nullptr) SDL_GL_DeleteContext(g_context);
    if (g_glWindow != nullptr && g_ownsWindow) SDL_DestroyWindow(g_glWindow);
    g_context = nullptr;
    g_glWindow = nullptr;
    g_ownsWindow = false;
}

}  // namespace

void SetContextAttributes() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    // Program windows are made with these attributes too when they are given
    // a drawable, so that the context can be current on them.
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
}

namespace {

// The window the context is current on between presents: a program window
// made with a drawable (then not owned here), else a hidden one of its own.
bool HomeWindowLocked(std::string* error, SDL_Window* leaving = nullptr) {
    if (g_glWindow != nullptr) return true;
    if (SDL_Window* program = FirstGLWindow(leaving)) {
        g_glWindow = program;
        g_ownsWindow = false;
        return true;
    }
    // The attributes again: SDL's renderer, when it gave a window a drawable,
    // left its own.
    SetContextAttributes();
    g_glWindow = SDL_CreateWindow("gl", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    g_ownsWindow = g_glWindow != nullptr;
    if (g_glWindow == nullptr) Fail(error, "no OpenGL window");
    return g_glWindow != nullptr;
}

}  // namespace

bool AcquireGLContext(std::string* error) {
    std::lock_guard<std::mutex> lock(g_glMutex);
    if (g_context != nullptr) {
        // Current already (on its own window or a program window): stay.
        if (SDL_GL_GetCurrentContext() == g_context) return true;
        return HomeWindowLocked(nullptr) && SDL_GL_MakeCurrent(g_glWindow, g_context) == 0;
    }
    if (!InitVideo()) {
        Fail(error, "no video");
        return false;
    }
    SetContextAttributes();
    if (!HomeWindowLocked(error)) return false;
    g_context = SDL_GL_CreateContext(g_glWindow);
    if (g_context == nullptr || SDL_GL_MakeCurrent(g_glWindow, g_context) != 0) {
        Fail(error, "no OpenGL 3.3 core context");
        DestroyLocked();
        return false;
    }
    return true;
}

void ForgetGLWindow(SDL_Window* window) {
    std::lock_guard<std::mutex> lock(g_glMutex);
    if (window != g_glWindow || g_ownsWindow) return;
    // The context moves to another window before this one goes (SDL lets
    // OpenGL go, and the context with it, with its last window).
    const bool current = SDL_GL_GetCurrentContext() == g_context;
    g_glWindow = nullptr;
    std::string error;
    if (!HomeWindowLocked(&error, window)) {
        DestroyLocked();  // it would not outlive the window
        return;
    }
    if (current) SDL_GL_MakeCurrent(g_glWindow, g_context);
}

bool HasGLContext() {
    std::lock_guard<std::mutex> lock(g_glMutex);
    return g_context != nullptr;
}

void* GLProcAddress(const char* name) { return name != nullptr ? SDL_GL_GetProcAddress(name) : nullptr; }

uint32_t GLHomeWindow() {
    std::lock_guard<std::mutex> lock(g_glMutex);
    return g_context != nullptr && g_glWindow != nullptr && !g_ownsWindow ? SDL_GetWindowID(g_glWindow) : 0;
}

void ReleaseGLContext() {
    std::lock_guard<std::mutex> lock(g_glMutex);
    DestroyLocked();
}

bool BeginWindowGL(uint32_t windowId, int* drawableWidth, int* drawableHeight) {
    std::lock_guard<std::mutex> lock(g_glMutex);
    if (g_context == nullptr) return false;
    SDL_Window* window = GLCapableWindow(windowId);
    if (window == nullptr || SDL_GL_MakeCurrent(window, g_context) != 0) return false;
    SDL_GL_GetDrawableSize(window, drawableWidth, drawableHeight);
    return *drawableWidth > 0 && *drawableHeight > 0;
}

void SwapWindowGL(uint32_t windowId) {
    if (SDL_Window* window = SDL_GetWindowFromID(windowId)) SDL_GL_SwapWindow(window);
}

}  // namespace platform::sdl
