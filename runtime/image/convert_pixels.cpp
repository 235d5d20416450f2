// The general pixel converter, through which every copy between two formats goes, and the
// clipped rectangle copy built on it.
//
// The common cases avoid per-pixel unpacking: same-layout row copies, palette index copies,
// palette sources through a 256-entry table, and 8-bit channels that stay where they are.
#include <algorithm>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "image/base_image.h"

namespace qr::image {
namespace {

constexpr uint8_t kOrderedMatrix[4][4] = {
    {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// A channel value from s bits to d bits; widening maps the largest value to the largest.
uint32_t WidthConvert(uint32_t v, int s, int d) {
  if (s == d) return v;
  if (s == 0) return 0;
  if (s > d) return v >> (s - d);
  int up = d - s;
  return uint32_t((uint64_t(v) << up) +
                  uint64_t(v) * ((uint64_t(1) << up) - 1) / ((uint64_t(1) << s) - 1));
}

uint32_t MaxOf(int width) { return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1u; }

uint32_t CutToPixel(uint32_t value, int bytes) {
  return bytes >= 4 ? value : value & ((1u << (bytes * 8)) - 1u);
}

enum class AlphaFrom { None, Full, Key, Source, Picture, Red };

struct Channel {
  uint32_t mask = 0;   // where the value sits in its source word
  int shift = 0;
  int from = 0;        // width in the source
  int to = 0;          // width in the destination
  int destShift = 0;
  const uint32_t* table = nullptr;  // from -> to for narrow sources that widen
};

struct Plan {
  Channel red, green, blue, alpha;
  AlphaFrom alphaFrom = AlphaFrom::None;
  uint32_t fullAlpha = 0;      // destination alpha bits, unshifted
  uint32_t keyRgb = 0;         // the key as source red, green and blue bits
  uint32_t sourceRgbMask = 0;
  uint32_t skipValue = 0;
  bool skipKey = false;
  bool dither = false;
  int ditherMode = 0;
  bool black = false;
  uint32_t destSpare = 0;      // ORed into 16- and 32-bit destination words
  uint32_t paletteWords[256];  // a palette source's entries as 0xAARRGGBB
  uint32_t tables[4][256];
};

struct DitherState {
  uint32_t carried[4] = {0, 0, 0, 0};
};

inline uint32_t TakeChannel(const Channel& c, uint32_t word) { return (word & c.mask) >> c.shift; }

inline uint32_t Narrow(const Channel& c, uint32_t v) {
  if (c.from == c.to) return v;
  if (c.table) return c.table[v];
  return WidthConvert(v, c.from, c.to);
}

// Adds the dithering carry of one channel that drops bits, then clamps to its maximum.
inline uint32_t Dither(const Plan& p, const Channel& c, int index, uint32_t source, uint32_t value,
                       int x, int y, DitherState& state) {
  int k = c.from - c.to;
  if (k <= 0 || k >= 32) return value;
  uint32_t low = MaxOf(k);
  uint32_t dropped = source & low;
  if (p.ditherMode == kDitherOrdered) {
    uint32_t threshold = uint32_t((uint64_t(1) << k) * kOrderedMatrix[y & 3][x & 3] >> 4);
    if (dropped > threshold) ++value;
  } else {
    state.carried[index] += dropped;
    if (state.carried[index] > low) {
      ++value;
      state.carried[index] &= low;
    }
  }
  return std::min(value, MaxOf(c.to));
}

// One destination word from one source word (palette sources: the entry word).
inline uint32_t ComposePixel(const Plan& p, uint32_t word, uint32_t alphaWord, int x, int y,
                             DitherState& state) {
  uint32_t r = TakeChannel(p.red, word), g = TakeChannel(p.green, word), b = TakeChannel(p.blue, word);
  uint32_t a = 0, aSource = 0;
  switch (p.alphaFrom) {
    case AlphaFrom::None: break;
    case AlphaFrom::Full: a = p.fullAlpha; break;
    case AlphaFrom::Key: a = (word & p.sourceRgbMask) == p.keyRgb ? 0 : p.fullAlpha; break;
    case AlphaFrom::Source: aSource = TakeChannel(p.alpha, word); a = Narrow(p.alpha, aSource); break;
    case AlphaFrom::Picture: aSource = TakeChannel(p.alpha, alphaWord); a = Narrow(p.alpha, aSource); break;
    case AlphaFrom::Red: aSource = r; a = Narrow(p.alpha, aSource); break;
  }
  uint32_t nr = Narrow(p.red, r), ng = Narrow(p.green, g), nb = Narrow(p.blue, b);
  if (p.black) nr = ng = nb = 0;
  if (p.dither) {
    if (!p.black) {
      nr = Dither(p, p.red, 0, r, nr, x, y, state);
      ng = Dither(p, p.green, 1, g, ng, x, y, state);
      nb = Dither(p, p.blue, 2, b, nb, x, y, state);
    }
    if (p.alphaFrom == AlphaFrom::Source || p.alphaFrom == AlphaFrom::Picture ||
        p.alphaFrom == AlphaFrom::Red)
      a = Dither(p, p.alpha, 3, aSource, a, x, y, state);
  }
  return (a << p.alpha.destShift) | (nr << p.red.destShift) | (ng << p.green.destShift) |
         (nb << p.blue.destShift) | p.destSpare;
}

template <int Bytes>
inline uint32_t Load(const unsigned char* p) {
  if constexpr (Bytes == 1) return p[0];
  else if constexpr (Bytes == 2) return uint32_t(p[0]) | uint32_t(p[1]) << 8;
  else if constexpr (Bytes == 3) return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  else {
    uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
  }
}

template <int Bytes>
inline void Store(unsigned char* p, uint32_t w) {
  if constexpr (Bytes == 1) p[0] = uint8_t(w);
  else if constexpr (Bytes == 2) { p[0] = uint8_t(w); p[1] = uint8_t(w >> 8); }
  else if constexpr (Bytes == 3) { p[0] = uint8_t(w); p[1] = uint8_t(w >> 8); p[2] = uint8_t(w >> 16); }
  else std::memcpy(p, &w, 4);
}

struct Geometry {
  const unsigned char* source;
  const unsigned char* alpha;
  unsigned char* dest;
  ptrdiff_t sourcePitch, alphaPitch, destPitch;
  int width, height;
  int alphaBytes;
  bool mirror;
};

Geometry MakeGeometry(const PixelConversion& c) {
  Geometry g;
  int sb = c.sourceFormat->pixelBytes, db = c.destFormat->pixelBytes;
  g.width = c.right - c.left;
  g.height = c.bottom - c.top;
  g.sourcePitch = c.sourcePitch;
  g.destPitch = c.destPitch;
  g.source = static_cast<const unsigned char*>(c.sourcePixels) + ptrdiff_t(c.top) * c.sourcePitch +
             ptrdiff_t(c.left) * sb;
  g.dest = static_cast<unsigned char*>(c.destPixels) + ptrdiff_t(c.destY) * c.destPitch +
           ptrdiff_t(c.destX) * db;
  g.alphaBytes = c.alphaFormat ? c.alphaFormat->pixelBytes : 0;
  g.alphaPitch = c.alphaPitch;
  g.alpha = c.alphaPixels ? static_cast<const unsigned char*>(c.alphaPixels) +
                                ptrdiff_t(c.top) * c.alphaPitch + ptrdiff_t(c.left) * g.alphaBytes
                          : nullptr;
  g.mirror = c.mirror != 0;
  return g;
}

// Column i of the copy lands at this destination column.
inline int DestColumn(const Geometry& g, int i) { return g.mirror ? g.width - 1 - i : i; }

// The general per-pixel path.
template <int SB, int DB>
void ConvertGeneral(const Plan& p, const Geometry& g, const ColorFormat& alphaFormat) {
  DitherState state;
  for (int y = 0; y < g.height; ++y) {
    const unsigned char* s = g.source + y * g.sourcePitch;
    const unsigned char* al = g.alpha ? g.alpha + y * g.alphaPitch : nullptr;
    unsigned char* d = g.dest + y * g.destPitch;
    for (int x = 0; x < g.width; ++x) {
      uint32_t raw = Load<SB>(s + x * SB);
      if (p.skipKey && raw == p.skipValue) continue;
      uint32_t word = SB == 1 ? p.paletteWords[raw] : raw;
      uint32_t alphaWord = 0;
      if (p.alphaFrom == AlphaFrom::Picture) {
        alphaWord = LoadPixelWord(al + x * g.alphaBytes, g.alphaBytes);
        if (g.alphaBytes == 1) alphaWord = PaletteWord(alphaFormat, alphaWord);
      }
      Store<DB>(d + DestColumn(g, x) * DB, ComposePixel(p, word, alphaWord, x, y, state));
    }
  }
}

// Conversions where every channel keeps or drops bits: each is a mask and two shifts, with no
// per-pixel branches, so that the compiler can vectorise the rows.
struct ShiftChannel {
  uint32_t mask = 0;
  int right = 0, left = 0;
};

struct ShiftPlan {
  ShiftChannel channels[4];  // red, green, blue, alpha (alpha unused when it is constant or keyed)
  uint32_t constant = 0;     // spare bits and a constant alpha
  uint32_t rgbMask = 0, key = 0, keyedAlpha = 0;
};

template <int SB, int DB, bool Keyed>
void ShiftRows(const ShiftPlan& plan, const Geometry& g) {
  // Locals, not the plan: byte stores could alias it and force a reload for every pixel.
  const uint32_t m0 = plan.channels[0].mask, m1 = plan.channels[1].mask;
  const uint32_t m2 = plan.channels[2].mask, m3 = plan.channels[3].mask;
  const int r0 = plan.channels[0].right, r1 = plan.channels[1].right;
  const int r2 = plan.channels[2].right, r3 = plan.channels[3].right;
  const int l0 = plan.channels[0].left, l1 = plan.channels[1].left;
  const int l2 = plan.channels[2].left, l3 = plan.channels[3].left;
  const uint32_t constant = plan.constant, rgbMask = plan.rgbMask, key = plan.key;
  const uint32_t keyed = plan.keyedAlpha;
  // Channels that stay where they are need only their mask.
  const bool inPlace = r0 == l0 && r1 == l1 && r2 == l2 && r3 == l3;
  const uint32_t placeMask = m0 | m1 | m2 | m3;
  auto compose = [=](uint32_t v) {
    uint32_t o;
    if (inPlace)
      o = constant | (v & placeMask);
    else
      o = constant | ((v & m0) >> r0) << l0 | ((v & m1) >> r1) << l1 | ((v & m2) >> r2) << l2 |
          ((v & m3) >> r3) << l3;
    if constexpr (Keyed) o |= (v & rgbMask) != key ? keyed : 0u;
    return o;
  };
  const int w = g.width;
  for (int y = 0; y < g.height; ++y) {
    const unsigned char* __restrict s = g.source + y * g.sourcePitch;
    unsigned char* __restrict d = g.dest + y * g.destPitch;
    if (g.mirror) {
      for (int x = 0; x < w; ++x) Store<DB>(d + (w - 1 - x) * DB, compose(Load<SB>(s + x * SB)));
      continue;
    }
    int x = 0;
    if constexpr (SB == 3) {
      // Four pixels from three words; then four-byte loads while a fourth byte exists in the
      // row; the last pixel on its own.
      if (inPlace) {
        auto place = [=](uint32_t v) {
          v &= 0xFFFFFFu;
          return constant | (v & placeMask) | (Keyed && (v & rgbMask) != key ? keyed : 0u);
        };
#ifdef __SSE2__
        if constexpr (DB == 4) {
          // Two 8-byte loads hold four pixels; 32-bit lanes are formed by shifts and unpacking.
          const __m128i vPlace = _mm_set1_epi32(int(placeMask & 0xFFFFFFu));
          const __m128i vConstant = _mm_set1_epi32(int(constant));
          const __m128i vRgb = _mm_set1_epi32(int(rgbMask & 0xFFFFFFu));
          const __m128i vKey = _mm_set1_epi32(int(key));
          const __m128i vKeyed = _mm_set1_epi32(int(keyed));
          for (; x + 4 <= w; x += 4) {
            __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + x * 3));
            __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + x * 3 + 4));
            b = _mm_srli_epi64(b, 16);  // pixels 2 and 3 start at byte 6
            __m128i ab = _mm_unpacklo_epi32(a, _mm_srli_epi64(a, 24));
            __m128i cd = _mm_unpacklo_epi32(b, _mm_srli_epi64(b, 24));
            __m128i v = _mm_unpacklo_epi64(ab, cd);
            __m128i o = _mm_or_si128(vConstant, _mm_and_si128(v, vPlace));
            if constexpr (Keyed) {
              __m128i isKey = _mm_cmpeq_epi32(_mm_and_si128(v, vRgb), vKey);
              o = _mm_or_si128(o, _mm_andnot_si128(isKey, vKeyed));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x * 4), o);
          }
        }
#endif
        for (; x + 4 <= w; x += 4) {
          uint32_t a = Load<4>(s + x * 3), b = Load<4>(s + x * 3 + 4), c = Load<4>(s + x * 3 + 8);
          Store<DB>(d + x * DB, place(a));
          Store<DB>(d + (x + 1) * DB, place(a >> 24 | b << 8));
          Store<DB>(d + (x + 2) * DB, place(b >> 16 | c << 16));
          Store<DB>(d + (x + 3) * DB, place(c >> 8));
        }
        for (; x + 1 < w; ++x) Store<DB>(d + x * DB, place(Load<4>(s + x * 3)));
      } else
        for (; x + 1 < w; ++x) Store<DB>(d + x * DB, compose(Load<4>(s + x * 3)));
    } else {
      if (inPlace)
        for (; x < w; ++x) {
          uint32_t v = Load<SB>(s + x * SB);
          Store<DB>(d + x * DB, constant | (v & placeMask) | (Keyed && (v & rgbMask) != key ? keyed : 0u));
        }
    }
    for (; x < w; ++x) Store<DB>(d + x * DB, compose(Load<SB>(s + x * SB)));
  }
}

