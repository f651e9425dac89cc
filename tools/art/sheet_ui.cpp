// The small sheets: particles, pointer and cell frames, level-select
// pictures, figures, button frames, volume sliders, the logo and the icon.
#include "draw.h"
#include "sheets.h"

#include <cmath>

namespace art {

namespace {

// Distance of a pixel from the outside of a rounded rectangle: 0 on its
// edge, growing inwards; -1 outside.
int RingDepth(int x, int y, int rx, int ry, int rw, int rh, int r, int maxDepth) {
    if (!InRoundRect(x, y, rx, ry, rw, rh, r)) return -1;
    for (int k = 1; k <= maxDepth; ++k)
        // Inner radii below 2 would only nick single corner pixels.
        if (!InRoundRect(x, y, rx + k, ry + k, rw - 2 * k, rh - 2 * k, r - k >= 2 ? r - k : 0)) return k - 1;
    return maxDepth;
}

// True when the nearest outside of the rounded rectangle lies up or left.
bool LitSide(int x, int y, int rx, int ry, int rw, int rh) {
    int top = y - ry, left = x - rx, bottom = ry + rh - 1 - y, right = rx + rw - 1 - x;
    return std::min(top, left) <= std::min(bottom, right);
}

}  // namespace

// ---- particles -------------------------------------------------------------------
// (0, 0) 24x24: the flash of a bloom. (12f, 24) 12x12, f = 0..3: a twinkle
// in four colours, looped by the bloom puffs and the fireworks.
Canvas BuildEffectSheet() {
    Canvas sheet(48, 36, Pal("black"));
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            double dx = x + 0.5 - 12, dy = y + 0.5 - 12, d = std::hypot(dx, dy);
            double a = std::atan2(dy, dx);
            double ray = std::abs(std::sin(4 * a));  // 0 on the eight rays
            Color c = Pal("black");
            if (d < 2.6) c = Pal("white");
            else if (d < 4.6) c = Pal("yel4");
            else if (d < 6.6 && Dither(x, y, 3)) c = Pal("yel2");
            else if (d < 9.0 && Dither(x, y, 1)) c = Pal("yel0");
            if (d >= 2.6 && d < 11.5 && ray * d < 0.9) c = d < 7.5 ? Pal("yel4") : Pal("yel1");
            sheet.Set(x, y, c);
        }
    struct Arm {
        int len;
        int diag;
        const char* inner;
        const char* outer;
    };
    const Arm frames[4] = {{2, 0, "tl2", "tl1"}, {4, 1, "yel4", "yel2"}, {5, 3, "pnk2", "pnk1"}, {3, 2, "lav2", "lav1"}};
    for (int f = 0; f < 4; ++f) {
        const int cx = 12 * f + 5, cy = 24 + 5;
        const Arm& arm = frames[f];
        for (int k = 1; k <= arm.len; ++k) {
            Color c = Pal(k <= arm.len / 2 + 1 ? arm.inner : arm.outer);
            sheet.Set(cx + k, cy, c), sheet.Set(cx - k, cy, c), sheet.Set(cx, cy + k, c), sheet.Set(cx, cy - k, c);
        }
        for (int k = 1; k <= arm.diag; ++k) {
            Color c = Pal(arm.outer);
            sheet.Set(cx + k, cy + k, c), sheet.Set(cx - k, cy - k, c), sheet.Set(cx + k, cy - k, c),
                sheet.Set(cx - k, cy + k, c);
        }
        sheet.Set(cx, cy, Pal("white"));
        if (f == 3) {  // the fading ring
            for (int i = 0; i < 8; ++i) {
                double a = i * M_PI / 4;
                sheet.Set(cx + int(std::lround(4 * std::cos(a))), cy + int(std::lround(4 * std::sin(a))), Pal("lav1"));
            }
        }
    }
    return sheet;
}

