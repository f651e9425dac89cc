// Every class the platform stand-ins offer through CoCreateInstance, and
// every runtime module they offer to LoadLibraryA, is registered here, once,
// before the first object is created.
#include "platform/com/com.h"
#include "platform/d3d9/d3d9.h"
#include "platform/ddraw/ddraw.h"
#include "platform/dinput/dinput.h"
#include "platform/dmusic/dmusic.h"
#include "platform/dshow/dshow.h"
#include "platform/dwmapi/dwmapi.h"
#include "platform/dsound/dsound.h"

namespace com {

void RegisterPlatformClasses() {
    // Each stand-in adds the call that registers its classes.
    dsound::RegisterClasses();
    dmusic::RegisterClasses();
    dinput::RegisterClasses();
    ddraw::RegisterClasses();
    d3d9::RegisterRuntime(true);
    dshow::RegisterClasses();
    dwmapi::RegisterModule(true);
}

}  // namespace com
