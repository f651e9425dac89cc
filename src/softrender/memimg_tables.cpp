#include "softrender/memimg_tables.h"

MemImgBlendTables g_memImgTables;

namespace {
bool g_tablesReady = false;
}

void InitMemImgTables() {
    MemImgBlendTables& t = g_memImgTables;
    for (int b = 0; b < 256; ++b) {
        for (int i = 0; i < 256; ++i) t.scale[b][i] = static_cast<uint32_t>(b * i / 255);
        for (int j = 0; j < 511; ++j) t.difference[b][j] = b * (j - 255) / 255;  // truncates toward zero
        t.difference[b][511] = 0;
    }
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b)
            for (int c = 0; c < 64; ++c) t.mix6[a][b][c] = static_cast<uint8_t>((a * b + (63 - a) * c) / 63);
    BuildBlendImageRamp(0, 0);
    g_tablesReady = true;
}

int AreMemImgTablesReady() { return g_tablesReady ? 1 : 0; }

void BuildBlendImageRamp(int32_t borderParameter, int32_t borderRange) {
    int64_t k = static_cast<int64_t>(borderRange < 0 ? 0 : borderRange) + 1;
    int64_t step = 65536 / k;
    int64_t base = 256 - ((step + 256) * borderParameter) / 256;
    for (int i = 0; i < 256; ++i) {
        int64_t v = (256 * i) / k + base;
        g_memImgTables.blendImageRamp[i] = static_cast<uint8_t>(v > 255 ? 255 : v < 0 ? 0 : v);
    }
}