// ---- pointer, cell frames and swap arrows ---------------------------------------
//   (12s, 2p)      12x2 strip of the frame's top and bottom edges, style s, phase p
//   (12s + 2p, 12) 2x12 strip of its left and right edges
//   (12f, 24)      swap arrow pointing right, frame f; (12f, 36) pointing left
//   (48 + 12f, 0)  the pointer, frame f
Canvas BuildCursorSheet() {
    Canvas sheet(84, 48);
    // Style 0 (the cursor, drawn faint) is solid; style 1 (can swap) marches
    // in long light dashes; style 2 (cannot) in short red ones.
    auto dash = [&](int style, int pos) -> Color {
        if (style == 0) return Pal("white");
        if (style == 1) return (pos % 6) < 3 ? Pal("white") : Pal("ink");
        return (pos % 3) < 2 ? Pal("red3") : Pal("ink");
    };
    for (int s = 0; s < 3; ++s)
        for (int p = 0; p < 6; ++p)
            for (int i = 0; i < 12; ++i)
                for (int k = 0; k < 2; ++k) {
                    sheet.Set(12 * s + i, 2 * p + k, dash(s, i + 12 - p));
                    sheet.Set(12 * s + 2 * p + k, 12 + i, dash(s, i + 12 - p));
                }
    const int bob[4] = {0, 1, 2, 1};
    const Sprite& arrow = Spr("swap_arrow");
    for (int f = 0; f < 4; ++f) {
        DrawSprite(sheet, arrow, 12 * f + bob[f], 24 + 1);
        DrawSprite(sheet, arrow, 12 * f + 2 - bob[f], 36 + 1, nullptr, 0, true);
    }
    // The pointer with a glint that runs down it.
    const Sprite& pointer = Spr("pointer");
    for (int f = 0; f < 3; ++f) {
        DrawSprite(sheet, pointer, 48 + 12 * f, 0);
        for (int y = 2 + 2 * f; y < 4 + 2 * f; ++y)
            for (int x = 0; x < 12; ++x)
                if (sheet.Get(48 + 12 * f + x, y) == Pal("white") && x < 4) sheet.Set(48 + 12 * f + x, y, Pal("yel4"));
    }
    return sheet;
}

// ---- level select ------------------------------------------------------------------
//   (24h, 0)  icon frame, h = 0 normal, 1 to 3 the pointer resting on it
//   (48, 24)  backing of a cleared level, drawn under the frame
//   (4d, 24)  digit d, 4x6
//   (0, 48), (12, 48)  previous-level arrow, normal and lit
//   (0, 72), (12, 72)  next-level arrow, normal and lit
Canvas BuildSelectSheet() {
    Canvas sheet(96, 96);
    struct Look {
        const char* light;
        const char* mid;
    };
    const Look looks[4] = {{"lav2", "lav1"}, {"yel4", "yel2"}, {"yel4", "yel3"}, {"white", "yel4"}};
    for (int h = 0; h < 4; ++h) {
        const int ox = 24 * h;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                int d = RingDepth(x, y, 1, 1, 22, 22, 5, 3);
                if (d < 0 || d >= 3) continue;
                Color c = d == 0 ? Pal("ink") : d == 1 ? Pal(looks[h].light) : Pal(looks[h].mid);
                if (d == 2 && !LitSide(x, y, 1, 1, 22, 22)) c = Pal(looks[h].light);
                sheet.Set(ox + x, y, c);
            }
        // The number tag in the lower right, under the digits at (12, 12)
        // and (16, 12).
        for (int y = 10; y < 20; ++y)
            for (int x = 10; x < 22; ++x) {
                int d = RingDepth(x, y, 10, 10, 12, 10, 2, 1);
                if (d >= 0) sheet.Set(ox + x, y, d == 0 ? Pal("ink") : Pal("nt1"));
            }
        if (h == 3)  // sparkles at the corners at full light
            for (auto [x, y] : {std::pair{1, 1}, {22, 1}, {1, 22}}) sheet.Set(ox + x, y, Pal("white"));
    }
    // Backing: a blossom on a leafy ground inside the ring.
    {
        const int ox = 48, oy = 24;
        for (int y = 3; y < 21; ++y)
            for (int x = 3; x < 21; ++x)
                if (RingDepth(x, y, 1, 1, 22, 22, 5, 3) == 3)
                    sheet.Set(ox + x, oy + y, Hash(x, y, 5) < 40 ? Pal("mg1") : Pal("mg2"));
        Canvas head(24, 24);
        DrawPetals(head, 9.5, 9.5, 5, 3.3, 3.1, [](int) -> const Ramp& { return RampOf("pink"); });
        FillEllipse(head, 9.5, 9.5, 1.6, 1.6, Pal("yel3"));
        Outline(head, 0, 0, 24, 24, RampOf("pink")[0]);
        sheet.Blit(head, ox, oy);
    }
    for (int d = 0; d < 10; ++d) DrawSprite(sheet, Spr("digit" + std::to_string(d)), 4 * d, 24);
    const Sprite& arrow = Spr("level_arrow");
    for (int lit = 0; lit < 2; ++lit) {
        const Ramp& r = RampOf(lit ? "teal" : "night");
        DrawSprite(sheet, arrow, 12 * lit, 48 + 1, &r, 0, true);
        DrawSprite(sheet, arrow, 12 * lit, 72 + 1, &r);
    }
    return sheet;
}

