#include "platform/fonts/face_finder.h"

#include <fontconfig/fontconfig.h>

#include <map>
#include <mutex>
#include <tuple>
#include <vector>

namespace qr::platform::fonts {
namespace {

// This file is compiled with a CP932 execution character set; the names below are UTF-8, as
// fontconfig speaks it, so they are written as u8 literals.
std::string Utf8(const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); }

enum class Build { GothicFixed, GothicProportional, MinchoFixed, MinchoProportional };

struct WindowsFace {
  const char8_t* name;  // normalised
  Build build;
};

// The Japanese faces every Windows machine has, by the names programs ask for them.
constexpr WindowsFace kWindowsFaces[] = {
    {u8"msゴシック", Build::GothicFixed},        {u8"msgothic", Build::GothicFixed},
    {u8"msuigothic", Build::GothicProportional}, {u8"mspゴシック", Build::GothicProportional},
    {u8"mspgothic", Build::GothicProportional},  {u8"メイリオ", Build::GothicProportional},
    {u8"meiryo", Build::GothicProportional},     {u8"meiryoui", Build::GothicProportional},
    {u8"游ゴシック", Build::GothicProportional}, {u8"yugothic", Build::GothicProportional},
    {u8"ms明朝", Build::MinchoFixed},            {u8"msmincho", Build::MinchoFixed},
    {u8"msp明朝", Build::MinchoProportional},    {u8"mspmincho", Build::MinchoProportional},
    {u8"游明朝", Build::MinchoProportional},     {u8"yumincho", Build::MinchoProportional},
};

// Families tried first for each build, before any Japanese face fontconfig offers.
std::vector<std::string> PreferredFamilies(Build build) {
  switch (build) {
    case Build::GothicFixed: return {"IPAGothic"};
    case Build::GothicProportional: return {"IPAPGothic", "IPAGothic"};
    case Build::MinchoFixed: return {"IPAMincho", "IPAGothic"};
    case Build::MinchoProportional: return {"IPAPMincho", "IPAMincho", "IPAPGothic", "IPAGothic"};
  }
  return {};
}

struct Match {
  FaceFile file;
  std::vector<std::string> families;  // every family name the face answers to
  bool hasLanguage = false;           // covers the language asked about
};

// fontconfig's best match for a pattern built by `fill`.
template <typename Fill>
Match BestMatch(const FaceRequest& request, const char* language, Fill fill) {
  Match match;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return match;
  fill(pattern);
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(request.weight));
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  if (language) FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* found = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!found) return match;
  FcChar8* file = nullptr;
  if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file) {
    match.file.path = reinterpret_cast<const char*>(file);
    int index = 0;
    if (FcPatternGetInteger(found, FC_INDEX, 0, &index) == FcResultMatch) match.file.index = index;
    FcChar8* family = nullptr;
    for (int i = 0; FcPatternGetString(found, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
      if (i == 0) match.file.family = reinterpret_cast<const char*>(family);
      match.families.push_back(reinterpret_cast<const char*>(family));
    }
    FcLangSet* languages = nullptr;
    if (language && FcPatternGetLangSet(found, FC_LANG, 0, &languages) == FcResultMatch)
      match.hasLanguage = FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>(language)) == FcLangEqual;
    match.file.found = true;
  }
  FcPatternDestroy(found);
  return match;
}

bool AnswersTo(const Match& match, const std::string& family) {
  std::string wanted = NormalisedFaceName(family);
  for (const std::string& f : match.families)
    if (NormalisedFaceName(f) == wanted) return true;
  return false;
}

// The face of exactly this family, if fontconfig knows it.
FaceFile ExactFamily(const FaceRequest& request, const std::string& family) {
  Match m = BestMatch(request, nullptr, [&](FcPattern* p) {
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  });
  if (m.file.found && AnswersTo(m, family)) return m.file;
  return FaceFile{};
}

// Any face fontconfig offers for the language, of the generic family given.
FaceFile AnyFaceFor(const FaceRequest& request, const char* language, const char* generic, bool fixed) {
  Match m = BestMatch(request, language, [&](FcPattern* p) {
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(generic));
    if (fixed) FcPatternAddInteger(p, FC_SPACING, FC_MONO);
  });
  if (m.file.found && m.hasLanguage) return m.file;
  return FaceFile{};
}

FaceFile JapaneseFace(const FaceRequest& request, Build build) {
  for (const std::string& family : PreferredFamilies(build))
    if (FaceFile f = ExactFamily(request, family); f.found) return f;
  bool fixed = build == Build::GothicFixed || build == Build::MinchoFixed;
  bool mincho = build == Build::MinchoFixed || build == Build::MinchoProportional;
  if (mincho)
    if (FaceFile f = AnyFaceFor(request, "ja", "serif", fixed); f.found) return f;
  if (FaceFile f = AnyFaceFor(request, "ja", "sans-serif", fixed); f.found) return f;
  return AnyFaceFor(request, "ja", "sans-serif", false);
}

FaceFile Find(const FaceRequest& request) {
  std::string name = NormalisedFaceName(request.face);
  if (name.empty()) return JapaneseFace(request, Build::GothicFixed);
  for (const WindowsFace& face : kWindowsFaces)
    if (name == Utf8(face.name)) return JapaneseFace(request, face.build);
  if (FaceFile f = ExactFamily(request, request.face); f.found) return f;
  // A face that is not installed: like a font mapper, give a face of the character set.
  if (request.characterSet == 129)
    if (FaceFile f = AnyFaceFor(request, "ko", "sans-serif", false); f.found) return f;
  return JapaneseFace(request, Build::GothicFixed);
}

}  // namespace

std::string NormalisedFaceName(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    // U+FF01..U+FF5E, the full-width forms of ASCII: EF BC 81..EF BD 9E.
    if (c == 0xEF && i + 2 < utf8.size()) {
      unsigned char c1 = static_cast<unsigned char>(utf8[i + 1]), c2 = static_cast<unsigned char>(utf8[i + 2]);
      unsigned code = 0;
      if (c1 == 0xBC && c2 >= 0x81 && c2 <= 0xBF) code = 0xFF00u + (c2 - 0x80u);
      if (c1 == 0xBD && c2 >= 0x80 && c2 <= 0x9E) code = 0xFF40u + (c2 - 0x80u);
      if (code) {
        char ascii = char(code - 0xFF00u + 0x20u);
        if (ascii >= 'A' && ascii <= 'Z') ascii = char(ascii - 'A' + 'a');
        out.push_back(ascii);
        i += 3;
        continue;
      }
    }
    // U+3000, the ideographic space: E3 80 80.
    if (c == 0xE3 && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0x80 &&
        static_cast<unsigned char>(utf8[i + 2]) == 0x80) {
      i += 3;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '-' || c == '_') {
      ++i;
      continue;
    }
    out.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c));
    ++i;
  }
  return out;
}

FaceFile FindFace(const FaceRequest& request) {
  // fontconfig is asked once per distinct request; games make the same few fonts again and
  // again (every default-font refresh, every restore after a lost device).
  static std::mutex mutex;
  static std::map<std::tuple<std::string, int, bool, int>, FaceFile> known;
  std::lock_guard<std::mutex> lock(mutex);
  auto key = std::make_tuple(request.face, request.weight, request.italic, request.characterSet);
  if (auto it = known.find(key); it != known.end()) return it->second;
  if (!FcInit()) return FaceFile{};
  FaceFile file = Find(request);
  known.emplace(key, file);
  return file;
}

}  // namespace qr::platform::fonts
