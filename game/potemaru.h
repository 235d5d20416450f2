// The game's one entry function: settings, start, load, the frame loop, end. Returns the
// program's exit status: 0 after a normal end, -1 when the runtime could not start.
#pragma once

int Potemaru();