// ---- figures -----------------------------------------------------------------------
// Row k - 1 holds kind k in four 12x24 frames: standing, bobbing, standing,
// bobbing with the eyes closed (kind 3 shows frames 0 to 2, with its blink
// on frame 2).
Canvas BuildFigureSheet() {
    Canvas sheet(48, 72);
    const char* ramps[3] = {"red", "blue", "yellow"};
    for (int k = 0; k < 3; ++k) {
        const Sprite& base = Spr("figure" + std::to_string(k + 1));
        for (int f = 0; f < 4; ++f) {
            Sprite s = base;
            bool bob = f == 1 || (k < 2 && f == 3);
            bool blink = (k < 2 && f == 3) || (k == 2 && f == 2);
            if (bob) {  // everything above the feet sinks by one pixel
                const int feet = s.height - 1;
                for (int y = feet - 1; y > 0; --y) s.rows[y] = s.rows[y - 1];
                s.rows[0] = std::string(s.width, '.');
                s.rows[feet] = base.rows[feet];
            }
            if (blink)
                for (auto& row : s.rows)
                    for (char& ch : row)
                        if (ch == 'e') ch = 'W';
            DrawSprite(sheet, s, 12 * f, 24 * k, &RampOf(ramps[k]));
        }
    }
    return sheet;
}

// ---- button and box frames ------------------------------------------------------
// 36x36 tiles of 3x3 pieces around a 12x12 inner square (12..23): the visible
// frame reaches only a few pixels past the inner rectangle, so that buttons
// 24 pixels apart do not overlap.
//   (0, 0) box border (its inside is the colour key)   (0, 36) box underlay
//   (36, 0) button     (36, 36) button under the pointer
//   (72, 0) button of the delete mode   (72, 36) the same under the pointer
Canvas BuildFrameSheet() {
    Canvas sheet(108, 72);
    // Box: a light three-pixel border; the underlay is a dark panel drawn
    // translucent beneath it.
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 36; ++x) {
            int d = RingDepth(x, y, 9, 9, 18, 18, 3, 3);  // corners stay inside the corner pieces
            if (d < 0) continue;
            sheet.Set(x, 36 + y, Pal("nt1"));
            if (d < 3) sheet.Set(x, y, d == 0 ? Pal("ink") : d == 1 ? Pal("snow") : Pal("lav1"));
        }
    struct Face {
        const char* face;
        const char* light;
        const char* dark;
    };
    const Face faces[4] = {{"nt3", "lav1", "nt1"}, {"tl1", "tl2", "nt3"}, {"red1", "red3", "red0"}, {"red2", "red4", "red1"}};
    for (int i = 0; i < 4; ++i) {
        const int ox = 36 + 36 * (i / 2), oy = 36 * (i % 2);
        for (int y = 0; y < 36; ++y)
            for (int x = 0; x < 36; ++x) {
                int d = RingDepth(x, y, 10, 10, 16, 16, 2, 2);
                if (d < 0) continue;
                Color c = Pal(faces[i].face);
                if (d == 0) c = Pal("ink");
                else if (d == 1) c = LitSide(x, y, 10, 10, 16, 16) ? Pal(faces[i].light) : Pal(faces[i].dark);
                sheet.Set(ox + x, oy + y, c);
            }
    }
    return sheet;
}

