#!/usr/bin/env python3
"""Writes small starting files for the image harnesses: fuzz/make_image_seeds.py OUTDIR.

OUTDIR/<harness>/ gets a few valid files of every variant that harness reads; the chain's
folder gets all of them with a leading option byte. JPEG files are made by a small C program
built against libjpeg (cc and libjpeg62-turbo-dev are needed)."""
import os
import struct
import subprocess
import sys
import tempfile
import zlib


def bmp(width, height, bits, compression, pixels, palette=b"", masks=b"", used=0):
    offset = 14 + 40 + len(masks) + len(palette)
    header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(pixels),
                       2835, 2835, used, 0)
    return header + info + masks + palette + pixels


def palette(count):
    return b"".join(bytes([i, 2 * i & 255, 3 * i & 255, 0]) for i in range(count))


def tga(image_type, width, height, bits, pixels, descriptor=0x20, cmap=b"", first=0,
        length=0, cmap_bits=0, footer=False):
    header = struct.pack("<BBBHHBHHHHBB", 0, 1 if cmap else 0, image_type, first, length,
                         cmap_bits, 0, 0, width, height, bits, descriptor)
    out = header + cmap + pixels
    if footer:
        out += struct.pack("<II", 0, 0) + b"TRUEVISION-XFILE.\0"
    return out


def dds(width, height, pixel_flags, four_cc, bits, masks, data, mips=0, pitch=0, flags=0x1007):
    caps = 0x1000
    if mips:
        flags |= 0x20000
        caps |= 0x400008
    header = struct.pack("<IIIIIII", 124, flags, height, width, pitch, 0, mips) + b"\0" * 44
    pf = struct.pack("<II", 32, pixel_flags) + four_cc + struct.pack("<IIIII", bits, *masks)
    return b"DDS " + header + pf + struct.pack("<IIII", caps, 0, 0, 0) + b"\0" * 4 + data


def png(width, height, color_type, depth, rows, plte=b"", trns=b""):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\0" + r for r in rows)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth,
                                                              color_type, 0, 0, 0))
    if plte:
        out += chunk(b"PLTE", plte)
    if trns:
        out += chunk(b"tRNS", trns)
    return out + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


JPEG_WRITER = r"""
#include <stdio.h>
#include <stdlib.h>
#include <jpeglib.h>
int main(int argc, char** argv) {
  int components = atoi(argv[2]), progressive = atoi(argv[3]), w = 24, h = 16;
  struct jpeg_compress_struct c; struct jpeg_error_mgr e;
  c.err = jpeg_std_error(&e); jpeg_create_compress(&c);
  FILE* f = fopen(argv[1], "wb"); jpeg_stdio_dest(&c, f);
  c.image_width = w; c.image_height = h; c.input_components = components;
  c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&c); if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  unsigned char row[24 * 4];
  while (c.next_scanline < c.image_height) {
    for (int i = 0; i < w * components; ++i) row[i] = (unsigned char)(i * 9 + c.next_scanline * 13);
    JSAMPROW r = row; jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c); fclose(f); jpeg_destroy_compress(&c); return 0;
}
"""


def jpegs(directory):
    with tempfile.TemporaryDirectory() as tmp:
        source, program = os.path.join(tmp, "w.c"), os.path.join(tmp, "w")
        with open(source, "w") as f:
            f.write(JPEG_WRITER)
        subprocess.run(["cc", source, "-o", program, "-ljpeg"], check=True)
        for components, progressive in [(1, 0), (3, 0), (3, 1), (4, 0)]:
            name = os.path.join(directory, f"c{components}p{progressive}.jpg")
            subprocess.run([program, name, str(components), str(progressive)], check=True)