template <int SB, bool Keyed>
void ShiftDispatchDest(const ShiftPlan& k, const Geometry& g, int destBytes) {
  switch (destBytes) {
    case 2: ShiftRows<SB, 2, Keyed>(k, g); break;
    case 3: ShiftRows<SB, 3, Keyed>(k, g); break;
    default: ShiftRows<SB, 4, Keyed>(k, g); break;
  }
}

template <bool Keyed>
void ShiftDispatch(const ShiftPlan& k, const Geometry& g, int sourceBytes, int destBytes) {
  switch (sourceBytes) {
    case 2: ShiftDispatchDest<2, Keyed>(k, g, destBytes); break;
    case 3: ShiftDispatchDest<3, Keyed>(k, g, destBytes); break;
    default: ShiftDispatchDest<4, Keyed>(k, g, destBytes); break;
  }
}

// The shift form of a channel that keeps or drops bits; false when it would have to widen.
bool ShiftFor(const Channel& c, ShiftChannel* out) {
  *out = ShiftChannel{};
  if (c.to == 0 || c.from == 0) return true;  // absent on one side: contributes 0
  if (c.from < c.to) return false;
  int low = c.shift + (c.from - c.to);
  if (low >= 32) return true;
  out->mask = c.mask & (0xFFFFFFFFu << low);
  out->right = low;
  out->left = c.destShift;
  return true;
}

