// Every class the platform stand-ins offer through CoCreateInstance is
// registered here, once, before the first object is created.
#include "platform/com/com.h"
#include "platform/dinput/dinput.h"

namespace com {

void RegisterPlatformClasses() {
    // Each stand-in adds the call that registers its classes.
    dinput::RegisterClasses();
}

}  // namespace com
