// qr.h: the calls a game makes to the runtime.
//
// Conventions, for every call below:
// - Calls return 0 on success and -1 on failure; creating calls return a handle or -1.
// - A handle of the wrong kind, out of range, or of a deleted object is refused with -1 and
//   nothing is logged.
// - Strings are Shift-JIS (CP932) byte strings, file paths included ('\' or '/' separate their
//   elements). Compile game sources with -fexec-charset=CP932 so that Japanese literals match.
// - Settings calls made before RuntimeInit only store their values; start-up applies them.
// - Every call is made from the thread that called RuntimeInit, except where noted.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------------------------
// Start and end

// Starts the runtime: log file, system report, window, and the devices. Returns 0 when the
// runtime is up (also when it already was), -1 when start-up failed; the program should end then.
int RuntimeInit();

// Shuts everything down, closes the window and writes the memory dump to the log. Returns 0; does
// nothing when the runtime is not started. The runtime may be started again afterwards.
int RuntimeEnd();

// Dispatches the window's pending messages (at most five per call). Returns -1 once the program
// must end (the window was closed), else 0. While the window is inactive it does not return
// until the window is active again, so the game pauses.
int PumpMessages();

// Writes the message to the log, shuts the runtime down and ends the process with exit code -1.
[[noreturn]] void FatalError(const char* message);
[[noreturn]] void FatalErrorFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---------------------------------------------------------------------------------------------
// Log file ("Log.txt" in the directory current at start)

// 0 switches the log off: no file is made and every line is dropped. Call before RuntimeInit.
int SetLogFileEnabled(int enabled);

// Writes text to the log; "\n" ends a line. Always returns -1, so a failing routine can
// `return WriteLog("...\n");`. Text without a line end is continued by the next write.
int WriteLog(const char* text);
// printf-style; a line end is added. Returns -1.
int WriteLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Lines written after this are indented by one more (one fewer) tab. Return 0.
int AddLogIndent();
int SubLogIndent();

// ---------------------------------------------------------------------------------------------
// Window

// The caption (default "Quarn"). Before start it also names the window class, by which a second
// copy of the program is recognised and refused.
int SetWindowTitleText(const char* text);
// The window icon: a resource compiled into the program (cmake: qr_add_resource). 0 is the
// host's standard icon.
int SetWindowIconResource(int id);
// 1 windowed, 0 full screen (the default). Before start it only sets the flag.
int ChangeWindowMode(int windowed);
// 1 shows, 0 hides the mouse cursor over the window; -1 applies the current setting again.
int SetCursorVisible(int visible);
// The desktop's size and colour depth; any pointer may be null.
int GetDesktopMode(int* width, int* height, int* colourBits);

// ---------------------------------------------------------------------------------------------
// Time and random numbers

// Milliseconds from an arbitrary start, never negative, wrapping to 0 after 2^31.
int GetMillisecondCount();
// Microseconds from an arbitrary start; useTimeStamp 1 reads the processor's time-stamp counter
// where there is one.
uint64_t GetMicrosecondCount(int useTimeStamp);
// Sleeps on the runtime's clock (a headless run's clock moves instead of waiting). 0 yields.
// This is where a program ported from Windows puts its Sleep calls.
int SleepMilliseconds(int ms);
// A random integer from 0 to n inclusive (for negative n: from n + 1 to 0). The generator is
// seeded from the clock at start.
int RandomRange(int n);

// ---------------------------------------------------------------------------------------------
// Memory: tracked blocks, dumped to the log at RuntimeEnd so that leaks show.

void* AllocMemory(size_t size, const char* file, int line);
void* AllocZeroMemory(size_t size, const char* file, int line);
// With a null pointer, allocates. On failure returns null and the old block stays valid.
void* ReallocMemory(void* memory, size_t size, const char* file, int line);
void FreeMemory(void* memory);  // null is ignored
// 0 when no block header was overwritten, else -1 (and the damaged block is logged).
int CheckMemory();
// Writes every live block to the log. Returns 0.
int DumpMemory();

// ---------------------------------------------------------------------------------------------
// Keyboard and mouse

// 1 while the key is down, else 0. Key codes are the keyboard's scan-code numbers: 1 Escape,
// 0x1C Return, 0x39 Space, 0xC8 Up, 0xD0 Down, 0xCB Left, 0xCD Right, 0x2A left Shift, and so on;
// codes outside 0..255 read as 0. The keyboard is read at most once per millisecond (more often
// when a key changed). Waits while the window is inactive; the first call after start-up without
// input, or after input was shut down, starts input and returns 0 without reading the key.
int IsKeyPressed(int keyCode);
// The mouse buttons held: bit 0 left, bit 1 right, bit 2 middle, bits 3..7 further buttons.
int GetMouseButtons();
// The cursor in draw-screen coordinates (window mode: relative to the client area and divided
// by the window's scale factor; not clamped). Either pointer may be null. Returns 0.
int GetMousePosition(int* x, int* y);
// Moves the cursor to a point of the draw screen, clamped to 0..width and 0..height. Returns 0.
int SetMousePosition(int x, int y);
