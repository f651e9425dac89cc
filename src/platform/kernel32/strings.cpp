// The ANSI string calls.
#include "platform/kernel32/kernel32.h"

#include <climits>
#include <cstring>

int lstrlenA(LPCSTR text) {
    if (text == nullptr) return 0;
    const size_t length = std::strlen(text);
    return length > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}
