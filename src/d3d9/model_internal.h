// The records of the model module and its internal entries: the module state,
// the lookups, the vertex-layout groups, and the calls a loader of bases and
// models (and the tests) put records in with. Only the library includes this.
//
// Ownership: every pointer field marked "owned" is a block of AllocMemory
// that the deletes free with FreeMemory (those with an owned flag only when
// the flag is non-zero); fields not so marked point into owned blocks or
// elsewhere and are never freed here.
#pragma once

#include "d3d9/model_handles.h"

#include <cstdint>

constexpr int32_t kModelBaseIdType = 0x08000000;
constexpr int32_t kModelBaseSlotMask = 0x0001FFFF;
constexpr int32_t kModelBaseSlots = 0x20000;   // 17-bit slots
constexpr int32_t kModelSlots = 0x10000;       // 16-bit slots
constexpr int kModelGroupCount = 54;           // 3 skinning kinds x 2 material flags x 9 set counts
constexpr int kModelMaxTexCoordSets = 8;
constexpr int kModelSineEntries = 65536;
constexpr int32_t kModelIndexLimit = 0xC0000;  // a buffer record stays below these counts
constexpr int32_t kModelVertexLimit = 0x60000;
// A table slot taken but not yet filled.
#define MODEL_SLOT_RESERVED (reinterpret_cast<void*>(uintptr_t{1}))

struct ModelRecord;

// One device buffer pair, a link of its group's chain.
struct ModelBufferRecord {
    IDirect3DVertexBuffer9* vertexBuffer;
    IDirect3DIndexBuffer9* indexBuffer;
    int32_t vertexCount;
    int32_t indexCount;
    void* lockedVertices;
    void* lockedIndices;
    uint32_t fvf;                   // 0 for the layouts drawn with a vertex shader
    int32_t vertexSize;             // bytes
    ModelBufferRecord* next;
    ModelBufferRecord* previous;
};

// A frame of a base: its owned block holds the indices of the triangle lists
// it draws.
struct ModelFrameEntry {
    int32_t* drawnLists;            // owned when drawnListsOwned
    int32_t drawnListsOwned;
    int32_t drawnListCount;
};

// A texture of a base. Sources: see LoadModelTexturePictures (size 0 a file
// name); they usually point into the owned blocks.
struct ModelTextureEntry {
    char* name;                     // owned when nameOwned
    int32_t nameOwned;
    void* colorBlock;               // owned when colorBlockOwned
    int32_t colorBlockOwned;
    void* alphaBlock;               // owned when alphaBlockOwned
    int32_t alphaBlockOwned;
    const void* alphaSource;        // null: none
    int32_t alphaSize;
    const void* colorSource;        // null: none
    int32_t colorSize;
    int32_t normalMap;
    float bumpHeight;
    int32_t image;                  // -1 or the image that shows the texture
};

// A material: tangentSpace non-zero gives its lists the material flag (their
// vertices carry a tangent for per-pixel lighting).
struct ModelMaterialEntry {
    void* block;                    // owned when blockOwned
    int32_t blockOwned;
    int32_t tangentSpace;
    int32_t texture;                // index into the base's textures, -1 none
};

// A mesh: the source data its triangle lists were cut from.
struct ModelMeshEntry {
    void* block;                    // owned when blockOwned
    int32_t blockOwned;
};

// A triangle list. Its vertices are held in its group's layout (vertexCount
// x the group's vertex size bytes; see ModelGroupLayoutOf), its indices are
// 16-bit and count from the list's first vertex (a draw passes vertexStart
// as the base vertex and indexStart as the first index).
struct ModelTriangleList {
    int32_t skinning;               // 0 rigid, 1 and 2 the two skinned kinds; others are never placed
    int32_t mesh;
    int32_t material;               // index into the base's materials, -1 none
    int32_t texCoordSets;           // 0 to 8
    int32_t ownVertices;            // each model computes these vertices (a dynamic buffer)
    int32_t vertexCount;
    int32_t indexCount;
    void* vertices;                 // owned when verticesOwned
    int32_t verticesOwned;
    uint32_t vertexBytes;           // size of the vertex block
    uint16_t* indices;              // owned when indicesOwned
    int32_t indicesOwned;
    ModelBufferRecord* buffer;      // where the build placed it, null when not placed
    int32_t vertexStart;
    int32_t indexStart;
};

// A block of a base's chain of small blocks; the data follows the link.
struct ModelSmallBlock {
    ModelSmallBlock* next;
};

struct ModelBaseRecord {
    int32_t modelCount;
    ModelRecord* lastModel;
    ModelRecord* firstModel;
    int32_t referenceCount;
    int32_t frameCount;
    ModelFrameEntry* frames;                // owned
    int32_t textureCount;
    ModelTextureEntry* textures;            // owned when texturesOwned
    int32_t texturesOwned;
    int32_t materialCount;
    ModelMaterialEntry* materials;          // owned
    int32_t meshCount;
    ModelMeshEntry* meshes;                 // owned
    int32_t triangleListCount;
    ModelTriangleList* triangleLists;       // owned
    void* block;                            // owned
    int32_t bufferRecordCount;
    int32_t buffersBuilt;
    int32_t groupRecordCount[kModelGroupCount];
    ModelBufferRecord* groupFirst[kModelGroupCount];
    ModelBufferRecord* groupLast[kModelGroupCount];
    int32_t buildArgument;
    ModelSmallBlock* smallBlocks;           // owned, each block
};

