// Showing the back buffer: it goes to the window as it is; a window that cannot show it makes
// the device lost.
#include "platform/gpu/cpu_device.h"

namespace qr::platform::gpu {

namespace {

PixelLayout LayoutOf(TextureFormat format) {
  switch (format) {
    case TextureFormat::R5G6B5: return PixelLayout::R5G6B5;
    case TextureFormat::X1R5G5B5:
    case TextureFormat::A1R5G5B5: return PixelLayout::X1R5G5B5;
    default: return PixelLayout::X8R8G8B8;
  }
}

}  // namespace

DeviceResult CpuGraphicsDevice::Present(const Rect* source, const Rect* destination) {
  if (!backBuffer_ || backBuffer_->locked) return DeviceResult::InvalidCall;
  if (Fails("Present")) lost_ = true;
  if (lost_) return DeviceResult::DeviceLost;
  if (source && (source->left < 0 || source->top < 0 || source->right > backBuffer_->Width() ||
                 source->bottom > backBuffer_->Height() || source->left >= source->right ||
                 source->top >= source->bottom))
    return DeviceResult::InvalidCall;
  if (destination && (destination->left >= destination->right ||
                      destination->top >= destination->bottom))
    return DeviceResult::InvalidCall;
  if (!window_.Present(backBuffer_->Bytes(), int(backBuffer_->Pitch()),
                       LayoutOf(backBuffer_->Format()), backBuffer_->Width(),
                       backBuffer_->Height(), source, destination)) {
    lost_ = true;
    return DeviceResult::DeviceLost;
  }
  return DeviceResult::Ok;
}

}  // namespace qr::platform::gpu
