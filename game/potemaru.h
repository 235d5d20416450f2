// The game's one entry function: settings, start, load, the frame loop, end. Returns the
// program's exit status: 0 after a normal end, -1 when the runtime could not start.
#pragma once

int Potemaru();

namespace potemaru {

// Whether an item whose box has its top-left at (ix, iy) and size w x h touches the player at
// playerX (the player is 51 x 84 with its top at 380). Every edge is strict: an item whose left
// edge equals the player's, or whose top is exactly 380, passes through.
bool Touches(int ix, int iy, int w, int h, int playerX);

}  // namespace potemaru
