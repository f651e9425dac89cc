// Graphics is not built yet: the library runs without it.
#include "core/services.h"

int32_t InitGraphics() { return 0; }
int32_t EndGraphics() { return 0; }
int32_t ApplyGraphicsWindowMode() { return 0; }