// Palette sources without dithering or an alpha picture: every entry is converted once.
template <int DB>
void ConvertThroughTable(const Plan& p, const Geometry& g) {
  uint32_t table[256];
  DitherState unused;
  for (int i = 0; i < 256; ++i) table[i] = ComposePixel(p, p.paletteWords[i], 0, 0, 0, unused);
  for (int y = 0; y < g.height; ++y) {
    const unsigned char* __restrict s = g.source + y * g.sourcePitch;
    unsigned char* __restrict d = g.dest + y * g.destPitch;
    if (!p.skipKey && !g.mirror) {
      int x = 0;
      if constexpr (DB == 4) {
        for (; x + 8 <= g.width; x += 8) {
          uint64_t eight;
          std::memcpy(&eight, s + x, 8);
          uint32_t out[8];
          for (int i = 0; i < 8; ++i) out[i] = table[eight >> (8 * i) & 0xFF];
          std::memcpy(d + x * 4, out, sizeof out);
        }
      }
      for (; x + 4 <= g.width; x += 4) {
        uint32_t four = Load<4>(s + x);
        Store<DB>(d + x * DB, table[four & 0xFF]);
        Store<DB>(d + (x + 1) * DB, table[four >> 8 & 0xFF]);
        Store<DB>(d + (x + 2) * DB, table[four >> 16 & 0xFF]);
        Store<DB>(d + (x + 3) * DB, table[four >> 24]);
      }
      for (; x < g.width; ++x) Store<DB>(d + x * DB, table[s[x]]);
      continue;
    }
    for (int x = 0; x < g.width; ++x) {
      if (p.skipKey && s[x] == p.skipValue) continue;
      Store<DB>(d + DestColumn(g, x) * DB, table[s[x]]);
    }
  }
}