def main():
    out = sys.argv[1]
    seeds = {
        "bmp_fuzz": {
            "24.bmp": bmp(3, 2, 24, 0, bytes(range(24))),
            "8down.bmp": bmp(3, -2, 8, 0, bytes([0, 1, 2, 0, 2, 1, 0, 0]), palette(4), used=4),
            "4.bmp": bmp(5, 2, 4, 0, bytes([0x12, 0x34, 0x50, 0, 0xAB, 0xCD, 0xE0, 0]), palette(16)),
            "1.bmp": bmp(10, 1, 1, 0, bytes([0xA0, 0xC0, 0, 0]), palette(2)),
            "rle8.bmp": bmp(6, 3, 8, 1, bytes([3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 2, 7, 0, 1]),
                            palette(8), used=8),
            "rle4.bmp": bmp(5, 2, 4, 2, bytes([5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1]), palette(16)),
            "565.bmp": bmp(2, 1, 16, 3, bytes([0xE0, 0x07, 0, 4]),
                           masks=struct.pack("<III", 0xF800, 0x07E0, 0x001F)),
            "32.bmp": bmp(1, 2, 32, 0, bytes(range(8))),
        },
        "tga_fuzz": {
            "2.tga": tga(2, 2, 2, 24, bytes(range(12)), descriptor=0),
            "2rl.tga": tga(2, 2, 2, 32, bytes(range(16)), descriptor=0x30),
            "10.tga": tga(10, 3, 2, 24, bytes([0x82, 1, 2, 3, 1, 4, 5, 6, 7, 8, 9, 0x85, 9, 9, 9]),
                          footer=True),
            "1.tga": tga(1, 2, 2, 8, bytes([2, 3, 4, 4]), cmap=bytes(9), first=2, length=3,
                         cmap_bits=24),
            "9.tga": tga(9, 2, 2, 8, bytes([0x81, 1, 0x81, 0]), cmap=bytes([0x1F, 0, 0, 0x7C]),
                         length=2, cmap_bits=16),
        },
        "dds_fuzz": {
            "dxt1.dds": dds(8, 8, 4, b"DXT1", 0, (0, 0, 0, 0), bytes(range(32 + 8 + 8)), mips=4),
            "dxt3.dds": dds(4, 4, 4, b"DXT3", 0, (0, 0, 0, 0), bytes(range(16))),
            "dxt5.dds": dds(4, 8, 4, b"DXT5", 0, (0, 0, 0, 0), bytes(range(32))),
            "argb.dds": dds(2, 2, 0x41, b"\0\0\0\0", 32,
                            (0xFF0000, 0xFF00, 0xFF, 0xFF000000), bytes(range(16))),
            "565.dds": dds(2, 1, 4, struct.pack("<I", 23), 16, (0, 0, 0, 0), bytes(4)),
            "l8.dds": dds(2, 1, 0x20000, b"\0\0\0\0", 8, (0xFF, 0, 0, 0), bytes([0, 200])),
        },
        "bgra_fuzz": {
            "8.bgra": b"BGRA" + struct.pack("<III", 0x08080808, 2, 1) + bytes(range(8)),
            "16.bgra": b"BGRA" + struct.pack("<III", 0x10101010, 1, 2) + bytes(range(16)),
        },
        "png_fuzz": {
            "pal4.png": png(3, 1, 3, 4, [bytes([0x01, 0x20])], plte=bytes(range(9))),
            "paltrns.png": png(2, 1, 3, 8, [bytes([0, 1])], plte=bytes(range(6)), trns=b"\0"),
            "gray2.png": png(4, 1, 0, 2, [bytes([0x1B])]),
            "ga.png": png(2, 1, 4, 8, [bytes([100, 7, 200, 255])]),
            "rgb16.png": png(1, 1, 2, 16, [bytes(range(6))]),
            "rgba.png": png(2, 2, 6, 8, [bytes(range(8)), bytes(range(8, 16))]),
        },
    }
    for harness, files in seeds.items():
        os.makedirs(os.path.join(out, harness), exist_ok=True)
        for name, data in files.items():
            with open(os.path.join(out, harness, name), "wb") as f:
                f.write(data)
    os.makedirs(os.path.join(out, "jpeg_fuzz"), exist_ok=True)
    jpegs(os.path.join(out, "jpeg_fuzz"))
    chain = os.path.join(out, "image_chain_fuzz")
    os.makedirs(chain, exist_ok=True)
    for harness in list(seeds) + ["jpeg_fuzz"]:
        folder = os.path.join(out, harness)
        for name in os.listdir(folder):
            with open(os.path.join(folder, name), "rb") as f:
                data = f.read()
            for option in (0, 1, 2):
                with open(os.path.join(chain, f"{option}-{name}"), "wb") as f:
                    f.write(bytes([option]) + data)


if __name__ == "__main__":
    main()
