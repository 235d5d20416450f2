// Pixel transfers between surfaces: fills, copies, scaled copies, read-backs and clears.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/gpu/cpu_device.h"
#include "platform/gpu/formats.h"

namespace qr::platform::gpu {

namespace {

bool ValidRect(const Rect& r, const CpuSurface& s) {
  return r.left >= 0 && r.top >= 0 && r.right <= s.Width() && r.bottom <= s.Height() &&
         r.left < r.right && r.top < r.bottom;
}

Rect Whole(const CpuSurface& s) { return Rect{0, 0, s.Width(), s.Height()}; }

void FillRect(CpuSurface& s, const Rect& r, uint32_t argb) {
  const int bpp = Info(s.Format()).bytesPerPixel;
  // One row in the surface's format, then copied into every row of the rectangle.
  std::vector<uint8_t> row(size_t(r.Width()) * size_t(bpp));
  if (bpp == 4) {
    std::vector<uint32_t> words(size_t(r.Width()), argb);
    RowFromArgb(s.Format(), words.data(), row.data(), r.Width());
  } else {
    uint8_t pixel[4];
    StorePixel(s.Format(), pixel, argb);
    for (size_t x = 0; x < size_t(r.Width()); ++x) {
      row[x * 2] = pixel[0];
      row[x * 2 + 1] = pixel[1];
    }
  }
  for (int y = r.top; y < r.bottom; ++y)
    std::memcpy(s.Row(y) + size_t(r.left) * size_t(bpp), row.data(), row.size());
  s.Touch();
}

// Copies a rectangle between two surfaces of the same format (DXT rectangles on block edges).
void CopyRect(CpuSurface& source, const Rect& r, CpuSurface& destination, int dx, int dy) {
  const TextureFormat format = source.Format();
  const FormatInfo info = Info(format);
  if (info.blockBytes) {
    const size_t bytes = size_t((r.Width() + 3) / 4) * size_t(info.blockBytes);
    for (int by = 0; by < (r.Height() + 3) / 4; ++by)
      std::memmove(destination.Row(dy / 4 + by) + size_t(dx / 4) * size_t(info.blockBytes),
                   source.Row(r.top / 4 + by) + size_t(r.left / 4) * size_t(info.blockBytes),
                   bytes);
  } else {
    const size_t bytes = size_t(r.Width()) * size_t(info.bytesPerPixel);
    for (int y = 0; y < r.Height(); ++y)
      std::memmove(destination.Row(dy + y) + size_t(dx) * size_t(info.bytesPerPixel),
                   source.Row(r.top + y) + size_t(r.left) * size_t(info.bytesPerPixel), bytes);
  }
  destination.Touch();
}

bool BlockAligned(const Rect& r, const CpuSurface& s) {
  auto ok = [](int v, int edge) { return v % 4 == 0 || v == edge; };
  return ok(r.left, s.Width()) && ok(r.top, s.Height()) && ok(r.right, s.Width()) &&
         ok(r.bottom, s.Height());
}

}  // namespace

DeviceResult CpuGraphicsDevice::ColorFill(Surface* surface, const Rect* rect, uint32_t argb) {
  if (Fails("ColorFill")) return DeviceResult::Failed;
  auto* s = dynamic_cast<CpuSurface*>(surface);
  if (!backBuffer_ || !s || !Info(s->Format()).isColor || s->locked ||
      s->Description().pool != MemoryPool::Default)
    return DeviceResult::InvalidCall;
  Rect r = rect ? *rect : Whole(*s);
  if (!ValidRect(r, *s)) return DeviceResult::InvalidCall;
  FillRect(*s, r, argb);
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::UpdateSurface(Surface* source, const Rect* sourceRect,
                                              Surface* destination, int destinationX,
                                              int destinationY) {
  if (Fails("UpdateSurface")) return DeviceResult::Failed;
  auto* from = dynamic_cast<CpuSurface*>(source);
  auto* to = dynamic_cast<CpuSurface*>(destination);
  if (!backBuffer_ || !from || !to || from == to || from->locked || to->locked)
    return DeviceResult::InvalidCall;
  if (from->Description().pool != MemoryPool::SystemMemory ||
      to->Description().pool != MemoryPool::Default || from->Format() != to->Format() ||
      Info(from->Format()).isDepth)
    return DeviceResult::InvalidCall;
  Rect r = sourceRect ? *sourceRect : Whole(*from);
  if (!ValidRect(r, *from)) return DeviceResult::InvalidCall;
  Rect target{destinationX, destinationY, destinationX + r.Width(), destinationY + r.Height()};
  if (!ValidRect(target, *to)) return DeviceResult::InvalidCall;
  if (IsDxt(from->Format()) && (!BlockAligned(r, *from) || !BlockAligned(target, *to)))
    return DeviceResult::InvalidCall;
  CopyRect(*from, r, *to, destinationX, destinationY);
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::StretchRect(Surface* source, const Rect* sourceRect,
                                            Surface* destination, const Rect* destinationRect,
                                            TextureFilter filter) {
  if (Fails("StretchRect")) return DeviceResult::Failed;
  auto* from = dynamic_cast<CpuSurface*>(source);
  auto* to = dynamic_cast<CpuSurface*>(destination);
  if (!backBuffer_ || !from || !to || from->locked || to->locked) return DeviceResult::InvalidCall;
  if (from->Description().pool != MemoryPool::Default ||
      to->Description().usage != ResourceUsage::RenderTarget || !Info(from->Format()).isColor ||
      !Info(to->Format()).isColor)
    return DeviceResult::InvalidCall;
  Rect src = sourceRect ? *sourceRect : Whole(*from);
  Rect dst = destinationRect ? *destinationRect : Whole(*to);
  if (!ValidRect(src, *from) || !ValidRect(dst, *to)) return DeviceResult::InvalidCall;
  if (from == to && src.left < dst.right && dst.left < src.right && src.top < dst.bottom &&
      dst.top < src.bottom)
    return DeviceResult::InvalidCall;  // overlapping parts of one surface

  std::vector<uint32_t> row(size_t(std::max(src.Width(), dst.Width())));
  if (src.Width() == dst.Width() && src.Height() == dst.Height()) {
    for (int y = 0; y < src.Height(); ++y) {
      RowToArgb(from->Format(),
                from->Row(src.top + y) + size_t(src.left) * size_t(Info(from->Format()).bytesPerPixel),
                row.data(), src.Width());
      RowFromArgb(to->Format(), row.data(),
                  to->Row(dst.top + y) + size_t(dst.left) * size_t(Info(to->Format()).bytesPerPixel),
                  dst.Width());
    }
    to->Touch();
    return DeviceResult::Ok;
  }
  // Scaled: every destination pixel centre maps into the source rectangle.
  const int fromBpp = Info(from->Format()).bytesPerPixel, toBpp = Info(to->Format()).bytesPerPixel;
  auto load = [&](int x, int y) {
    x = std::clamp(x, src.left, src.right - 1);
    y = std::clamp(y, src.top, src.bottom - 1);
    return LoadPixel(from->Format(), from->Row(y) + size_t(x) * size_t(fromBpp));
  };
  const bool linear = filter == TextureFilter::Linear || filter == TextureFilter::Anisotropic;
  const double sx = double(src.Width()) / dst.Width(), sy = double(src.Height()) / dst.Height();
  for (int y = 0; y < dst.Height(); ++y) {
    const double fy = src.top + (y + 0.5) * sy;
    for (int x = 0; x < dst.Width(); ++x) {
      const double fx = src.left + (x + 0.5) * sx;
      uint32_t colour;
      if (!linear) {
        colour = load(int(fx), int(fy));
      } else {
        const double px = fx - 0.5, py = fy - 0.5;
        const int x0 = int(std::floor(px)), y0 = int(std::floor(py));
        const uint32_t wx = uint32_t((px - x0) * 256 + 0.5), wy = uint32_t((py - y0) * 256 + 0.5);
        const uint32_t t00 = load(x0, y0), t10 = load(x0 + 1, y0), t01 = load(x0, y0 + 1),
                       t11 = load(x0 + 1, y0 + 1);
        colour = 0;
        for (int shift = 0; shift < 32; shift += 8) {
          uint32_t top = ((t00 >> shift) & 255) * (256 - wx) + ((t10 >> shift) & 255) * wx;
          uint32_t bottom = ((t01 >> shift) & 255) * (256 - wx) + ((t11 >> shift) & 255) * wx;
          colour |= ((top * (256 - wy) + bottom * wy + 32768) >> 16) << shift;
        }
      }
      row[size_t(x)] = colour;
    }
    RowFromArgb(to->Format(), row.data(),
                to->Row(dst.top + y) + size_t(dst.left) * size_t(toBpp), dst.Width());
  }
  to->Touch();
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::GetRenderTargetData(Surface* renderTarget, Surface* destination) {
  if (Fails("GetRenderTargetData")) return DeviceResult::Failed;
  auto* from = dynamic_cast<CpuSurface*>(renderTarget);
  auto* to = dynamic_cast<CpuSurface*>(destination);
  if (!backBuffer_ || !from || !to || from->locked || to->locked) return DeviceResult::InvalidCall;
  if (from->Description().usage != ResourceUsage::RenderTarget ||
      to->Description().pool != MemoryPool::SystemMemory || from->Format() != to->Format() ||
      from->Width() != to->Width() || from->Height() != to->Height())
    return DeviceResult::InvalidCall;
  CopyRect(*from, Whole(*from), *to, 0, 0);
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::Clear(uint32_t flags, uint32_t argb, float z) {
  if (Fails("Clear")) return DeviceResult::Failed;
  using namespace clear_flags;
  if (!backBuffer_ || !flags || (flags & ~(kTarget | kZBuffer))) return DeviceResult::InvalidCall;
  if ((flags & kZBuffer) && !depthSurface_) return DeviceResult::InvalidCall;
  if ((flags & kTarget) && renderTarget_->locked) return DeviceResult::InvalidCall;
  const Rect area{viewport_.x, viewport_.y, viewport_.x + viewport_.width,
                  viewport_.y + viewport_.height};
  if (flags & kTarget) {
    Rect r{area.left, area.top, std::min(area.right, renderTarget_->Width()),
           std::min(area.bottom, renderTarget_->Height())};
    if (r.left < r.right && r.top < r.bottom) FillRect(*renderTarget_, r, argb);
  }
  if (flags & kZBuffer) {
    const float value = z >= 0.0f ? std::min(z, 1.0f) : 0.0f;  // NaN clears to 0
    const int w = depthSurface_->Width();
    for (int y = area.top; y < std::min(area.bottom, depthSurface_->Height()); ++y)
      for (int x = area.left; x < std::min(area.right, w); ++x)
        depthSurface_->Depth()[size_t(y) * size_t(w) + size_t(x)] = value;
  }
  return DeviceResult::Ok;
}

}  // namespace qr::platform::gpu
