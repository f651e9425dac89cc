// Every class the platform stand-ins offer through CoCreateInstance is
// registered here, once, before the first object is created.
#include "platform/com/com.h"

namespace com {

void RegisterPlatformClasses() {
    // Each stand-in adds the call that registers its classes.
}

}  // namespace com