// Same layout: rows as they are (mirrored pixel by pixel), optionally skipping key pixels.
int CopySameLayout(const Geometry& g, int bytes, bool skipKey, uint32_t skipValue) {
  size_t rowBytes = size_t(g.width) * bytes;
  for (int y = 0; y < g.height; ++y) {
    const unsigned char* s = g.source + y * g.sourcePitch;
    unsigned char* d = g.dest + y * g.destPitch;
    if (!g.mirror && !skipKey) {
      if (d + rowBytes <= s || s + rowBytes <= d)
        std::memcpy(d, s, rowBytes);
      else
        std::memmove(d, s, rowBytes);  // a copy within one picture
    } else {
      for (int x = 0; x < g.width; ++x) {
        const unsigned char* sp = s + size_t(x) * bytes;
        if (skipKey && LoadPixelWord(sp, bytes) == skipValue) continue;
        std::memcpy(d + size_t(DestColumn(g, x)) * bytes, sp, size_t(bytes));
      }
    }
  }
  return 0;
}

int MapIndices(const Geometry& g, const uint8_t* map, bool skipKey, uint32_t skipValue) {
  for (int y = 0; y < g.height; ++y) {
    const unsigned char* s = g.source + y * g.sourcePitch;
    unsigned char* d = g.dest + y * g.destPitch;
    for (int x = 0; x < g.width; ++x) {
      if (skipKey && s[x] == skipValue) continue;
      d[DestColumn(g, x)] = map[s[x]];
    }
  }
  return 0;
}