// A chain of blocks: the head and each block are owned.
struct ModelChainBlock {
    ModelChainBlock* next;
};
struct ModelChainHead {
    ModelChainBlock* first;
};

// A model's state for one frame of its base.
struct ModelFrameState {
    void* blocks[2];                // owned
    ModelChainHead* chain;          // owned
    int32_t animationSlot;          // the attached animation driving the frame, -1 none
};

// A model's dynamic buffer for one triangle list of its base.
struct ModelDynamicBuffer {
    IDirect3DVertexBuffer9* vertexBuffer;
    uint8_t refill;                 // the vertices must be written again
};

// A model's replacement of one texture of its base.
struct ModelTextureOverride {
    int32_t inUse;
    const void* colorSource;
    int32_t colorSize;
    const void* alphaSource;
    int32_t alphaSize;
    int32_t normalMap;
    float bumpHeight;
    int32_t image;                  // -1 or the image
    void* blocks[6];                // owned: names and file images of the sources, working data
};

struct ModelAnimationSlot {
    uint8_t inUse;
    void* block;                    // owned
};

struct ModelRecord {
    int32_t handle;
    int32_t check;
    ModelRecord* previous;
    ModelRecord* next;
    int32_t baseId;
    ModelBaseRecord* base;
    ModelFrameState* frames;                // owned; one per frame of the base
    int32_t buffersDirty;
    ModelDynamicBuffer* dynamicBuffers;     // owned; one per triangle list of the base
    ModelTextureOverride* overrides;        // owned when overridesOwned; one per texture of the base
    int32_t overridesOwned;
    void* blocks[2];                        // owned
    ModelChainHead* chain;                  // owned
    int32_t animationSlotCount;
    ModelAnimationSlot* animations;         // owned
    int32_t attachedAnimationCount;
    int32_t playingAnimation;               // slot + 1 of the animation played, 0 none
    int32_t blendingAnimation;              // slot + 1 of the animation blended in, 0 none
};

struct ModelModuleState {
    uint8_t initialised;
    float angleValue;
    float sineTable[kModelSineEntries];
    int32_t baseCount;
    int32_t baseHighWater;
    int32_t baseCapacity;
    ModelBaseRecord** bases;                // owned; slots may hold MODEL_SLOT_RESERVED
    void* nameTable;                        // owned
    int32_t nameCount;
    int32_t nameCapacity;
    int32_t modelCount;
    int32_t modelHighWater;
    int32_t modelCapacity;
    ModelRecord** models;                   // owned; slots may hold MODEL_SLOT_RESERVED
    int32_t builtInTextures[3];             // white, stepped grey ramp, smooth grey ramp
    int32_t nextCheck;                      // check value of the next model
};

ModelModuleState& Models();

// ---- lookups -------------------------------------------------------------------------------------
// The live record, or null for a bad identifier, an empty or reserved slot
// (or, for a model, a differing check value).
ModelBaseRecord* FindModelBase(int32_t baseId);
ModelRecord* FindModel(int32_t model);
int32_t ModelHandleOf(int32_t slot, int32_t check);

// ---- vertex-layout groups ------------------------------------------------------------------
struct ModelGroupLayout {
    int32_t vertexSize;             // bytes
    uint32_t fvf;                   // 0: drawn with a vertex shader
    int32_t fixedFunction;          // 1: built whether or not shaders are in use
};
// Group = (skinning x 2 + material flag) x 9 + set count; -1 for a list of
// another kind or set count (never placed).
int32_t ModelGroupOf(const ModelBaseRecord* base, const ModelTriangleList& list);
ModelGroupLayout ModelGroupLayoutOf(int32_t group);
// Buffer record limits; tests may lower them (a value outside 1 to the
// default restores the default).
void SetModelBufferLimits(int32_t indexLimit, int32_t vertexLimit);

// ---- record entry --------------------------------------------------------------------------
// Takes a slot and marks it reserved: the base identifier or model handle,
// or -1 when not initialised or the table is full or cannot grow.
int32_t ReserveModelBaseSlot();
int32_t ReserveModelSlot();
// Puts a filled record (a block of AllocMemory) into a slot that is reserved;
// -1 otherwise. A model is linked at the end of its base's list, counts on
// its base (model count and reference count raised) and gets the check value
// of its handle.
int32_t PlaceModelBase(int32_t baseId, ModelBaseRecord* base);
int32_t PlaceModel(int32_t model, ModelRecord* record, int32_t baseId);

// ---- built-in textures ----------------------------------------------------------------------
// The file images of the white texture (84 bytes) and of the stepped grey
// ramp (172 bytes), with their sizes.
const uint8_t* ModelWhiteTextureFile(int32_t* size);
const uint8_t* ModelSteppedRampFile(int32_t* size);

// ---- shared steps --------------------------------------------------------------------------
// Releases every buffer record of the base (their device buffers too) and
// clears the lists' references; the built flag is left as it is.
void FreeModelBaseBufferRecords(ModelBaseRecord* base);
