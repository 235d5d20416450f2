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
// The window's client area is the draw screen times this factor (1.0 by default, at most 16;
// negative means 1.0), and every frame is shown scaled to it: pixel-doubled for whole factors,
// smoothed otherwise. 0 picks the largest whole factor whose window fits the desktop. The mouse
// position is mapped through the same scale. Before or after start; returns 0.
int SetWindowSizeScale(double factor);

// ---------------------------------------------------------------------------------------------
// Screen mode and graphics device

// The drawing screen's size and colour depth (8, 16 or 32) and the full-screen refresh rate (0:
// the display's default). Before RuntimeInit it only stores them; afterwards it changes the mode
// (deleting every graphic): 0 when the mode asked for is in force, -2 when the runtime fell back
// to 640 x 480 x 16, else -1. In a window the depth follows the desktop.
int SetScreenMode(int width, int height, int colourBits, int refreshRate);
// 0 before start: never use the graphics device. -1 after start.
int SetHardwareRendering(int enabled);
// 0: present frames without waiting for the vertical blank.
int SetVerticalSyncWait(int enabled);
int GetVerticalSyncWait();
// The full-screen modes of the display (16 bits and deeper). An index out of range gives -1 in
// every output and returns -1.
int GetDisplayModeCount();
int GetDisplayMode(int index, int* width, int* height, int* colourBits, int* refreshRate);
// The routine that refills graphics after the device was lost and made again; null restores the
// default, which loads every graphic from its file again.
int SetRestoreCallback(void (*routine)());

// ---------------------------------------------------------------------------------------------
// Graphics: handles to pictures held in textures

// Loads a picture file (BMP, JPEG, PNG, TGA, DDS, BGRA). A file named like it with "_a" before
// the extension (pote\taitol_a.png) gives its alpha channel from its red channel. Pictures
// without alpha treat black as transparent. -1 when it cannot be loaded. flag: pass 0.
int LoadGraphic(const char* path, int flag);
// Loads a picture and cuts it into count cells of cellWidth x cellHeight, left to right then top
// to bottom, writing one handle per cell into handles (room for count). 0 / -1.
int LoadSplitGraphic(const char* path, int count, int columns, int rows, int cellWidth,
                     int cellHeight, int* handles, int flag);
// An empty graphic of that size.
int CreateEmptyGraphic(int width, int height);
int DeleteGraphic(int handle);
// *flag becomes 0 now and 1 when the graphic is deleted; null stops that.
int SetGraphicDeletionFlag(int handle, int* flag);
// The size of a graphic, or of the screen for the codes -2 and -4.
int GetGraphicSize(int handle, int* width, int* height);
// Fills a drawable graphic with a colour (components 0-255); other graphics are left alone.
int FillGraphic(int handle, int red, int green, int blue, int alpha);
// Copies the rectangle of the draw target into a graphic of exactly its size.
int GetDrawScreenGraph(int x1, int y1, int x2, int y2, int handle);

// ---------------------------------------------------------------------------------------------
// Drawing

// Draws the graphic with its top-left at (x, y). transparent 1 honours its alpha channel or
// transparent colour, 0 draws it opaque. -1 for an invalid handle; nothing drawn and 0 when the
// clip area is empty.
int DrawGraphic(int x, int y, int handle, int transparent);
// Draws the rectangle (srcX, srcY, width, height) of the graphic at (destX, destY); turned 1
// mirrors it left to right.
int DrawGraphicRect(int destX, int destY, int srcX, int srcY, int width, int height, int handle,
                    int transparent, int turned);
// Blend code 0 (none), 1 (alpha), 2 (add), 3 (subtract), 4 (multiply), ... with its parameter
// 0-255.
int SetBlendMode(int code, int param);
// Multiplies the colours drawn (each 0-255; 255, 255, 255 leaves them as they are).
int SetBrightness(int red, int green, int blue);
// 0 nearest, 1 bilinear, 2 anisotropic.
int SetFilterMode(int mode);
// Drawing is limited to the rectangle (right and bottom exclusive).
int SetClipArea(int x1, int y1, int x2, int y2);
// -2 back screen, -4 front screen (shown again every 32 ms while selected), or a drawable
// graphic. -1 before start.
int SetDrawTarget(int target);
// Clears the draw target to black.
int ClearScreen();
// Shows the frame drawn. -1 when it could not be shown.
int FlipScreen();
// A colour in the screen's format: 0xFFFF for white on a 16-bit screen, 0xFFFFFFFF on a 32-bit.
int MakeColor(int red, int green, int blue);
int SplitColor(int colour, int* red, int* green, int* blue);

// ---------------------------------------------------------------------------------------------
// Text
//
// A font is a handle to a host font and its glyph cache. Characters are drawn from the cache; a
// character not yet in it is rendered once, when a string first needs it. Text is Shift-JIS: a
// lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it are one character; a lead byte at the
// end of a string is a character of its own. No byte is a control character: a line feed is
// drawn like any other character, and nothing breaks lines.
//
// Font types: 0 plain, 1 edged, 2 anti-aliased, 3 edged and anti-aliased. An edged font draws
// each character over an outline edgeSize pixels wide in the edge colour; every character's box
// and advance grow by twice the edge size.