// Into a palette: channels as they are (not scaled), then the nearest entry.
template <int SB>
void ConvertToPalette(const ColorFormat& source, const ColorFormat& dest, const Geometry& g,
                      bool skipKey, uint32_t skipValue) {
  uint32_t lastWord = 0;
  uint32_t lastIndex = PackFormatColor(&dest, 0, 0, 0, 0);  // the colour of word 0
  for (int y = 0; y < g.height; ++y) {
    const unsigned char* s = g.source + y * g.sourcePitch;
    unsigned char* d = g.dest + y * g.destPitch;
    for (int x = 0; x < g.width; ++x) {
      uint32_t word = Load<SB>(s + x * SB);
      if (skipKey && word == skipValue) continue;
      if (word != lastWord) {
        lastWord = word;
        lastIndex = PackFormatColor(&dest, int((word & source.redMask) >> source.redShift),
                                    int((word & source.greenMask) >> source.greenShift),
                                    int((word & source.blueMask) >> source.blueShift), 0);
      }
      d[DestColumn(g, x)] = uint8_t(lastIndex);
    }
  }
}

template <int SB>
int DispatchDest(const Plan& p, const Geometry& g, const ColorFormat& dest,
                 const ColorFormat& alphaFormat) {
  switch (dest.pixelBytes) {
    case 2: ConvertGeneral<SB, 2>(p, g, alphaFormat); return 0;
    case 3: ConvertGeneral<SB, 3>(p, g, alphaFormat); return 0;
    case 4: ConvertGeneral<SB, 4>(p, g, alphaFormat); return 0;
  }
  return -1;
}

