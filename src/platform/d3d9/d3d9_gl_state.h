// The fixed parts of a pipeline (viewport, scissor, blend, depth, culling,
// fill, colour mask, program) and the record of what the context holds of
// them. Every change of these states goes through this file, so that a value
// is sent only when the context does not hold it already, and a clear, copy
// or present that changes one keeps the record true.
#pragma once

#include "platform/d3d9/d3d9_gl.h"

namespace d3d9::gl {

// Sends what the draw's setup needs of the fixed state, with GL's viewport.
void ApplyFixed(const PipelineSetup& setup, const Rect& viewport);
void SetViewport(const Rect& r);
// Turns the scissor test on with the box r.
void SetScissor(const Rect& r);
void SetScissorTest(bool on);
// The D3DCOLORWRITEENABLE bits; alpha only when alphaAllowed.
void ApplyColorMask(DWORD colorWrite, bool alphaAllowed);
void SetDepthMask(bool on);
void SetProgram(uint32_t program);
// The program is gone: the context's current one is no longer known.
void ForgetProgram(uint32_t program);

}  // namespace d3d9::gl
