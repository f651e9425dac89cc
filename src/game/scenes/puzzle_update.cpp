// The puzzle scene's frame: the wipe and what it leads to, the buttons, the
// clear sequence, undo and restart, the how-to-play pages, the board, and the
// two-cell cursor with its highlight frames and swap arrows.
//
// Within one update `left` and `right` are this frame's held counters of the
// mouse buttons; a control that acts on a click sets left to -1, so at most
// one control acts per frame, in the order below, and a click that no control
// took goes to the board.
#include <algorithm>

#include "game/background.h"
#include "game/bitmap_font.h"
#include "game/board/level_progress.h"
#include "game/effects.h"
#include "game/polling.h"
#include "game/resources.h"
#include "game/save_files.h"
#include "game/scenes/puzzle_scene.h"
#include "game/scenes/puzzle_tables.h"
#include "game/scenes/scene_common.h"

namespace {

constexpr int32_t kClearSaveFrame = 20;
constexpr int32_t kClearMessageFrame = 45;
constexpr int32_t kClearNextFrame = 135;
constexpr int32_t kArrowDelay = 15;
constexpr int32_t kHighlightDelay = 45;

// The flash and four puffs of a bloom at (x, y).
void AddBloomParticles(const BoardEvent& event) {
    EffectParticle flash;
    flash.kind = kEffectBloomFlash;
    flash.x = event.x;
    flash.y = event.y;
    flash.image = ImageHandle(kImageEffect);
    flash.width = 24;
    flash.height = 24;
    flash.alpha = 1.0;
    AddEffect(flash);
    static constexpr int32_t kOffsets[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
    for (int32_t i = 0; i < 4; ++i) {
        EffectParticle puff;
        puff.kind = kEffectBloomPuff;
        puff.age = event.puffAge[i];
        puff.delay = 6;
        puff.x = event.x + 6 * kOffsets[i][0];
        puff.y = event.y + 6 * kOffsets[i][1];
        puff.vx = 4.0 * kOffsets[i][0];
        puff.vy = 4.0 * kOffsets[i][1];
        puff.image = ImageHandle(kImageEffect);
        puff.srcY = 24;
        puff.width = 12;
        puff.height = 12;
        puff.alpha = 1.0;
        AddEffect(puff);
    }
}

}  // namespace

void PuzzleScene::PlayBoardEvents() {
    for (const BoardEvent& event : board.events) {
        if (event.kind == kBoardEventSound)
            PlaySoundEffect(event.sound);
        else if (event.kind == kBoardEventBloom)
            AddBloomParticles(event);
    }
    board.events.clear();
}

void PuzzleScene::StartClosingWipe(int32_t action) {
    PlaySoundEffect(kSoundClick);
    StartWipe(wipe, 0);
    wipeAction = action;
}

void PuzzleScene::CarryOutWipeAction() {
    switch (wipeAction) {
        case kWipeBack:
            SetNextScene(ClampSaveLevel(CurrentSaveSlot().level) == 0 ? NewTitleScene() : NewSentakuScene());
            break;
        case kWipeNext:
            if (IsBreakAfterLevel(level)) {
                SetNextScene(NewBreakScene(level));
            } else {
                level = std::min(level + 1, kLastLevel);
                SetUpLevel();
            }
            break;
        case kWipeRestart:
            StartLevel();
            break;
        case kWipePrevLevel:
            level = std::max(level - 1, kFirstLevel);
            SetUpLevel();
            break;
        case kWipeNextLevel:
            level = std::min(level + 1, kLastLevel);
            SetUpLevel();
            break;
        default:
            break;
    }
}

void PuzzleScene::RunClearSequence() {
    if (clearTimer == kClearSaveFrame) {
        SaveSlot& slot = CurrentSaveSlot();
        slot.level = RecordClearedLevel(slot.level, level);
        flash = 1.0;
        for (Button* b : {&howToBox, &restartButton, &backButton, &nextPageButton, &prevPageButton, &undoButton})
            HideButton(*b);
        prevLevelArrow = LevelArrow{};
        nextLevelArrow = LevelArrow{};
        PlaySoundEffect(kSoundLevelCleared);
        AddFireworkRings();
    } else if (clearTimer == kClearMessageFrame) {
        SetUpTitleBox(clearBox, 120, LevelClearMessage(level));
    } else if (clearTimer == kClearNextFrame) {
        SetUpClickButton(nextButton, 316 - 64, 239 - 17, 64, PuzzleText(kPuzzleTextNext));
    }
    if (clearTimer < INT32_MAX) clearTimer += 1;
}

void PuzzleScene::HandlePageButtons(int32_t& left) {
    if (HitTestButton(nextPageButton, pointerX, pointerY, left)) {
        PlaySoundEffect(kSoundPage);
        if (!IsHowToPageEmpty(page)) {
            page += 1;
            SetButtonLabel(howToBox, HowToPage(page));
            howToBox.pressCounter = nextPageButton.pressCounter = prevPageButton.pressCounter = 6;
            if (IsHowToPageEmpty(page)) {
                howToBox.visible = 0;
                nextPageButton.visible = 0;
                prevPageButton.visible = 1;
            } else {
                if (IsHowToPageEmpty(page + 1)) SetButtonLabel(nextPageButton, "-");
                prevPageButton.visible = 1;
            }
        }
        left = -1;
    }
    if (HitTestButton(prevPageButton, pointerX, pointerY, left)) {
        PlaySoundEffect(kSoundPage);
        if (!IsHowToPageEmpty(page - 1)) {
            page -= 1;
            SetButtonLabel(howToBox, HowToPage(page));
            howToBox.pressCounter = nextPageButton.pressCounter = prevPageButton.pressCounter = 6;
            howToBox.visible = 1;
            if (IsHowToPageEmpty(page - 1)) prevPageButton.visible = 0;
            if (!IsHowToPageEmpty(page + 1)) SetButtonLabel(nextPageButton, "@");
            nextPageButton.visible = 1;
        }
        left = -1;
    }
}

void PuzzleScene::UpdateCursor(int32_t left) {
    if (cursorCol != lastCursorCol || cursorRow != lastCursorRow) arrowDelay = 0;
    lastCursorCol = cursorCol;
    lastCursorRow = cursorRow;
    PointerToCursorCell(pointerX, pointerY, &cursorCol, &cursorRow);
    const bool swappable = CanSwap(board, cursorCol, cursorRow) != 0;
    for (int32_t k = 0; k < 2; ++k) {
        highlight[k] = 0;
        minCol[k] = maxCol[k] = cursorCol + k;
        minRow[k] = maxRow[k] = cursorRow;
        const int32_t index = PieceAtCell(board, cursorCol + k, cursorRow);
        if (index < 0 || !board.pieces[index].movable) continue;
        highlight[k] = 2;
        if (highlightDelay > 0) highlight[k] = 0;
        if (swappable) {
            highlight[k] = 1;
            arrowFlags |= 1 << k;
        }
        GetPieceBounds(board.pieces[index], &minCol[k], &maxCol[k], &minRow[k], &maxRow[k]);
    }
    if (highlight[0] == 2 || highlight[1] == 2) highlight[0] = highlight[1] = 2;
    if (left != 0) return;
    arrowDelay = highlightDelay = 0;
    if (!ClickBoard(board, cursorCol, cursorRow)) return;
    SetButtonLabel(undoButton, "~");
    for (int32_t k = 0; k < 2; ++k) {
        if (minRow[k] > 0) {  // the frame follows its piece
            const int32_t step = k == 0 ? 1 : -1;
            minCol[k] += step;
            maxCol[k] += step;
        } else {
            highlight[k] = -1;
        }
    }
}

void PuzzleScene::Update() {
    const bool busy = wipe.active ? StepWipe(wipe) : false;
    if (wipe.active && wipe.reveal == 0 && !busy) {
        CarryOutWipeAction();
        return;
    }
    PollMouse();
    PollPad();
    pointerX = g_mouse.x;
    pointerY = g_mouse.y;
    int32_t left = busy ? -1 : g_mouse.leftHeld;
    const int32_t right = busy ? -1 : g_mouse.rightHeld;
    if (flash > 0) {
        flash -= 0.05;
        if (!(flash > 0)) flash = 0.0;
    }
    TickButton(clearBox);
    if (board.boardState == kBoardCleared) RunClearSequence();
    // Restart, by its button or a right click anywhere, only while idle.
    const bool restartClicked = HitTestButton(restartButton, pointerX, pointerY, left) != 0;
    if ((restartClicked || right == 0) && board.boardState == kBoardIdle) {
        StartClosingWipe(kWipeRestart);
        left = -1;
    }
    if (HitTestButton(backButton, pointerX, pointerY, left)) {
        StartClosingWipe(kWipeBack);
        left = -1;
    }
    if (HitTestButton(nextButton, pointerX, pointerY, left)) {
        StartClosingWipe(kWipeNext);
        left = -1;
    }
    for (LevelArrow* arrow : {&prevLevelArrow, &nextLevelArrow}) {
        if (!arrow->visible) continue;
        arrow->hover = pointerX >= arrow->x && pointerX < arrow->x + 12 && pointerY >= arrow->y &&
                       pointerY < arrow->y + 24;
        if (arrow->hover && left == 0) {
            StartClosingWipe(arrow == &prevLevelArrow ? kWipePrevLevel : kWipeNextLevel);
            left = -1;
        }
    }
    if (HitTestButton(undoButton, pointerX, pointerY, left) && board.undoAvailable && board.boardState == kBoardIdle) {
        UndoSwap(board);
        SetButtonLabel(undoButton, " ");
        undoButton.pressCounter = 6;
        PlaySoundEffect(kSoundClick);
        left = -1;
    }
    SwapBackground();
    UpdateEffects();
    UpdateBoard(board);
    PlayBoardEvents();
    arrowFlags = 0;
    if (board.boardState != kBoardIdle) {
        arrowDelay = kArrowDelay;
        highlightDelay = kHighlightDelay;
    }
    if (arrowDelay > 0) arrowDelay -= 1;
    if (highlightDelay > 0) highlightDelay -= 1;
    TickButton(howToBox);
    HandlePageButtons(left);
    if (board.boardState == kBoardIdle) {
        UpdateCursor(left);
        PlayBoardEvents();
    }
    animCount += 1;
    frameCount += 1;
}
