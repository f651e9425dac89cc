// Re-creates the device objects of every image after the device was made
// anew; their pixels come back later in the reset.
#include "d3d9/d3d9_backend.h"
#include "graphics/graphics_internal.h"

int RestoreDeviceResources() {
    ImageTable& table = Images();
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        ImageRecord* record = table.At(slot);
        if (record != nullptr) CreateImageTextures(record->picture);
    }
    // Vertex buffers, index buffers and shaders join here with their handles.
    return 0;
}