bool ValidBytes(int bytes) { return bytes >= 1 && bytes <= 4; }

}  // namespace

int ConvertPixels(const PixelConversion& c) {
  const ColorFormat& src = *c.sourceFormat;
  const ColorFormat& dst = *c.destFormat;
  if (c.right - c.left <= 0 || c.bottom - c.top <= 0) return -1;
  if (src.compression != 0 || dst.compression != 0 || !ValidBytes(src.pixelBytes) ||
      !ValidBytes(dst.pixelBytes))
    return -1;
  const bool alphaPicture = c.alphaPixels && c.alphaFormat && c.alphaFormat->compression == 0 &&
                            ValidBytes(c.alphaFormat->pixelBytes);

  // Flags first: a picture's own alpha (or its alpha picture) wins over the key colour.
  const bool alphaInUse = dst.alphaWidth != 0 && (src.alphaWidth != 0 || alphaPicture);
  bool keyToAlpha = c.keyToAlpha && !alphaInUse && dst.alphaWidth != 0 && !c.alphaFromRed;
  bool skipKey = c.skipKey && !alphaInUse && !c.mirror;
  const bool pictureUsed = alphaPicture && dst.alphaWidth != 0 && src.alphaWidth == 0;
  const uint32_t skipValue = CutToPixel(c.keyColor, src.pixelBytes);
  Geometry g = MakeGeometry(c);

  const bool srcPalette = IsPaletteFormat(src), dstPalette = IsPaletteFormat(dst);
  if (srcPalette && dstPalette) {
    if (c.paletteRemap && std::memcmp(src.palette, dst.palette, sizeof src.palette) != 0) {
      uint8_t map[256];
      for (int i = 0; i < 256; ++i)
        map[i] = uint8_t(PackFormatColor(&dst, src.palette[i][2], src.palette[i][1], src.palette[i][0], 0));
      return MapIndices(g, map, skipKey, skipValue);
    }
    if (c.ditherMode == kDitherNone && !skipKey) {
      int largest = 0;
      for (int y = 0; y < g.height; ++y) {
        const unsigned char* s = g.source + y * g.sourcePitch;
        unsigned char* d = g.dest + y * g.destPitch;
        for (int x = 0; x < g.width; ++x) largest = std::max<int>(largest, s[x]);
        if (g.mirror)
          for (int x = 0; x < g.width; ++x) d[DestColumn(g, x)] = s[x];
        else
          std::memmove(d, s, size_t(g.width));
      }
      return largest;
    }
  }
  if (dstPalette && !srcPalette) {
    switch (src.pixelBytes) {
      case 2: ConvertToPalette<2>(src, dst, g, skipKey, skipValue); break;
      case 3: ConvertToPalette<3>(src, dst, g, skipKey, skipValue); break;
      default: ConvertToPalette<4>(src, dst, g, skipKey, skipValue); break;
    }
    return 0;
  }
  if (SameLayout(src, dst) && src.pixelBytes == dst.pixelBytes && !keyToAlpha && !pictureUsed &&
      !c.blackColor && !c.alphaFromRed)
    return CopySameLayout(g, src.pixelBytes, skipKey, skipValue);
  if (dstPalette) return -1;  // a palette destination from a palette source was handled above

  Plan p;
  auto channel = [](Channel& ch, uint32_t mask, int shift, int from, int to, int destShift) {
    // Only the run of bits the width describes: a mask with gaps cannot give a value wider
    // than its width (and so cannot index past a conversion table).
    ch.mask = from >= 32 ? mask : mask & (MaxOf(from) << shift);
    ch.shift = shift;
    ch.from = from;
    ch.to = to;
    ch.destShift = destShift;
  };
  channel(p.red, src.redMask, src.redShift, src.redWidth, dst.redWidth, dst.redShift);
  channel(p.green, src.greenMask, src.greenShift, src.greenWidth, dst.greenWidth, dst.greenShift);
  channel(p.blue, src.blueMask, src.blueShift, src.blueWidth, dst.blueWidth, dst.blueShift);
  p.fullAlpha = MaxOf(dst.alphaWidth);
  if (dst.alphaWidth == 0) {
    p.alphaFrom = AlphaFrom::None;
  } else if (c.alphaFromRed) {
    p.alphaFrom = AlphaFrom::Red;
    channel(p.alpha, src.redMask, src.redShift, src.redWidth, dst.alphaWidth, dst.alphaShift);
  } else if (keyToAlpha) {
    p.alphaFrom = AlphaFrom::Key;
  } else if (pictureUsed) {
    const ColorFormat& af = *c.alphaFormat;
    p.alphaFrom = AlphaFrom::Picture;
    channel(p.alpha, af.redMask, af.redShift, af.redWidth, dst.alphaWidth, dst.alphaShift);
  } else if (src.alphaWidth == 0) {
    p.alphaFrom = AlphaFrom::Full;
  } else {
    p.alphaFrom = AlphaFrom::Source;
    channel(p.alpha, src.alphaMask, src.alphaShift, src.alphaWidth, dst.alphaWidth, dst.alphaShift);
  }
  if (p.alphaFrom == AlphaFrom::None || p.alphaFrom == AlphaFrom::Full || p.alphaFrom == AlphaFrom::Key)
    p.alpha.destShift = dst.alphaShift;
  p.sourceRgbMask = src.redMask | src.greenMask | src.blueMask;
  if (srcPalette) {
    for (int i = 0; i < 256; ++i) p.paletteWords[i] = PaletteWord(src, unsigned(i));
    p.keyRgb = c.keyColor & 0x00FFFFFFu & p.sourceRgbMask;
  } else {
    p.keyRgb = PackFormatColor(&src, int(c.keyColor >> 16 & 0xFF), int(c.keyColor >> 8 & 0xFF),
                               int(c.keyColor & 0xFF), 0) &
               p.sourceRgbMask;
  }
  p.skipKey = skipKey;
  p.skipValue = skipValue;
  p.black = c.blackColor != 0;
  p.destSpare = dst.pixelBytes == 3 ? 0 : dst.spareMask;

  // Widths are converted where they differ. Dithering follows the red and green widths and the
  // alpha picture's width, and any other channel that has to drop bits.
  bool converting = src.redWidth != dst.redWidth || src.greenWidth != dst.greenWidth ||
                    (p.alphaFrom == AlphaFrom::Picture && c.alphaFormat->redWidth != dst.alphaWidth);
  Channel* channels[4] = {&p.red, &p.green, &p.blue, &p.alpha};
  for (int i = 0; i < 4; ++i) {
    Channel& ch = *channels[i];
    bool carriesValue = i < 3 || p.alphaFrom == AlphaFrom::Source ||
                        p.alphaFrom == AlphaFrom::Picture || p.alphaFrom == AlphaFrom::Red;
    if (!carriesValue || ch.from == ch.to) continue;
    converting = true;
    if (ch.from < ch.to && ch.from <= 8) {
      for (uint32_t v = 0; v < (1u << ch.from); ++v) p.tables[i][v] = WidthConvert(v, ch.from, ch.to);
      ch.table = p.tables[i];
    }
  }
  p.dither = converting && (c.ditherMode == kDitherOrdered || c.ditherMode == kDitherCarried);
  p.ditherMode = c.ditherMode;

  if (srcPalette && !p.dither && p.alphaFrom != AlphaFrom::Picture) {
    switch (dst.pixelBytes) {
      case 2: ConvertThroughTable<2>(p, g); return 0;
      case 3: ConvertThroughTable<3>(p, g); return 0;
      default: ConvertThroughTable<4>(p, g); return 0;
    }
  }
  if (!srcPalette && !p.dither && !skipKey && p.alphaFrom != AlphaFrom::Picture) {
    ShiftPlan k;
    bool shiftable = true;
    const Channel* values[4] = {&p.red, &p.green, &p.blue, &p.alpha};
    int count = p.black ? 0 : 3;
    for (int i = 0; i < count; ++i) shiftable = shiftable && ShiftFor(*values[i], &k.channels[i]);
    if (p.alphaFrom == AlphaFrom::Source || p.alphaFrom == AlphaFrom::Red)
      shiftable = shiftable && ShiftFor(p.alpha, &k.channels[3]);
    if (shiftable) {
      k.constant = p.destSpare | (p.alphaFrom == AlphaFrom::Full ? p.fullAlpha << p.alpha.destShift : 0u);
      k.rgbMask = p.sourceRgbMask;
      k.key = p.keyRgb;
      k.keyedAlpha = p.fullAlpha << p.alpha.destShift;
      if (p.alphaFrom == AlphaFrom::Key)
        ShiftDispatch<true>(k, g, src.pixelBytes, dst.pixelBytes);
      else
        ShiftDispatch<false>(k, g, src.pixelBytes, dst.pixelBytes);
      return 0;
    }
  }
  static const ColorFormat kNoFormat{};
  const ColorFormat& alphaFormat = pictureUsed ? *c.alphaFormat : kNoFormat;
  switch (src.pixelBytes) {
    case 1: return DispatchDest<1>(p, g, dst, alphaFormat);
    case 2: return DispatchDest<2>(p, g, dst, alphaFormat);
    case 3: return DispatchDest<3>(p, g, dst, alphaFormat);
    default: return DispatchDest<4>(p, g, dst, alphaFormat);
  }
}

