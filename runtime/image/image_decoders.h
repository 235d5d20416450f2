// The image file decoders, the chain that tries them in turn, and the loading routines on top.
#pragma once

#include <cstddef>
#include <cstdint>

#include "file/stream_reader.h"
#include "image/base_image.h"

namespace qr::image {

// A decoder fills the image from the reader and returns 0, or declines with any other value,
// leaving no allocation behind. The reader stands at offset 0 when it is called.
using ImageDecoder = int (*)(const file::StreamReader& reader, BaseImage* image);

int DecodeBmp(const file::StreamReader& reader, BaseImage* image);
int DecodeJpeg(const file::StreamReader& reader, BaseImage* image);
int DecodePng(const file::StreamReader& reader, BaseImage* image);
int DecodeBgra(const file::StreamReader& reader, BaseImage* image);
int DecodeTga(const file::StreamReader& reader, BaseImage* image);
int DecodeDds(const file::StreamReader& reader, BaseImage* image);

// Up to this many decoders may be added; they are tried before the built-in ones.
constexpr int kMaxAddedDecoders = 10;
// Adds a decoder after those added before it. -1 when the list is full.
int AddImageDecoder(ImageDecoder decoder);
// Empties the list of added decoders.
void ClearImageDecoders();

// Tries the added decoders, then BMP, JPEG, PNG, BGRA, TGA and DDS; before each the reader is
// put back to offset 0 and the image zeroed. 0 from the first that decodes, -1 if none does.
int RunDecoderChain(const file::StreamReader& reader, BaseImage* image);

// Decodes a file (fromMemory 0: path) or a memory block (fromMemory 1: memory, size).
// mirror 1 reverses the rows left to right. bitmapWanted 1 hands the picture out as a
// device-independent bitmap instead: *info is a new block (FreeMemory) and *bitmapPixels the
// pixels (also the caller's, FreeMemory); image may then be null. Otherwise *image receives
// the picture and the caller owns its pixels (FreeImagePixels). 0 / -1.
int LoadImageFile(const char* path, const void* memory, size_t size, int fromMemory,
                  int bitmapWanted, int mirror, BaseImage* image, DibInfo** info,
                  void** bitmapPixels);

// Loads a picture and its alpha picture: from memory, or from the file named after the picture
// with "_a" before its extension. -1 when the picture itself fails; 0 with an alpha picture,
// 1 without one (which is no error).
int LoadImageWithAlpha(const char* path, const void* memory, size_t size, int fromMemory,
                       const void* alphaMemory, size_t alphaSize, int alphaFromMemory,
                       BaseImage* image, BaseImage* alphaImage, int mirror);

// The alpha file's name: "_a" before the last '.' of the path (or at the end without one).
// false when it does not fit in 260 bytes with its terminator.
bool MakeAlphaFileName(const char* path, char* out, size_t outSize);

}  // namespace qr::image
