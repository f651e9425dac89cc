// Draws every picture of the game from assets/images into the data
// directory: the board, particle, pointer, level-select, figure, frame,
// volume and logo sheets, the five backgrounds and the program icon.
//
//   make_images ASSETS-DIR OUT-DIR
#include "canvas.h"
#include "sheets.h"

#include <cstdio>
#include <functional>
#include <string>

using namespace art;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_images ASSETS-DIR OUT-DIR\n");
        return 2;
    }
    const std::string assets = argv[1], out = argv[2];
    std::string error;
    Palette palette;
    if (!LoadPalette(assets + "/palette.txt", &palette, &error)) Fail(error);
    SetCurrentPalette(palette);
    for (const char* file : {"board.txt", "ui.txt", "figures.txt", "backgrounds.txt"}) {
        std::map<std::string, Sprite> sprites;
        if (!LoadSprites(assets + "/" + file, &sprites, &error)) Fail(error);
        AddSprites(sprites);
    }
    struct Output {
        const char* name;
        std::function<Canvas()> build;
    };
    const Output outputs[] = {
        {"hana.png", BuildBoardSheet},
        {"effect.png", BuildEffectSheet},
        {"cursor2.png", BuildCursorSheet},
        {"sentaku.png", BuildSelectSheet},
        {"hito.png", BuildFigureSheet},
        {"fuki.png", BuildFrameSheet},
        {"volume.png", BuildVolumeSheet},
        {"morvane.png", BuildLogoSheet},
        {"haikei00.png", [] { return BuildBackground(0); }},
        {"haikei01.png", [] { return BuildBackground(1); }},
        {"haikei02.png", [] { return BuildBackground(2); }},
        {"haikei03.png", [] { return BuildBackground(3); }},
        {"haikei04.png", [] { return BuildBackground(4); }},
    };
    for (const Output& o : outputs)
        if (!WritePng(out + "/" + o.name, o.build(), &error)) Fail(error);
    // The window icon keeps real transparency: the window system reads alpha.
    if (!WritePngWithAlpha(out + "/icon.png", BuildIcon(), &error)) Fail(error);
    return 0;
}
