// Finding a font file for a face name through fontconfig, with the Windows Japanese faces mapped
// onto Japanese faces of the same build (fixed or proportional, Gothic or Mincho).
#pragma once

#include <string>

namespace qr::platform::fonts {

struct FaceRequest {
  std::string face;  // UTF-8; empty: the default Japanese Gothic
  int weight = 400;
  bool italic = false;
  int characterSet = 128;
};

struct FaceFile {
  std::string path;
  int index = 0;
  std::string family;
  bool found = false;
};

// The face to use for the request: the named face when fontconfig has it, a mapped Japanese
// face for the usual Windows names, and otherwise the face a font mapper would put in its place
// for the character set. found is false when there is no suitable face at all.
FaceFile FindFace(const FaceRequest& request);

// A face name as compared: ASCII letters in lower case, full-width letters and digits made
// half-width, spaces removed.
std::string NormalisedFaceName(const std::string& utf8);

}  // namespace qr::platform::fonts
