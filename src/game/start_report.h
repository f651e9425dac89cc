// For the start-up bench: the moment the first frame has been presented, told
// to another process through a descriptor it handed down
// (VELUMI_FIRST_FRAME_FD=N in the environment; main reads it).
//
// ReportFirstFrameTo("N") wraps GameCalls().presentScreen: after the first
// present, one byte ('F') is written to descriptor N, which is then closed;
// later presents go straight to the library. Text that is not a descriptor
// number above 2 (the standard streams) is refused: false, with a line on
// standard error, and nothing is wrapped.
#pragma once

bool ReportFirstFrameTo(const char* descriptorText);
