// WINMM stand-in: the MCI command interface, as far as the MIDI player sends
// commands (MCI_PLAY with notification, and MCI_CLOSE, to the device it opened).
//
// This machine has no MIDI synthesizer, so no MCI device can be opened:
//   - MCI_OPEN reports MCIERR_DEVICE_NOT_INSTALLED;
//   - every command to a device id reports MCIERR_INVALID_DEVICE_ID (no id is open);
//   - MCI_CLOSE to MCI_ALL_DEVICE_ID closes nothing and reports 0;
//   - any other command reports MCIERR_UNRECOGNIZED_COMMAND.
// As nothing plays, MM_MCINOTIFY is never posted.
//
// Test seams: mci::OpenDeviceForTest(id) stands a device with that id in
// for a sequencer: it accepts MCI_PLAY (playing nothing, notifying nothing)
// and MCI_CLOSE (which closes it). mci::LastCommandForTest() reports the last
// command sent. seams::FailCall("mciSendCommandA") fails commands with the
// chosen MCIERROR (MCIERR_DEVICE_NOT_READY when the test chose none).
#pragma once

#include "platform/wintypes.h"

#include <cstdint>

using MCIDEVICEID = UINT;
using MCIERROR = DWORD;

#define MCI_OPEN 0x0803
#define MCI_CLOSE 0x0804
#define MCI_PLAY 0x0806
#define MCI_STOP 0x0808

#define MCI_NOTIFY 0x00000001
#define MCI_WAIT 0x00000002
#define MCI_FROM 0x00000004
#define MCI_TO 0x00000008

#define MCI_ALL_DEVICE_ID (static_cast<MCIDEVICEID>(0xFFFFFFFF))

#define MCI_NOTIFY_SUCCESSFUL 0x0001
#define MCI_NOTIFY_SUPERSEDED 0x0002
#define MCI_NOTIFY_ABORTED 0x0004
#define MCI_NOTIFY_FAILURE 0x0008

#define MCIERR_BASE 256
#define MCIERR_INVALID_DEVICE_ID (MCIERR_BASE + 1)
#define MCIERR_UNRECOGNIZED_COMMAND (MCIERR_BASE + 5)
#define MCIERR_DEVICE_NOT_READY (MCIERR_BASE + 20)
#define MCIERR_DEVICE_NOT_INSTALLED (MCIERR_BASE + 50)

struct MCI_GENERIC_PARMS {
    DWORD_PTR dwCallback;
};

struct MCI_PLAY_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwFrom;
    DWORD dwTo;
};

struct MCI_OPEN_PARMSA {
    DWORD_PTR dwCallback;
    MCIDEVICEID wDeviceID;
    LPCSTR lpstrDeviceType;
    LPCSTR lpstrElementName;
    LPCSTR lpstrAlias;
};

MCIERROR mciSendCommandA(MCIDEVICEID deviceId, UINT message, DWORD_PTR flags, DWORD_PTR parameters);

namespace mci {

struct Command {
    MCIDEVICEID deviceId;
    UINT message;
    DWORD_PTR flags;
    DWORD_PTR callback;  // dwCallback of the parameters (0 without them)
    DWORD from;          // dwFrom of MCI_PLAY parameters
    MCIERROR result;
};

// Tests only: a device with this id accepts MCI_PLAY and MCI_CLOSE until closed.
void OpenDeviceForTest(MCIDEVICEID id);
// Tests only: the commands sent so far, and the last of them.
int CommandCountForTest();
Command LastCommandForTest();
// Tests only: forgets the device and the commands.
void ResetForTest();

}  // namespace mci
