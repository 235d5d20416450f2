// ぽてまる: catch the falling potatoes, dodge the burrs. All of the game's state lives in this one
// function; everything else is the runtime.
#include "potemaru.h"

#include <cstdio>

#include "qr.h"

namespace {

constexpr int kMainItems = 256;
constexpr int kHazards = 128;
constexpr int kBonusItems = 20;
constexpr int kPlayerTop = 380;
constexpr int kPlayerWidth = 51;
constexpr int kPlayerBottom = 464;  // kPlayerTop + 84

// Where a respawned item starts: somewhere above the window, so items arrive at scattered times.
int SpawnHeight() {
  int y = RandomRange(-15000);
  return y >= -70 ? -70 : y;
}

int ReadHighScore() {
  unsigned char bytes[4] = {0, 0, 0, 0};
  FILE* file = std::fopen("save.save", "rb");
  if (!file) return 0;
  std::fread(bytes, 1, 4, file);  // a shorter file leaves the missing bytes 0
  std::fclose(file);
  return int(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
}

// Written beside the old file and renamed over it, so a crash or a full disk mid-write never
// loses the score already kept.
void WriteHighScore(int score) {
  unsigned char bytes[4] = {uint8_t(score), uint8_t(score >> 8), uint8_t(score >> 16), uint8_t(score >> 24)};
  FILE* file = std::fopen("save.save.new", "wb");
  if (!file) return;
  bool written = std::fwrite(bytes, 1, 4, file) == 4;
  written = std::fflush(file) == 0 && written;
  written = std::fclose(file) == 0 && written;
  if (written)
    std::rename("save.save.new", "save.save");
  else
    std::remove("save.save.new");
}

}  // namespace

bool potemaru::Touches(int ix, int iy, int w, int h, int playerX) {
  bool across = (ix < playerX && playerX < ix + w) || (ix > playerX && ix < playerX + kPlayerWidth);
  bool down = (iy < kPlayerTop && kPlayerTop < iy + h) || (iy > kPlayerTop && iy < kPlayerBottom);
  return across && down;
}

using potemaru::Touches;

int Potemaru() {
  SetScreenMode(640, 480, 16, 60);
  SetWindowTitleText("ぽてまる");
  SetWindowIconResource(102);
  SetDrawTarget(-2);  // refused before start; drawing goes to the screen start-up selects
  ChangeWindowMode(1);
  SetLogFileEnabled(0);
  if (RuntimeInit() == -1) return -1;

  SetCursorVisible(0);
  SetDefaultFontType(3);
  SetDefaultFontSize(29);
  const int white = MakeColor(255, 255, 255);

  const int title = LoadGraphic("pote\\taitol.png", 0);
  const int gameOver = LoadGraphic("pote\\go.png", 0);
  const int background = LoadGraphic("pote\\ki.png", 0);
  const int shadow = LoadGraphic("pote\\kage.png", 0);

  int mainGraphic[kMainItems], mainX[kMainItems], mainY[kMainItems];
  for (int i = 0; i < kMainItems; ++i) {
    mainGraphic[i] = LoadGraphic("pote\\pote.png", 0);
    mainX[i] = RandomRange(610);
    mainY[i] = SpawnHeight();
  }
  int hazardGraphic[kHazards], hazardX[kHazards], hazardY[kHazards];
  int hazardHit[kHazards], hazardCounter[kHazards], hazardBurst[kHazards][5];
  for (int i = 0; i < kHazards; ++i) {
    hazardGraphic[i] = LoadGraphic("pote\\in.png", 0);
    hazardX[i] = RandomRange(580);
    hazardY[i] = SpawnHeight();
    LoadSplitGraphic("pote\\hit.png", 5, 5, 1, 60, 60, hazardBurst[i], 0);
    hazardHit[i] = 0;
    hazardCounter[i] = 0;
  }
  int bonusGraphic[kBonusItems], bonusX[kBonusItems], bonusY[kBonusItems];
  for (int i = 0; i < kBonusItems; ++i) {
    bonusGraphic[i] = LoadGraphic("pote\\gb.png", 0);
    bonusX[i] = RandomRange(600);
    bonusY[i] = SpawnHeight();
  }
  int player[2] = {-1, -1};
  LoadSplitGraphic("pote\\man.png", 2, 2, 1, 51, 84, player, 0);

  const int playMusic = LoadSoundFile("pote\\track008_caravan.mp3", 3, -1);
  const int titleMusic = LoadSoundFile("pote\\track012_manabinokuni.mp3", 3, -1);
  const int catchSound = LoadSoundFile("pote\\life_21_huta.mp3", 3, -1);
  const int hazardSound = LoadSoundFile("pote\\attack_12_byun.mp3", 3, -1);
  const int bonusSound = LoadSoundFile("pote\\future_06_bayoun.mp3", 3, -1);
  SetSoundVolume(80, playMusic);
  SetSoundVolume(80, titleMusic);

  int highScore = ReadHighScore();
  PlaySoundHandle(titleMusic, 3, 1);

  int state = 0;  // 0 title, 1 playing, 2 game over
  int latch = 0;
  int score = 0, hitPoints = 10, level = 0;
  int playerX = 0, mouseY = 0;
  int playerFrame = 0, playerFrameTimer = 0;
  int frameMark = 0;

  for (;;) {
    ClearScreen();
    GetMousePosition(&playerX, &mouseY);

    if (state == 0) {
      DrawGraphic(0, 0, title, 0);
      DrawTextFormat(0, 0, white, "ハイスコア %d個", highScore);
      DrawTextLine(100, 340, "クリックでゲームスタート", white, 0);
      DrawTextLine(100, 370, "Escで終了", white, 0);
      if ((GetMouseButtons() & 1) == 0) {
        latch = 0;
      } else if (latch == 0) {
        StopSoundHandle(titleMusic);
        PlaySoundHandle(playMusic, 3, 1);
        state = 1;
        latch = 1;
      }
    }

    if (state == 1) {
      DrawGraphic(0, 0, background, 0);
      if (playerX <= 0) {
        SetMousePosition(0, mouseY);
        playerX = 0;
      } else if (playerX >= 560) {
        SetMousePosition(560, mouseY);
        playerX = 560;
      }
      DrawGraphic(playerX, kPlayerTop, shadow, 1);
      if (hitPoints <= 0) {
        state = 2;
        StopSoundHandle(playMusic);
        PlaySoundHandle(titleMusic, 3, 1);
      }

      for (int i = 0; i < kMainItems; ++i) {
        mainY[i] += 5 + level;
        DrawGraphic(mainX[i], mainY[i], mainGraphic[i], 1);
        if (Touches(mainX[i], mainY[i], 30, 35, playerX)) {
          PlaySoundHandle(catchSound, 1, 1);
          ++score;
          mainX[i] = RandomRange(610);
          mainY[i] = SpawnHeight();
        }
        if (mainY[i] >= 515) {
          mainX[i] = RandomRange(610);
          mainY[i] = SpawnHeight();
        }
      }

      for (int i = 0; i < kHazards; ++i) {
        if (hazardHit[i] == 0) {
          hazardY[i] += 7 + level;
          DrawGraphic(hazardX[i], hazardY[i], hazardGraphic[i], 1);
          if (Touches(hazardX[i], hazardY[i], 60, 70, playerX)) {
            PlaySoundHandle(hazardSound, 1, 1);
            --hitPoints;
            hazardHit[i] = 1;
          }
          if (hazardY[i] >= 550) {
            hazardX[i] = RandomRange(580);
            hazardY[i] = SpawnHeight();
          }
        }
        if (hazardHit[i] == 1) {
          ++hazardCounter[i];
          if (hazardCounter[i] == 5) {
            hazardX[i] = RandomRange(580);
            hazardY[i] = SpawnHeight();
            hazardHit[i] = 0;
            hazardCounter[i] = 0;
          } else {
            DrawGraphic(hazardX[i], hazardY[i], hazardBurst[i][hazardCounter[i]], 1);
          }
        }
      }

      for (int i = 0; i < kBonusItems; ++i) {
        bonusY[i] += 6 + level;
        DrawGraphic(bonusX[i], bonusY[i], bonusGraphic[i], 1);
        if (Touches(bonusX[i], bonusY[i], 40, 40, playerX)) {
          PlaySoundHandle(bonusSound, 1, 1);
          ++hitPoints;
          ++level;
          bonusX[i] = RandomRange(600);
          bonusY[i] = SpawnHeight();
        }
        if (bonusY[i] >= 520) {
          bonusX[i] = RandomRange(600);
          bonusY[i] = SpawnHeight();
        }
      }

      if (++playerFrameTimer == 12) {
        playerFrameTimer = 0;
        if (++playerFrame == 2) playerFrame = 0;
      }
      DrawGraphic(playerX, kPlayerTop, player[playerFrame], 1);

      DrawTextFormat(0, 0, white, "%d個", score);
      DrawTextFormat(0, 30, white, "HP %d", hitPoints);
      DrawTextFormat(0, 60, white, "Lv %d", level);
    }

    if (state == 2) {
      DrawGraphic(0, 0, gameOver, 0);
      DrawTextLine(170, 40, "GAME OVER", white, 0);
      DrawTextFormat(120, 100, white, "ひろったぽてこ %d個", score);
      if (score >= highScore) DrawTextLine(120, 130, "ハイスコア更新!!!", white, 0);
      if ((GetMouseButtons() & 1) == 0) {
        latch = 0;
      } else if (latch == 0) {
        if (score >= highScore) {
          highScore = score;
          WriteHighScore(highScore);
        }
        for (int i = 0; i < kMainItems; ++i) {
          mainX[i] = RandomRange(610);
          mainY[i] = SpawnHeight();
        }
        for (int i = 0; i < kHazards; ++i) {
          hazardX[i] = RandomRange(580);
          hazardY[i] = SpawnHeight();
          hazardHit[i] = 0;
          hazardCounter[i] = 0;
        }
        for (int i = 0; i < kBonusItems; ++i) {
          bonusX[i] = RandomRange(600);
          bonusY[i] = SpawnHeight();
        }
        playerFrame = 0;
        playerFrameTimer = 0;
        score = 0;
        hitPoints = 10;
        level = 0;
        state = 0;
        latch = 1;
      }
    }

    FlipScreen();
    int wait = 16 - (GetMillisecondCount() - frameMark);
    if (wait > 0) SleepMilliseconds(wait);
    frameMark = GetMillisecondCount();

    if (PumpMessages() < 0) break;
    if (IsKeyPressed(1) != 0) break;
  }

  RuntimeEnd();
  return 0;
}
