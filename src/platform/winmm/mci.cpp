// The MCI command interface: with no MIDI synthesizer no device opens.
#include "platform/winmm/mci.h"

#include "platform/seams/seams.h"

#include <mutex>

namespace {

std::mutex g_lock;
bool g_deviceOpen = false;
MCIDEVICEID g_deviceId = 0;
int g_commandCount = 0;
mci::Command g_lastCommand{};

MCIERROR Answer(MCIDEVICEID deviceId, UINT message) {
    switch (message) {
        case MCI_OPEN:
            return MCIERR_DEVICE_NOT_INSTALLED;
        case MCI_PLAY:
        case MCI_STOP:
            return g_deviceOpen && deviceId == g_deviceId ? 0 : MCIERR_INVALID_DEVICE_ID;
        case MCI_CLOSE:
            if (deviceId == MCI_ALL_DEVICE_ID) {
                g_deviceOpen = false;
                return 0;
            }
            if (!g_deviceOpen || deviceId != g_deviceId) return MCIERR_INVALID_DEVICE_ID;
            g_deviceOpen = false;
            return 0;
        default:
            return MCIERR_UNRECOGNIZED_COMMAND;
    }
}

}  // namespace

MCIERROR mciSendCommandA(MCIDEVICEID deviceId, UINT message, DWORD_PTR flags, DWORD_PTR parameters) {
    std::lock_guard<std::mutex> lock(g_lock);
    mci::Command command{deviceId, message, flags, 0, 0, 0};
    if (parameters != 0) {
        command.callback = reinterpret_cast<const MCI_GENERIC_PARMS*>(parameters)->dwCallback;
        if (message == MCI_PLAY) command.from = reinterpret_cast<const MCI_PLAY_PARMS*>(parameters)->dwFrom;
    }
    const auto failed = seams::FailNow<MCIERROR>("mciSendCommandA", MCIERR_DEVICE_NOT_READY);
    command.result = failed ? *failed : Answer(deviceId, message);
    ++g_commandCount;
    g_lastCommand = command;
    return command.result;
}

namespace mci {

void OpenDeviceForTest(MCIDEVICEID id) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_deviceOpen = true;
    g_deviceId = id;
}

int CommandCountForTest() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_commandCount;
}

Command LastCommandForTest() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_lastCommand;
}

void ResetForTest() {
    std::lock_guard<std::mutex> lock(g_lock);
    g_deviceOpen = false;
    g_deviceId = 0;
    g_commandCount = 0;
    g_lastCommand = Command{};
}

}  // namespace mci