int CopyImageRect(int sourceX, int sourceY, int width, int height, int destX, int destY,
                  BaseImage* source, BaseImage* dest) {
  if (source->format.compression != 0 && DecodeDxtImage(source) != 0) return -1;
  if (dest->format.compression != 0 && DecodeDxtImage(dest) != 0) return -1;
  int64_t sx = sourceX, sy = sourceY, dx = destX, dy = destY, w = width, h = height;
  if (sx < 0) { w += sx; dx -= sx; sx = 0; }
  if (sy < 0) { h += sy; dy -= sy; sy = 0; }
  if (dx < 0) { w += dx; sx -= dx; dx = 0; }
  if (dy < 0) { h += dy; sy -= dy; dy = 0; }
  w = std::min({w, int64_t(source->width) - sx, int64_t(dest->width) - dx});
  h = std::min({h, int64_t(source->height) - sy, int64_t(dest->height) - dy});
  if (w <= 0 || h <= 0) return 0;
  PixelConversion c;
  c.destPixels = dest->pixels;
  c.destPitch = dest->pitch;
  c.destFormat = &dest->format;
  c.sourcePixels = source->pixels;
  c.sourcePitch = source->pitch;
  c.sourceFormat = &source->format;
  c.destX = int(dx);
  c.destY = int(dy);
  c.left = int(sx);
  c.top = int(sy);
  c.right = int(sx + w);
  c.bottom = int(sy + h);
  c.paletteRemap = 1;
  return ConvertPixels(c) < 0 ? -1 : 0;
}

}  // namespace qr::image
