#include "sheets.h"

namespace art {

Canvas Turned(const Canvas& square, int turn) {
    turn &= 3;
    const int n = square.width;
    Canvas out(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            int sx = x, sy = y;
            switch (turn) {  // the source pixel that lands on (x, y)
                case 1: sx = y, sy = n - 1 - x; break;
                case 2: sx = n - 1 - x, sy = n - 1 - y; break;
                case 3: sx = n - 1 - y, sy = x; break;
                default: break;
            }
            out.Set(x, y, square.Get(sx, sy));
        }
    return out;
}

void TurnPoint(int size, int turn, double x, double y, double* ox, double* oy) {
    for (int i = 0; i < (turn & 3); ++i) {
        double nx = size - y, ny = x;
        x = nx, y = ny;
    }
    *ox = x, *oy = y;
}

}  // namespace art
