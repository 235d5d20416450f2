// The chain of image decoders: those a caller added, then the built-in ones, each tried from
// the start of the data until one recognises it.
#include <cstring>

#include "image/image_decoders.h"

namespace qr::image {
namespace {

struct AddedDecoders {
  ImageDecoder list[kMaxAddedDecoders] = {};
  int count = 0;
};

AddedDecoders& Added() {
  static AddedDecoders added;
  return added;
}

constexpr ImageDecoder kBuiltIn[] = {DecodeBmp, DecodeJpeg, DecodePng, DecodeBgra, DecodeTga, DecodeDds};

bool TryDecoder(ImageDecoder decoder, const file::StreamReader& reader, BaseImage* image) {
  std::memset(static_cast<void*>(image), 0, sizeof *image);
  if (reader.Seek(0, file::kSeekSet) != 0) return false;
  return decoder(reader, image) == 0;
}

}  // namespace

int AddImageDecoder(ImageDecoder decoder) {
  AddedDecoders& added = Added();
  if (!decoder || added.count >= kMaxAddedDecoders) return -1;
  added.list[added.count++] = decoder;
  return 0;
}

void ClearImageDecoders() { Added() = AddedDecoders{}; }

int RunDecoderChain(const file::StreamReader& reader, BaseImage* image) {
  const AddedDecoders& added = Added();
  for (int i = 0; i < added.count; ++i)
    if (TryDecoder(added.list[i], reader, image)) return 0;
  for (ImageDecoder decoder : kBuiltIn)
    if (TryDecoder(decoder, reader, image)) return 0;
  std::memset(static_cast<void*>(image), 0, sizeof *image);
  return -1;
}

}  // namespace qr::image
