#include "game/background.h"

void SetNextBackground(Haikei* background) {
    if (background == nullptr) return;
    BackgroundManager& m = g_backgrounds;
    if (m.next != nullptr && m.next != background) delete m.next;
    m.next = background;
}

void SwapBackground() {
    BackgroundManager& m = g_backgrounds;
    if (m.current != nullptr) m.current->Update();
    if (m.next == nullptr) return;
    if (m.next == m.current) {  // already current
        m.next = nullptr;
        return;
    }
    if (m.current != nullptr) {
        m.current->End();
        delete m.current;
    }
    m.current = m.next;
    m.next = nullptr;
    m.current->Start();
}

void DeleteBackgrounds() {
    delete g_backgrounds.current;
    delete g_backgrounds.next;
    g_backgrounds.current = nullptr;
    g_backgrounds.next = nullptr;
}
