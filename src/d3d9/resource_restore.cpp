// Re-creates the device objects of every image, buffer and shader after the
// device was made anew; the images' pixels come back later in the reset, the
// buffers and shaders are complete from their memory copies.
#include "d3d9/d3d9_backend.h"
#include "d3d9/device_handles.h"
#include "graphics/graphics_internal.h"

namespace {

// Calls remake on every live record below the table's high-water slot.
template <typename Table, typename Remake>
void RemakeEach(Table& table, Remake remake) {
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        auto* record = table.At(slot);
        if (record != nullptr) remake(record);
    }
}

}  // namespace

int RestoreDeviceResources() {
    ImageTable& table = Images();
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        ImageRecord* record = table.At(slot);
        if (record != nullptr) CreateImageTextures(record->picture);
    }
    // A failed buffer is logged by its re-creation; the record keeps its data.
    RemakeEach(VertexBuffers(), RecreateVertexBuffer);
    RemakeEach(IndexBuffers(), RecreateIndexBuffer);
    RemakeEach(Shaders(), RecreateShader);
    return 0;
}
