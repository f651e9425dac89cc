// The 3D model module of the Direct3D 9 back end: model bases (the shared
// data of one loaded model: frames, materials, meshes, textures, triangle
// lists and the device buffers they are placed in) and models (instances of a
// base with their own frame state, texture overrides, attached animations and
// dynamic vertex buffers).
//
// Nothing in this program loads a base or makes a model: the module holds the
// start-up, the part both families play in a device reset (textures rebuilt
// from their sources, buffers released and built again), the deletes and the
// end. Records are put in by the module's own internal entries
// (model_internal.h).
//
// Identifiers:
//   - a base is named inside the library by 0x08000000 | slot (slot in the
//     low 17 bits, no check value); it is never handed to a program;
//   - a model handle has type bits 0x50000000, the record's 11-bit check
//     value in bits 16-26 and the slot in the low 16 bits.
// A table slot holding the value 1 is reserved (taken, not yet filled): it
// is never read through; the deletes clear it, every other call refuses it.
//
// Results: 0 on success, -1 for a bad identifier or handle (no log line),
// unless a line says otherwise. Every memory block the records own comes
// from AllocMemory and is released with FreeMemory.
#pragma once

#include "platform/d3d9/d3d9.h"

#include <cstdint>

struct PixelImage;

// ---- start-up and end ------------------------------------------------------------------------
// Fills the sine table and clears both tables; does nothing when already
// initialised or on the software path (the module then stays uninitialised).
int32_t InitModelHandles();
// Deletes every model, then every base, frees the tables and clears the
// initialised flag; nothing when not initialised.
int32_t TerminateModelHandles();

// ---- device reset ------------------------------------------------------------------------------
// Reloads the built-in textures and rebuilds every base's and every model's
// texture images from their sources (an entry that fails is skipped).
int32_t RestoreModelTextures();
// Builds every base's device buffers again (build argument 1); a failed base
// stays unbuilt.
int32_t RestoreModelBuffers();
// Releases every base's device buffers and every model's dynamic buffers.
int32_t ReleaseAllModelBuffers();

// ---- buffers -------------------------------------------------------------------------------------
// Places the base's triangle lists into the 54 vertex-layout groups, makes,
// fills and unlocks one vertex and one 16-bit index buffer per buffer record,
// then makes the dynamic buffers of the base's models. 0 also when the device
// has no hardware vertex processing (nothing built) or the base is built
// already; -1 for a bad identifier, a triangle list whose data does not match
// its counts, or a failed buffer creation or lock (everything the build made
// is released again).
int32_t BuildModelBaseBuffers(int32_t baseId, int32_t buildArgument);
// Makes the dynamic vertex buffers of the lists the model computes itself.
// -1 for a bad handle or a failed creation (the other lists still get
// theirs).
int32_t CreateModelDynamicBuffers(int32_t model);
// Releases a built base's buffers and its models' dynamic buffers.
int32_t ReleaseModelBaseBuffers(int32_t baseId);
int32_t ReleaseModelDynamicBuffers(int32_t model);

// ---- deletes -------------------------------------------------------------------------------------
// Lowers the base's reference count and frees it at 0. -1 also when the base
// still has models made from it and the count would fall below their number
// (they would be left with a freed base).
int32_t DeleteModelBase(int32_t baseId);
// Frees the model and everything it owns, and lets go of its base.
int32_t DeleteModel(int32_t model);
// Frees an attached animation's block and clears the slot and what refers to
// it. 0 (nothing done) for a free slot; -1 for a slot outside the array.
int32_t DetachModelAnimation(int32_t model, int32_t slot);
// Frees the chain of blocks of a frame (frame index) or of the model (-1).
int32_t FreeModelChainBlock(int32_t model, int32_t frame);
// Frees working block 0 or 1 of a frame (frame index) or of the model (-1).
int32_t FreeModelDataBlock(int32_t model, int32_t frame, int32_t which);

// ---- textures ------------------------------------------------------------------------------------
// Decodes a texture's colour and alpha sources into two pictures (both
// cleared first). A source is a pointer and a size: size > 0, a file image of
// that many bytes in memory; size 0, a file name; a null pointer, no source.
// Without a colour source the colour picture is opaque white at the alpha
// picture's (texture) size. With normalMap the colour picture is read as a height map
// (red) and becomes a normal map. A decoded colour source and the alpha
// picture are stretched to powers of two (at most half the device's maximum
// texture size, for the raised sizes) and turned by 180 degrees with turn.
// -1 (both pictures released) when a source does not decode, neither source
// is given, or a picture cannot be made.
int32_t LoadModelTexturePictures(PixelImage* color, PixelImage* alpha, const void* colorSource, int32_t colorSize,
                                 const void* alphaSource, int32_t alphaSize, int32_t normalMap, float bumpHeight,
                                 int32_t turn);
// Copies a 256 x 8 ramp (column x grey level x) into the image; the handle,
// or -1 when the picture cannot be made (a refused copy is not a failure).
int32_t BuildGreyRampTexture(int32_t image);
