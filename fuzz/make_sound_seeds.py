#!/usr/bin/env python3
"""Starting files for the sound harnesses: python3 fuzz/make_sound_seeds.py OUTDIR.

Writes OUTDIR/converter (whole files: WAVE of each kind, the game's shortest MP3),
OUTDIR/wave (the same WAVE files without their 12-byte RIFF header, as wave_fuzz expects),
OUTDIR/mp3 (the MP3) and OUTDIR/adpcm (format selector bytes followed by blocks)."""
import os
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))
out = sys.argv[1]


def wave(tag, channels, rate, block, bits, extra, data):
    fmt = struct.pack('<HHIIHH', tag, channels, rate, rate * block, block, bits)
    if extra is not None:
        fmt += struct.pack('<H', len(extra)) + extra
    body = b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt)) + fmt
    body += b'LIST' + struct.pack('<I', 3) + b'abc\0'
    body += b'data' + struct.pack('<I', len(data)) + data
    return b'RIFF' + struct.pack('<I', len(body)) + body


ms_coefficients = [(256, 0), (512, -256), (0, 0), (192, 64), (240, 0), (460, -208), (392, -232)]
ms_extra = struct.pack('<HH', 32, 7) + b''.join(struct.pack('<hh', a, b) for a, b in ms_coefficients)
files = {
    'pcm16.wav': wave(1, 2, 22050, 4, 16, None, bytes(range(256)) * 4),
    'pcm8.wav': wave(1, 1, 8000, 1, 8, b'', bytes(range(256))),
    'ima.wav': wave(0x11, 1, 22050, 36, 4, struct.pack('<H', 65), (b'\0\0\x10\0' + bytes(range(32))) * 4),
    'msadpcm.wav': wave(2, 1, 22050, 16, 4, ms_extra, (b'\x01\x10\0\x64\0\x32\0' + bytes(range(9))) * 4),
    'alaw.wav': wave(6, 1, 8000, 1, 8, b'', bytes(range(256))),
    'mulaw.wav': wave(7, 2, 8000, 2, 8, b'', bytes(range(256))),
}
mp3 = open(os.path.join(here, '..', 'game', 'pote', 'life_21_huta.mp3'), 'rb').read()
for folder in ('converter', 'wave', 'mp3', 'adpcm'):
    os.makedirs(os.path.join(out, folder), exist_ok=True)
for name, data in files.items():
    open(os.path.join(out, 'converter', name), 'wb').write(data)
    open(os.path.join(out, 'wave', name), 'wb').write(data[12:])
open(os.path.join(out, 'converter', 'effect.mp3'), 'wb').write(mp3)
open(os.path.join(out, 'mp3', 'effect.mp3'), 'wb').write(mp3)
open(os.path.join(out, 'adpcm', 'ima'), 'wb').write(bytes([0, 1, 36, 0, 0, 0]) + files['ima.wav'][-144:])
open(os.path.join(out, 'adpcm', 'ms'), 'wb').write(bytes([1, 1, 16, 0, 32, 0]) + ms_extra + files['msadpcm.wav'][-64:])