// ---- volume sliders --------------------------------------------------------------
//   (0, 0) effects  (0, 12) effects muted  (0, 24) music  (0, 36) music muted
//   (12, 0) segment filled, (18, 0) segment empty, 6x12 each
Canvas BuildVolumeSheet() {
    Canvas sheet(24, 48);
    const char* icons[2] = {"speaker", "note"};
    for (int i = 0; i < 2; ++i) {
        const Sprite& icon = Spr(icons[i]);
        DrawSprite(sheet, icon, 0, 24 * i);
        Sprite muted = icon;
        for (auto& row : muted.rows)
            for (char& ch : row)
                if (ch == 'W') ch = 'l';
        muted.legend['l'] = "lav1";
        DrawSprite(sheet, muted, 0, 24 * i + 12);
        DrawSprite(sheet, Spr("mute_cross"), 0, 24 * i + 12 + 6);
    }
    for (int y = 2; y < 10; ++y)
        for (int x = 0; x < 5; ++x) {
            bool edge = x == 0 || x == 4 || y == 2 || y == 9;
            sheet.Set(12 + x, y, edge ? Pal("ink") : y == 3 ? Pal("yel4") : y == 8 ? Pal("yel2") : Pal("yel3"));
            sheet.Set(18 + x, y, edge ? Pal("ink") : Pal("nt1"));
        }
    return sheet;
}

// ---- the maker's logo, 128x64, shown on white -------------------------------------
Canvas BuildLogoSheet() {
    Canvas sheet(128, 64);
    // The mark: three petals in the three stone colours around a white heart.
    Canvas mark(128, 42);
    const char* ramps[3] = {"red", "blue", "yellow"};
    DrawPetals(mark, 64, 20, 3, 8.5, 9.3, [&](int k) -> const Ramp& { return RampOf(ramps[k]); });
    FillEllipse(mark, 64, 20, 3.4, 3.4, Pal("white"));
    Outline(mark, 0, 0, 128, 42, Pal("ink"));
    Outline(mark, 0, 0, 128, 42, Pal("ink"));
    sheet.Blit(mark, 0, 0);
    // The name in bold letters, three pixels apart.
    const char* letters[7] = {"logo_M", "logo_O", "logo_R", "logo_V", "logo_A", "logo_N", "logo_E"};
    int width = 0;
    for (const char* l : letters) width += Spr(l).width + 3;
    width -= 3;
    int x = (128 - width) / 2;
    for (const char* l : letters) {
        DrawSprite(sheet, Spr(l), x, 47);
        x += Spr(l).width + 3;
    }
    return sheet;
}

// ---- the program icon, 32x32 -------------------------------------------------------
Canvas BuildIcon() {
    Canvas icon(32, 32);
    const Ramp& red = RampOf("red");
    const Ramp& green = RampOf("green");
    // Two leaves under the flower.
    FillEllipse(icon, 8, 24, 7, 3.4, green[3]);
    FillEllipse(icon, 24, 24, 7, 3.4, green[2]);
    DrawPetals(icon, 16, 14, 5, 6.2, 6.4, [&](int) -> const Ramp& { return red; });
    FillEllipse(icon, 16, 14, 3.6, 3.6, Pal("yel3"));
    FillEllipse(icon, 15, 13, 1.6, 1.6, Pal("yel4"));
    Outline(icon, 0, 0, 32, 32, Pal("ink"));
    return icon;
}

}  // namespace art
