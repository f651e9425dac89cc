// Every test program starts with the environment the tests are written for,
// whatever the shell gives: no real video or audio device, and the Direct3D 9
// device also where the machine's OpenGL is a software rasteriser (as in CI),
// so that the device path is tested there. A variable the shell set wins.
#include <cstdlib>

namespace {

const bool g_environment = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("VELUMI_HARDWARE", "1", 0);
    return true;
}();

}  // namespace
