// The format probing of device creation: each step writes its finding to the
// log and into the device block.
#pragma once

// The first Z format the device matches with the back buffer; -1 for none.
int ProbeZFormat();
// Texture format table indexes 0 to 10; -1 when a required index finds none.
int ProbeTextureFormats();
// Indexes 11 to 13 (0 when none is accepted) and the screen-depth indexes 14
// and 15.
void ProbeRenderTargetFormats();
// Sets the back-buffer-lock flag when locking in place proved faster.
void RunBackBufferLockTrial();
