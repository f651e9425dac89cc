#include "draw.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace art {

void FillEllipse(Canvas& c, double cx, double cy, double rx, double ry, Color color) {
    if (rx <= 0 || ry <= 0) return;
    for (int y = int(std::floor(cy - ry)); y <= int(std::ceil(cy + ry)); ++y)
        for (int x = int(std::floor(cx - rx)); x <= int(std::ceil(cx + rx)); ++x) {
            double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
            if (dx * dx + dy * dy <= 1.0) c.Set(x, y, color);
        }
}

bool InRoundRect(int px, int py, int x, int y, int w, int h, int r) {
    if (px < x || py < y || px >= x + w || py >= y + h) return false;
    int cx = std::clamp(px, x + r, x + w - 1 - r);
    int cy = std::clamp(py, y + r, y + h - 1 - r);
    double dx = px - cx, dy = py - cy;
    return dx * dx + dy * dy <= (r + 0.3) * (r + 0.3) - 0.5 * r;
}

void FillRoundRect(Canvas& c, int x, int y, int w, int h, int r, Color color) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            if (InRoundRect(i, j, x, y, w, h, r)) c.Set(i, j, color);
}

void FillPolygon(Canvas& c, const std::vector<double>& xy, Color color) {
    const size_t n = xy.size() / 2;
    if (n < 3) return;
    double minY = xy[1], maxY = xy[1];
    for (size_t i = 0; i < n; ++i) minY = std::min(minY, xy[2 * i + 1]), maxY = std::max(maxY, xy[2 * i + 1]);
    for (int y = int(std::floor(minY)); y <= int(std::ceil(maxY)); ++y) {
        double sy = y + 0.5;
        std::vector<double> xs;
        for (size_t i = 0; i < n; ++i) {
            double x0 = xy[2 * i], y0 = xy[2 * i + 1];
            double x1 = xy[2 * ((i + 1) % n)], y1 = xy[2 * ((i + 1) % n) + 1];
            if ((y0 <= sy && y1 > sy) || (y1 <= sy && y0 > sy)) xs.push_back(x0 + (sy - y0) * (x1 - x0) / (y1 - y0));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t k = 0; k + 1 < xs.size(); k += 2)
            for (int x = int(std::ceil(xs[k] - 0.5)); x + 0.5 <= xs[k + 1]; ++x) c.Set(x, y, color);
    }
}

void DrawLine(Canvas& c, int x0, int y0, int x1, int y1, Color color) {
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        c.Set(x0, y0, color);
        if (x0 == x1 && y0 == y1) break;
        int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
}

void Outline(Canvas& c, int x, int y, int w, int h, Color color, bool diagonal) {
    std::vector<std::pair<int, int>> marks;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) {
            if (c.Get(i, j) != kKey) continue;
            bool touch = false;
            for (int dy = -1; dy <= 1 && !touch; ++dy)
                for (int dx = -1; dx <= 1 && !touch; ++dx) {
                    if (dx == 0 && dy == 0) continue;
                    if (!diagonal && dx != 0 && dy != 0) continue;
                    int nx = i + dx, ny = j + dy;
                    if (nx < x || ny < y || nx >= x + w || ny >= y + h) continue;
                    touch = c.Get(nx, ny) != kKey;
                }
            if (touch) marks.emplace_back(i, j);
        }
    for (auto [i, j] : marks) c.Set(i, j, color);
}

void Recolor(Canvas& c, int x, int y, int w, int h, const std::function<Color(int, int, Color)>& pick) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            Color old = c.Get(x + i, y + j);
            if (old == kKey) continue;
            Color n = pick(i, j, old);
            if (n != kKey) c.Set(x + i, y + j, n);
        }
}

void DrawPetals(Canvas& c, double cx, double cy, int n, double dist, double r,
                const std::function<const Ramp&(int)>& rampOf) {
    const int x0 = int(std::floor(cx - dist - r)) - 1, x1 = int(std::ceil(cx + dist + r)) + 1;
    const int y0 = int(std::floor(cy - dist - r)) - 1, y1 = int(std::ceil(cy + dist + r)) + 1;
    auto petalAt = [&](int x, int y) {
        int best = -1;
        double bestD = 1e9;
        for (int k = 0; k < n; ++k) {
            double a = k * 2 * M_PI / n;
            double px = cx + dist * std::sin(a), py = cy - dist * std::cos(a);
            double d = std::hypot(x + 0.5 - px, y + 0.5 - py);
            if (d <= r && d < bestD) best = k, bestD = d;
        }
        return best;
    };
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            int k = petalAt(x, y);
            if (k < 0) continue;
            const Ramp& ramp = rampOf(k);
            int right = petalAt(x + 1, y), down = petalAt(x, y + 1);
            double a = k * 2 * M_PI / n;
            double px = cx + dist * std::sin(a), py = cy - dist * std::cos(a);
            double lx = x + 0.5 - px, ly = y + 0.5 - py;
            Color col = ramp[3];
            if ((right >= 0 && right != k) || (down >= 0 && down != k)) col = ramp[1];
            else if (lx + ly < -0.45 * r) col = ramp[4];
            else if (lx + ly > 0.75 * r) col = ramp[2];
            c.Set(x, y, col);
        }
}

bool Dither(int x, int y, int level) {
    static const int kMatrix[2][2] = {{0, 2}, {3, 1}};
    return kMatrix[y & 1][x & 1] < level;
}

int Hash(int x, int y, int seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return int((h ^ (h >> 16)) & 255);
}

}  // namespace art