// A new font. faceName: a face such as "ＭＳ ゴシック" (the Windows Japanese faces map to the
// host's Japanese faces; a face that is not installed is replaced by the Japanese Gothic), or
// null or "" for the default face. size: the cell height in pixels (-1: 16). thickness: weight
// in hundreds, 1-10 (-1: 6). type: 0-3 (-1: 0). charsetIndex: 0 default, 1 Shift-JIS, 2 Hangeul
// (-1: Shift-JIS). edgeSize: 0-255 (-1: 1; above 1 makes the font edged). italic: 0 or 1.
// index: a table slot 0-39 to use, or -1 for the first free one; check: the check number, or -1
// (both -1 unless a handle is to be made again with its old value). At most 40 fonts exist at
// once. Returns the font handle, or -1.
int CreateFontToHandle(const char* faceName, int size, int thickness, int type, int charsetIndex,
                       int edgeSize, int italic, int index, int check);
// Deletes a font; its handle becomes invalid. 0 / -1.
int DeleteFontHandle(int fontHandle);
// *flag becomes 0 now and 1 when the font is deleted (also by a screen mode change); null stops
// that. 0 / -1.
int SetFontDeletionFlag(int fontHandle, int* flag);
// The size the font was made with, or -1.
int GetFontSize(int fontHandle);
// The face name (room for 256 bytes; "" for the default face), size and thickness of a font;
// any pointer may be null. 0 / -1.
int GetFontParameters(int fontHandle, char* faceName, int* size, int* thickness);

// Draws text with the font at (x, y), the top-left of its first cell, in colour (MakeColor) with
// the edge in edgeColour. The brightness (SetBrightness) tints both and the blend mode applies.
// 0, also when nothing is drawn; -1 for an invalid font handle.
int DrawStringWithFont(int x, int y, const char* text, int colour, int fontHandle, int edgeColour);
// The box text would fill: *width the sum of its characters' advances, *height the font's cell
// height. length: bytes of text to measure, or -1 for all of it. 0 / -1.
int MeasureString(int fontHandle, const char* text, int length, int* width, int* height);

// The default font, used by DrawTextLine and DrawTextFormat. It is made again only when its
// settings change. Graphics start (and every screen mode change) set it back to size 16,
// thickness 6, type 0.
// The default font's size (-1: 16) and type (-1: 0; 3 is anti-aliased with an edge).
int SetDefaultFontSize(int size);
int SetDefaultFontType(int type);
// Both size (-1: 16) and thickness (-1: 6) at once.
int SetDefaultFontSizeAndThickness(int size, int thickness);
// Draws text with the default font at (x, y) in colour (MakeColor), edged with edgeColour.
int DrawTextLine(int x, int y, const char* text, int colour, int edgeColour);
// Formats printf-style and draws it with a black edge. A text longer than 2047 bytes is cut
// there, at a character boundary.
int DrawTextFormat(int x, int y, int colour, const char* format, ...) __attribute__((format(printf, 4, 5)));

// ---------------------------------------------------------------------------------------------
// Sound

// Loads a sound file (PCM or compressed WAVE, MP3, Ogg Vorbis) decoded whole into memory, in
// bufferCount copies (above 10 counts as 10) so that it can be heard that many times at once.
// shareWith is for streamed sounds only: -1. -1 when it cannot be loaded or there is no sound
// device. With a data type other than 0 (SetSoundDataType) the sound is streamed instead.
int LoadSoundFile(const char* path, int bufferCount, int shareWith);
// The same from a whole sound file in memory (the caller keeps the image); bufferCount above 10
// fails.
int LoadSoundFromMemory(const void* image, size_t size, int bufferCount, int shareWith);
// playType 0 plays once and returns when the sound has ended (pumping messages meanwhile), 1 plays
// once in the background, 3 loops. Each play takes the sound's next copy, so plays overlap;
// restart 1 starts that copy from the beginning even if it still plays, 0 leaves a playing copy
// alone and starts an idle one where the last one stands.
int PlaySoundHandle(int handle, int playType, int restart);
// Stops every copy of the sound.
int StopSoundHandle(int handle);
// Volume 0-255 (note: the volume comes first), on a decibel scale: 255 full, 0 and below silent,
// above 255 counts as 255.
int SetSoundVolume(int volume, int handle);
// 1 while any copy of the sound plays, 0 when none does, -1 for an invalid handle.
int IsSoundPlaying(int handle);
int DeleteSoundHandle(int handle);
int DeleteAllSoundHandles();
// How later loads keep sounds: 0 decoded whole (the default), 1 decoded whole but streamed, 2 the
// compressed file kept in memory and decoded while playing, 3 read from the file while playing.
// -1 outside 0..3.
int SetSoundDataType(int type);

// ---------------------------------------------------------------------------------------------
// Archives: a folder packed into one file (tools/qrpack) beside where the folder would be, named
// after it with the archive extension ("pote" -> "pote.QRA"; the name is matched exactly first,
// then in any case). Every file opened or searched below such a folder is read from the archive,
// and only from it: a file the archive lacks does not open, even when the folder is there too.

// The key string the archives were packed with (qrpack --key). Only its first 12 bytes make the
// key; at most 16 are kept. Null or "" means no key string, as qrpack packs without --key.
// Archives that do not open with it are tried once more with the runtime's fallback key.
// Returns 0. Call before RuntimeInit (it also applies to archives opened later).
int SetArchiveKeyString(const char* keyString);
// The extension of archive files, without the dot (default "QRA"; null restores it). -1, with
// the setting unchanged, for "", more than 31 bytes, or a '\', '/' or ':' in it; else 0.
int SetArchiveExtension(const char* extension);

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
