#!/usr/bin/python3
"""Draws the pictures and synthesises the sounds of the game ぽてまる.

How to run (from anywhere; the output lands next to the game's sources):

    apt-get install python3-pil python3-numpy lame fonts-ipafont-gothic
    /usr/bin/python3 tools/make_game_assets.py

It writes game/pote/*.png, game/pote/*.mp3 and game/icon.png. Everything is drawn and
synthesised here; the random seeds are fixed, so two runs give the same files. The
generated files are committed, so building or playing the game never needs this script.

Optional: --preview FILE also writes a contact sheet of every picture (for looking at them).
"""

import argparse
import math
import os
import shutil
import subprocess
import sys
import tempfile
import wave

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT_DIR = os.path.join(ROOT, "game", "pote")
ICON_PATH = os.path.join(ROOT, "game", "icon.png")
FONT_PATH = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"

SAMPLE_RATE = 44100
MP3_FRAME = 1152          # samples per MPEG-1 Layer III frame
LAME_DELAY = 576 + 529    # encoder plus decoder delay of a LAME stream, in samples


# ---------------------------------------------------------------------------------------------
# Sound: synthesis helpers
# ---------------------------------------------------------------------------------------------

def midi_hz(note):
    return 440.0 * 2.0 ** ((note - 69) / 12.0)


NOTE_INDEX = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def note_number(name):
    """'C5', 'F#4', 'Bb3' -> MIDI note number (C4 = 60)."""
    base = NOTE_INDEX[name[0]]
    rest = name[1:]
    while rest and rest[0] in "#b":
        base += 1 if rest[0] == "#" else -1
        rest = rest[1:]
    return base + 12 * (int(rest) + 1)


def poly_blep(t, dt):
    """Band-limiting correction for a unit step at phase 0 (t, dt are arrays in cycles)."""
    out = np.zeros_like(t)
    low = t < dt
    x = t[low] / dt[low]
    out[low] = x + x - x * x - 1.0
    high = t > 1.0 - dt
    x = (t[high] - 1.0) / dt[high]
    out[high] = x * x + x + x + 1.0
    return out


def phase_of(freq):
    """Running phase in cycles for a frequency curve (Hz per sample)."""
    dt = np.asarray(freq, dtype=np.float64) / SAMPLE_RATE
    return np.cumsum(dt) - dt[0], dt


def pulse_wave(freq, duty):
    ph, dt = phase_of(freq)
    t = ph % 1.0
    naive = np.where(t < duty, 1.0, -1.0)
    return naive + poly_blep(t, dt) - poly_blep((t - duty) % 1.0, dt) - (2.0 * duty - 1.0)


def triangle_wave(freq):
    ph, _ = phase_of(freq)
    t = ph % 1.0
    return 4.0 * np.abs(t - 0.5) - 1.0


def sine_wave(freq):
    ph, _ = phase_of(freq)
    return np.sin(2.0 * np.pi * ph)


def envelope(n, attack, decay, sustain, release, hold=None):
    """Attack/decay/sustain/release in seconds over n samples; the release starts at 'hold'."""
    sr = SAMPLE_RATE
    t = np.arange(n) / sr
    hold = n / sr - release if hold is None else hold
    env = np.where(t < attack, t / max(attack, 1e-6),
                   sustain + (1.0 - sustain) * np.exp(-(t - attack) / max(decay, 1e-6)))
    after = t > hold
    level_at_hold = (hold / max(attack, 1e-6) if hold < attack
                     else sustain + (1.0 - sustain) * math.exp(-(hold - attack) / max(decay, 1e-6)))
    env[after] = level_at_hold * np.clip(1.0 - (t[after] - hold) / max(release, 1e-6), 0.0, 1.0)
    return env


def one_pole_lowpass(x, cutoff):
    a = math.exp(-2.0 * math.pi * cutoff / SAMPLE_RATE)
    y = np.empty_like(x)
    acc = 0.0
    for i, v in enumerate(x):     # short signals only (drums, effects)
        acc = (1.0 - a) * v + a * acc
        y[i] = acc
    return y


# Instruments: each returns the samples of one note of a given length (the tail may run longer).

def inst_lead(note, length, vel):
    n = length + int(0.05 * SAMPLE_RATE)
    t = np.arange(n) / SAMPLE_RATE
    vib = 1.0 + 0.006 * np.sin(2 * np.pi * 5.5 * t) * np.clip((t - 0.12) / 0.1, 0, 1)
    tone = pulse_wave(midi_hz(note) * vib, 0.25)
    return vel * 0.26 * tone * envelope(n, 0.004, 0.18, 0.65, 0.045, hold=length / SAMPLE_RATE)


def inst_flute(note, length, vel):
    n = length + int(0.12 * SAMPLE_RATE)
    t = np.arange(n) / SAMPLE_RATE
    vib = 1.0 + 0.005 * np.sin(2 * np.pi * 5.0 * t) * np.clip((t - 0.18) / 0.2, 0, 1)
    f = midi_hz(note) * vib
    tone = 0.75 * triangle_wave(f) + 0.25 * pulse_wave(f, 0.5)
    return vel * 0.30 * tone * envelope(n, 0.02, 0.3, 0.8, 0.11, hold=length / SAMPLE_RATE)


def inst_stab(note, length, vel):
    n = length + int(0.02 * SAMPLE_RATE)
    tone = pulse_wave(np.full(n, midi_hz(note)), 0.125)
    return vel * 0.10 * tone * envelope(n, 0.002, 0.06, 0.35, 0.018, hold=length / SAMPLE_RATE)


def inst_bass(note, length, vel):
    n = length + int(0.02 * SAMPLE_RATE)
    tone = triangle_wave(np.full(n, midi_hz(note)))
    return vel * 0.42 * tone * envelope(n, 0.003, 0.25, 0.8, 0.018, hold=length / SAMPLE_RATE)


def inst_bell(note, length, vel):
    n = length + int(0.6 * SAMPLE_RATE)
    t = np.arange(n) / SAMPLE_RATE
    f = midi_hz(note)
    tone = (np.sin(2 * np.pi * f * t) + 0.35 * np.sin(2 * np.pi * 2 * f * t) * np.exp(-t * 9)
            + 0.12 * np.sin(2 * np.pi * 3.01 * f * t) * np.exp(-t * 14))
    env = np.minimum(t / 0.003, 1.0) * np.exp(-t * 3.2)
    return vel * 0.16 * tone * env


def drum(kind, vel, rng):
    sr = SAMPLE_RATE
    if kind == "kick":
        n = int(0.16 * sr)
        t = np.arange(n) / sr
        f = 48 + 110 * np.exp(-t * 38)
        return vel * 0.75 * sine_wave(f) * np.exp(-t * 16) * np.minimum(t / 0.001, 1.0)
    if kind == "snare":
        n = int(0.16 * sr)
        t = np.arange(n) / sr
        noise = rng.uniform(-1, 1, n)
        noise = noise - one_pole_lowpass(noise, 1500) * 0.8
        body = sine_wave(180 + 60 * np.exp(-t * 40)) * np.exp(-t * 30)
        return vel * (0.32 * noise * np.exp(-t * 19) + 0.25 * body)
    if kind in ("hat", "ohat"):
        n = int((0.03 if kind == "hat" else 0.14) * sr)
        t = np.arange(n) / sr
        noise = rng.uniform(-1, 1, n)
        noise = noise - one_pole_lowpass(noise, 6000)
        return vel * 0.16 * noise * np.exp(-t * (90 if kind == "hat" else 22))
    if kind == "shaker":
        n = int(0.06 * sr)
        t = np.arange(n) / sr
        noise = rng.uniform(-1, 1, n)
        noise = noise - one_pole_lowpass(noise, 4000)
        return vel * 0.07 * noise * np.sin(np.pi * t / t[-1]) ** 2
    raise ValueError(kind)


class Song:
    """A circular piece of music: notes placed on a 16th-note grid; tails wrap around the end,
    so the last bar flows into the first without a seam."""

    def __init__(self, steps, step_samples, seed):
        self.step = step_samples
        self.length = steps * step_samples
        self.buf = np.zeros(self.length)
        self.rng = np.random.default_rng(seed)

    def add(self, start_step, samples, gain=1.0):
        start = int(round(start_step * self.step))
        idx = (start + np.arange(len(samples))) % self.length
        np.add.at(self.buf, idx, gain * samples)

    def voice(self, instrument, text, start_bar=0, vel=1.0, unit=2, transpose=0):
        """text: 'E5/3 G5/1 r/2 ...'; durations are in 'unit' 16th steps; '|' is ignored."""
        pos = start_bar * 16
        for token in text.replace("|", " ").split():
            name, dur = token.split("/")
            steps = float(dur) * unit
            if name != "r":
                note = note_number(name) + transpose
                self.add(pos, instrument(note, int(steps * self.step), vel))
            pos += steps
        return pos

    def echo(self, delay_steps, feedback, mix):
        d = int(round(delay_steps * self.step))
        wet = np.zeros_like(self.buf)
        tap = self.buf.copy()
        gain = mix
        for _ in range(4):
            tap = np.roll(tap, d)
            wet += gain * tap
            gain *= feedback
        self.buf += wet


def chord_notes(name):
    """Root note number (octave 3) and the triad above it for names like 'G', 'Em', 'D7'."""
    root = note_number(name[0] + ("#" if "#" in name else "") + "3")
    minor = "m" in name
    third = 3 if minor else 4
    notes = [root, root + third, root + 7]
    if name.endswith("7"):
        notes.append(root + 10)
    return root, notes


def play_tune():
    """The play music: a lively march in G major, 150 beats a minute, 16 bars."""
    song = Song(steps=256, step_samples=4410, seed=8)
    lead = ("D5/1 G5/1 B5/1 D6/2 B5/1 G5/1 B5/1 | E6/2 D6/1 B5/1 G5/2 E5/2 |"
            "C6/1 B5/1 A5/1 G5/1 E5/2 G5/2 | A5/3 F#5/1 D5/2 r/2 |"
            "D5/1 G5/1 B5/1 D6/2 E6/1 D6/1 B5/1 | G6/2 F#6/1 E6/1 D6/2 B5/2 |"
            "C6/1 E6/1 D6/1 C6/1 B5/1 A5/1 F#5/1 A5/1 | G5/4 r/1 D5/1 G5/1 A5/1 |"
            "B5/2 C6/1 B5/1 A5/2 G5/2 | F#5/2 G5/1 A5/1 D5/4 |"
            "B5/2 D6/1 F#6/1 E6/2 D6/2 | E6/2 B5/1 G5/1 E5/4 |"
            "E5/1 G5/1 C6/1 E6/1 D6/1 C6/1 B5/1 C6/1 | D6/2 A5/1 F#5/1 A5/2 D6/2 |"
            "C6/2 B5/1 A5/1 E5/2 A5/2 | A5/2 F#5/1 A5/1 C6/2 B5/1 A5/1")
    assert song.voice(inst_lead, lead) == 256
    song.voice(inst_lead, lead, vel=0.22, transpose=-12)      # a quiet octave below: fuller lead

    chords = ["G", "Em", "C", "D", "G", "Em", "C|D", "G",
              "C", "D", "Bm", "Em", "C", "D", "Am", "D7"]
    for bar, symbol in enumerate(chords):
        halves = symbol.split("|")
        per = 8 // len(halves)
        for h, name in enumerate(halves):
            root, triad = chord_notes(name)
            for e in range(per):                  # eighth notes
                step = bar * 16 + (h * per + e) * 2
                bass = root - 12 + (12 if e % 2 else 0) + (7 if e % 4 == 2 else 0)
                song.add(step, inst_bass(bass, int(1.6 * song.step), 1.0))
                if e % 2 == 1:                    # off-beat chord stabs
                    for k, nt in enumerate(triad[:3]):
                        song.add(step, inst_stab(nt + 12, int(1.2 * song.step), 1.0 - 0.15 * k))
    for bar in range(16):
        for beat in range(4):
            s = bar * 16 + beat * 4
            song.add(s, drum("kick" if beat % 2 == 0 else "snare", 1.0, song.rng))
            song.add(s, drum("hat", 0.8, song.rng))
            song.add(s + 2, drum("ohat" if beat == 3 and bar % 2 == 1 else "hat", 0.6, song.rng))
        if bar in (7, 15):                        # a small fill into the next phrase
            for k in range(4):
                song.add(bar * 16 + 12 + k, drum("snare", 0.45 + 0.12 * k, song.rng))
    song.echo(3, 0.35, 0.18)
    return song.buf


def title_tune():
    """The title and game-over music: a calm music-box tune of 8 bars in C major, 92 a minute."""
    song = Song(steps=128, step_samples=7191, seed=12)
    melody = ("E5/3 G5/1 C6/2 G5/2 | A5/3 G5/1 E5/4 | F5/2 A5/2 C6/2 A5/2 | G5/4 F5/2 D5/2 |"
              "E5/3 G5/1 C6/2 D6/2 | E6/3 D6/1 B5/4 | C6/2 A5/2 B5/2 D6/2 | C6/6 r/2")
    assert song.voice(inst_flute, melody) == 128
    chords = ["C", "Am", "F", "G", "C", "Em", "F|G", "C"]
    shape = [0, 7, 12, 16, 19, 16, 12, 7]       # arpeggio over the root, in eighths
    for bar, symbol in enumerate(chords):
        halves = symbol.split("|")
        per = 8 // len(halves)
        for h, name in enumerate(halves):
            root, triad = chord_notes(name)
            third = triad[1] - root
            for e in range(per):
                interval = shape[(h * per + e) % 8]
                interval = {16: 12 + third, 4: third}.get(interval, interval)
                song.add(bar * 16 + (h * per + e) * 2, inst_bell(root + 12 + interval, song.step, 0.9))
            song.add(bar * 16 + h * per * 2, inst_bass(root - 12, int(per * 2 * song.step * 0.95), 0.8))
        for beat in range(4):
            song.add(bar * 16 + beat * 4 + 2, drum("shaker", 1.0, song.rng))
    song.echo(6, 0.3, 0.22)
    return song.buf


def sound_pop():
    """Catching a potato: a soft, round 'pon'."""
    sr = SAMPLE_RATE
    n = int(0.18 * sr)
    t = np.arange(n) / sr
    f = 520 + 620 * (1 - np.exp(-t * 60))
    body = sine_wave(f) + 0.25 * sine_wave(2 * f) * np.exp(-t * 30)
    env = np.minimum(t / 0.002, 1.0) * np.exp(-t * 26)
    second = np.zeros(n)
    k = int(0.05 * sr)
    t2 = t[: n - k]
    second[k:] = 0.5 * sine_wave(1560 + 0 * t2) * np.minimum(t2 / 0.002, 1) * np.exp(-t2 * 32)
    return 0.8 * (body * env + second)


def sound_byun(rng):
    """Touching a burr: a harsh, falling 'byun' buzz."""
    sr = SAMPLE_RATE
    n = int(0.42 * sr)
    t = np.arange(n) / sr
    f = 110 + 900 * np.exp(-t * 7.5)
    f = f * (1 + 0.08 * np.sin(2 * np.pi * 28 * t))
    buzz = pulse_wave(f, 0.3) + 0.6 * pulse_wave(f * 1.51, 0.5)
    noise = one_pole_lowpass(rng.uniform(-1, 1, n), 2500)
    grit = one_pole_lowpass(np.tanh(1.6 * buzz) + 0.5 * noise, 5000)
    env = np.minimum(t / 0.006, 1.0) * np.clip(1.0 - t / t[-1], 0, 1) ** 1.5
    return grit * env


def sound_bayoun():
    """Catching the golden potato: a rising, wobbling 'bayoun' with sparkles."""
    sr = SAMPLE_RATE
    n = int(0.62 * sr)
    t = np.arange(n) / sr
    f = 300 * 2 ** (t / 0.62 * 2.3) * (1 + 0.05 * np.sin(2 * np.pi * 11 * t))
    sweep = 0.7 * triangle_wave(f) + 0.3 * pulse_wave(f, 0.5)
    sweep *= np.minimum(t / 0.01, 1.0) * np.clip(1 - t / 0.5, 0, 1) ** 0.7
    sparkle = np.zeros(n)
    for i, name in enumerate(["C6", "E6", "G6", "C7", "E7"]):
        start = int((0.12 + 0.07 * i) * sr)
        tt = t[: n - start]
        fr = midi_hz(note_number(name))
        sparkle[start:] += np.sin(2 * np.pi * fr * tt) * np.minimum(tt / 0.002, 1) * np.exp(-tt * 11)
    return 0.5 * sweep + 0.28 * sparkle


# ---------------------------------------------------------------------------------------------
# Sound: writing WAV and MP3
# ---------------------------------------------------------------------------------------------

def normalise(x, peak):
    return x * (peak / max(1e-9, np.max(np.abs(x))))


def write_wav(path, x):
    pcm = np.clip(np.round(x * 32767), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(SAMPLE_RATE)
        w.writeframes(pcm.tobytes())


def mp3_frames(data):
    """Splits a tag-less MPEG-1 Layer III stream into its frames."""
    bitrates = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
    frames, pos = [], 0
    while pos + 4 <= len(data):
        b1, b2 = data[pos + 1], data[pos + 2]
        if data[pos] != 0xFF or (b1 & 0xFE) != 0xFA or (b2 >> 4) in (0, 15) or (b2 >> 2) & 3 != 0:
            raise ValueError("unexpected bytes in the encoder's output at %d" % pos)
        size = 144000 * bitrates[b2 >> 4] // SAMPLE_RATE + ((b2 >> 1) & 1)
        frames.append(data[pos:pos + size])
        pos += size
    if pos != len(data):
        raise ValueError("truncated last frame")
    return frames


def encode_mp3(x, skip_frames, keep_frames, kbps, tmp):
    """Encodes with lame (no info tag, no bit reservoir, so that every frame stands alone) and
    keeps frames [skip_frames, skip_frames + keep_frames)."""
    wav = os.path.join(tmp, "in.wav")
    mp3 = os.path.join(tmp, "out.mp3")
    write_wav(wav, x)
    subprocess.run(["lame", "--quiet", "-t", "--nores", "-m", "m", "-b", str(kbps), wav, mp3], check=True)
    with open(mp3, "rb") as f:
        frames = mp3_frames(f.read())
    if len(frames) < skip_frames + keep_frames:
        raise ValueError("lame gave %d frames, %d needed" % (len(frames), skip_frames + keep_frames))
    return b"".join(frames[skip_frames:skip_frames + keep_frames])


def loop_to_mp3(loop, kbps, tmp):
    """A seamless loop: the decoded file is exactly len(loop) samples (a whole number of frames)
    and sample i of it is loop[i]. The loop is encoded from the middle of three repetitions, so
    every kept frame was coded with the right neighbours; the encoder delay is taken out by
    rotating the input."""
    period = len(loop)
    assert period % MP3_FRAME == 0
    skip = 2
    total = (skip + period // MP3_FRAME + 2) * MP3_FRAME
    idx = (np.arange(total) + LAME_DELAY - skip * MP3_FRAME) % period
    return encode_mp3(loop[idx], skip, period // MP3_FRAME, kbps, tmp)


def effect_to_mp3(x, kbps, tmp):
    """An effect that starts 576 samples (13 ms) into the decoded file: the frame holding only
    the encoder's lead-in is dropped, which loses nothing because that part is silent."""
    lead = MP3_FRAME + MP3_FRAME // 2 - LAME_DELAY
    padded = np.concatenate([np.zeros(lead), x, np.zeros(MP3_FRAME)])
    frames = -(-(len(padded) + LAME_DELAY) // MP3_FRAME) - 1
    return encode_mp3(padded, 1, frames, kbps, tmp)


def make_sounds():
    rng = np.random.default_rng(21)
    with tempfile.TemporaryDirectory() as tmp:
        items = [
            ("track008_caravan.mp3", loop_to_mp3(normalise(play_tune(), 0.89), 112, tmp)),
            ("track012_manabinokuni.mp3", loop_to_mp3(normalise(title_tune(), 0.89), 112, tmp)),
            ("life_21_huta.mp3", effect_to_mp3(normalise(sound_pop(), 0.7), 128, tmp)),
            ("attack_12_byun.mp3", effect_to_mp3(normalise(sound_byun(rng), 0.6), 128, tmp)),
            ("future_06_bayoun.mp3", effect_to_mp3(normalise(sound_bayoun(), 0.7), 128, tmp)),
        ]
    for name, data in items:
        with open(os.path.join(OUT_DIR, name), "wb") as f:
            f.write(data)


# ---------------------------------------------------------------------------------------------
# Pictures: a small supersampled painter
# ---------------------------------------------------------------------------------------------

OUTLINE = (56, 36, 26)        # the dark brown of every outline (never pure black)


class Canvas:
    """RGBA picture painted at 'ss' times the final size and averaged down, colours kept
    premultiplied so that soft edges carry their own colour (no dark fringe)."""

    def __init__(self, w, h, ss=4):
        self.w, self.h, self.ss = w, h, ss
        self.px = np.zeros((h * ss, w * ss, 4), np.float32)

    # masks ------------------------------------------------------------------------------------
    def _hi(self, pts):
        s = self.ss
        return [(x * s, y * s) for x, y in pts]

    def blank(self):
        return Image.new("L", (self.w * self.ss, self.h * self.ss), 0)

    def poly_mask(self, polys, grow=0.0):
        """Filled polygons; grow > 0 widens them by that many pixels (for outlines)."""
        img = self.blank()
        d = ImageDraw.Draw(img)
        for p in polys:
            xy = self._hi(p)
            d.polygon(xy, fill=255)
            if grow > 0:
                self._thick(d, xy + [xy[0]], 2 * grow * self.ss)
        return img

    def line_mask(self, paths, width):
        img = self.blank()
        d = ImageDraw.Draw(img)
        for p in paths:
            self._thick(d, self._hi(p), width * self.ss)
        return img

    @staticmethod
    def _thick(d, xy, width):
        d.line(xy, fill=255, width=max(1, int(round(width))), joint="curve")
        r = width / 2.0
        for x, y in (xy[0], xy[-1]):
            d.ellipse([x - r, y - r, x + r, y + r], fill=255)

    def text_mask(self, text, size, x, y, angle=0.0, stroke=0.0, anchor="mm"):
        """Text of 'size' pixels placed by its anchor point (x, y), rotated by angle degrees."""
        s = self.ss
        font = ImageFont.truetype(FONT_PATH, int(round(size * s)))
        pad = int(size * s * 0.6 + stroke * s * 2)
        l, t, r, b = font.getbbox(text, anchor=anchor, stroke_width=int(round(stroke * s)))
        tile = Image.new("L", (r - l + 2 * pad, b - t + 2 * pad), 0)
        ImageDraw.Draw(tile).text((pad - l, pad - t), text, font=font, fill=255, anchor=anchor,
                                  stroke_width=int(round(stroke * s)), stroke_fill=255)
        if angle:
            tile = tile.rotate(angle, resample=Image.BICUBIC, center=(pad - l, pad - t))
        img = self.blank()
        img.paste(tile, (int(round(x * s - (pad - l))), int(round(y * s - (pad - t)))), tile)
        return img

    # painting ---------------------------------------------------------------------------------
    def paint(self, img, fill, opacity=1.0, clip=None, blur=0.0):
        """Lays 'fill' (an (r, g, b) tuple or a function of the X, Y pixel grids) through the
        mask image. Returns the mask as floats, for clipping later details to this shape."""
        if blur:
            img = img.filter(ImageFilter.GaussianBlur(blur * self.ss))
        full = np.asarray(img, np.float32) / 255.0
        box = img.getbbox()
        if box is None:
            return full
        x0, y0, x1, y1 = box
        a = full[y0:y1, x0:x1] * opacity
        if clip is not None:
            a = a * clip[y0:y1, x0:x1]
        if callable(fill):
            s = self.ss
            xs = (np.arange(x0, x1, dtype=np.float32) + 0.5) / s
            ys = (np.arange(y0, y1, dtype=np.float32) + 0.5) / s
            X, Y = np.meshgrid(xs, ys)
            rgb = np.clip(fill(X, Y), 0, 255).astype(np.float32) / 255.0
        else:
            rgb = np.array(fill, np.float32) / 255.0
        region = self.px[y0:y1, x0:x1]
        region[..., :3] = rgb * a[..., None] + region[..., :3] * (1.0 - a[..., None])
        region[..., 3] = a + region[..., 3] * (1.0 - a)
        return full

    def shape(self, polys, fill, outline=None, width=1.5, opacity=1.0, clip=None):
        if outline is not None:
            self.paint(self.poly_mask(polys, grow=width), outline, opacity, clip)
        return self.paint(self.poly_mask(polys), fill, opacity, clip)

    def stroke(self, paths, width, colour, opacity=1.0, clip=None):
        return self.paint(self.line_mask(paths, width), colour, opacity, clip)

    # output -----------------------------------------------------------------------------------
    def image(self, mode):
        s = self.ss
        px = self.px.reshape(self.h, s, self.w, s, 4).mean(axis=(1, 3))
        alpha = px[..., 3]
        rgb = np.where(alpha[..., None] > 1e-6, px[..., :3] / np.maximum(alpha[..., None], 1e-6), 0)
        rgb = np.clip(np.round(rgb * 255), 0, 255).astype(np.uint8)
        a8 = np.clip(np.round(alpha * 255), 0, 255).astype(np.uint8)
        rgb[a8 == 0] = 0
        # Pure black is the runtime's transparent colour: keep it out of everything visible.
        black = (a8 > 0) & (rgb.max(axis=2) == 0)
        rgb[black] = 8
        if mode == "RGB":
            return Image.fromarray(rgb, "RGB")
        return Image.fromarray(np.dstack([rgb, a8]), "RGBA")


class Pen:
    """Draws on a canvas in a local frame: (x, y) -> (ox + x * scale, oy + y * scale)."""

    def __init__(self, canvas, ox=0.0, oy=0.0, scale=1.0):
        self.c, self.ox, self.oy, self.k = canvas, ox, oy, scale

    def pt(self, x, y):
        return (self.ox + x * self.k, self.oy + y * self.k)

    def pts(self, pts):
        return [self.pt(x, y) for x, y in pts]

    def shape(self, polys, fill, outline=None, width=1.5, opacity=1.0, clip=None):
        return self.c.shape([self.pts(p) for p in polys], fill, outline, width * self.k, opacity, clip)

    def stroke(self, paths, width, colour, opacity=1.0, clip=None):
        return self.c.stroke([self.pts(p) for p in paths], width * self.k, colour, opacity, clip)

    def glow(self, polys, colour, blur, opacity):
        return self.c.paint(self.c.poly_mask([self.pts(p) for p in polys]), colour, opacity,
                            blur=blur * self.k)

    def radial(self, cx, cy, r, inner, outer, power=1.0):
        cx, cy = self.pt(cx, cy)
        return radial(cx, cy, r * self.k, inner, outer, power)

    def linear(self, x0, y0, c0, x1, y1, c1):
        x0, y0 = self.pt(x0, y0)
        x1, y1 = self.pt(x1, y1)
        return linear(x0, y0, c0, x1, y1, c1)


def mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def radial(cx, cy, r, inner, outer, power=1.0):
    inner, outer = np.array(inner, np.float32), np.array(outer, np.float32)

    def fill(X, Y):
        t = np.clip(np.hypot(X - cx, Y - cy) / r, 0, 1) ** power
        return inner + (outer - inner) * t[..., None]
    return fill


def linear(x0, y0, c0, x1, y1, c1):
    c0, c1 = np.array(c0, np.float32), np.array(c1, np.float32)
    dx, dy = x1 - x0, y1 - y0
    n = dx * dx + dy * dy

    def fill(X, Y):
        t = np.clip(((X - x0) * dx + (Y - y0) * dy) / n, 0, 1)
        return c0 + (c1 - c0) * t[..., None]
    return fill


def stops(*pairs):
    """Vertical gradient through (y, colour) stops."""
    ys = np.array([p[0] for p in pairs], np.float32)
    cols = np.array([p[1] for p in pairs], np.float32)

    def fill(X, Y):
        return np.stack([np.interp(Y, ys, cols[:, i]) for i in range(3)], axis=-1)
    return fill


def ellipse(cx, cy, rx, ry, angle=0.0, n=72):
    ca, sa = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    out = []
    for i in range(n):
        t = 2 * math.pi * i / n
        x, y = rx * math.cos(t), ry * math.sin(t)
        out.append((cx + x * ca - y * sa, cy + x * sa + y * ca))
    return out


def blob(cx, cy, rx, ry, angle=0.0, bumps=(), n=96):
    """An ellipse with smooth bumps: bumps are (k, amplitude, phase) of r(t) = 1 + sum a cos(kt + p)."""
    ca, sa = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    out = []
    for i in range(n):
        t = 2 * math.pi * i / n
        r = 1.0 + sum(a * math.cos(k * t + p) for k, a, p in bumps)
        x, y = rx * r * math.cos(t), ry * r * math.sin(t)
        out.append((cx + x * ca - y * sa, cy + x * sa + y * ca))
    return out


def arc(cx, cy, rx, ry, a0, a1, n=24):
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]


def star(cx, cy, r_out, r_in, points, angle=-90.0):
    out = []
    for i in range(points * 2):
        r = r_out if i % 2 == 0 else r_in
        t = math.radians(angle + 180.0 * i / points)
        out.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    return out


def rounded_rect(x0, y0, x1, y1, r, n=8):
    out = []
    for cx, cy, a in ((x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)):
        out += arc(cx, cy, r, r, a, a + 90, n)
    return out


# ---------------------------------------------------------------------------------------------
# Pictures: the characters and things
# ---------------------------------------------------------------------------------------------

SKIN_LIGHT = (252, 222, 160)
SKIN_DARK = (206, 148, 84)
CHEEK = (244, 128, 118)
EYE = (52, 34, 30)


def eye(pen, x, y, rx, ry):
    pen.shape([ellipse(x, y, rx, ry)], EYE)
    pen.shape([ellipse(x - rx * 0.3, y - ry * 0.38, rx * 0.42, rx * 0.42)], (255, 255, 255))
    pen.shape([ellipse(x + rx * 0.35, y + ry * 0.4, rx * 0.2, rx * 0.2)], (255, 255, 255), opacity=0.8)


def potemaru(pen, step=0, mood="happy", limbs=True):
    """The player character in a 51 x 84 box: a round potato with a sprout, walking.
    step: 0 or 1 (which foot is lifted), or -1 standing; limbs=False draws the head alone."""
    lift = {0: (1, 0), 1: (0, 1), -1: (0, 0)}[step]
    swing = {0: 1, 1: -1, -1: 0}[step]
    bob = -1.0 if step >= 0 else 0.0
    # legs and feet (behind the body)
    for side, up in zip((-1, 1), lift if limbs else ()):
        fx = 25.5 + side * 9.5 + (side * -1.5 if up else 0)
        fy = 77.7 - (4.0 if up else 0)
        pen.stroke([[(25.5 + side * 7, 66 + bob), (fx, fy - 2)]], 6.5, OUTLINE)
        pen.stroke([[(25.5 + side * 7, 66 + bob), (fx, fy - 2)]], 3.8, SKIN_DARK)
        pen.shape([ellipse(fx + side * 1.5, fy, 7.5, 4.3, angle=(-12 * side if up else 0))],
                  pen.linear(0, fy - 4, (196, 92, 64), 0, fy + 4, (150, 62, 44)), OUTLINE, 1.3)
        pen.shape([ellipse(fx + side * 0.5, fy - 1.6, 3.2, 1.2)], (240, 160, 130), opacity=0.7)
    # arms
    for side in (-1, 1) if limbs else ():
        ang = 25 * swing * side
        ax, ay = 25.5 + side * 16.6, 50 + bob
        pen.shape([ellipse(ax + side * 1.2, ay + 1.5 + 1.2 * swing * side, 3.5, 5.9, angle=-side * 30 + ang)],
                  pen.radial(ax - side * 1, ay - 2, 8, SKIN_LIGHT, SKIN_DARK), OUTLINE, 1.3)
    # sprout
    top = 23.5 + bob
    pen.stroke([[(25.5, top + 2), (25.8, top - 4), (27.5, top - 9)]], 3.6, OUTLINE)
    pen.stroke([[(25.5, top + 2), (25.8, top - 4), (27.5, top - 9)]], 1.6, (96, 168, 64))
    leaves = (((20.2, top - 9.5, 25, 6.2), (32.8, top - 11.5, -30, 6.6)) if mood == "happy" else
              ((21.2, top - 6.0, -38, 6.2), (32.6, top - 7.6, 36, 6.6)))      # drooping
    for lx, ly, ang, rx in leaves:
        pen.shape([blob(lx, ly, rx, 3.1, ang, ((2, 0.08, 0.0),))],
                  pen.linear(lx, ly - 3, (150, 220, 96), lx, ly + 3, (84, 160, 58)), OUTLINE, 1.3)
        pen.stroke([[(lx - rx * 0.6 * math.cos(math.radians(ang)), ly - rx * 0.6 * math.sin(math.radians(ang))),
                     (lx + rx * 0.6 * math.cos(math.radians(ang)), ly + rx * 0.6 * math.sin(math.radians(ang)))]],
                   0.7, (70, 130, 46), opacity=0.8)
    # body
    cy = 47.0 + bob
    body_poly = blob(25.5, cy, 19.3, 24.0, 0, ((2, 0.035, 0.6), (3, 0.025, 1.9), (5, 0.012, 0.4)))
    body = pen.shape([body_poly], pen.radial(17, cy - 12, 36, SKIN_LIGHT, SKIN_DARK, 1.3), OUTLINE, 1.6)
    pen.shape([blob(34, cy + 14, 18, 12, -35)], (190, 128, 70), opacity=0.35, clip=body)
    pen.shape([ellipse(15.5, cy - 13, 5.5, 3.0, -30)], (255, 248, 225), opacity=0.7, clip=body)
    for sx, sy, r in ((36, cy - 12, 1.4), (10.5, cy + 11, 1.2), (38.5, cy + 13, 1.6), (21, cy + 18, 1.0)):
        pen.shape([ellipse(sx, sy, r * 1.4, r)], (170, 112, 58), opacity=0.75, clip=body)
    # face
    fy = cy - 3.5
    if mood == "happy":
        eye(pen, 18.2, fy, 3.2, 4.4)
        eye(pen, 32.8, fy, 3.2, 4.4)
        pen.shape([arc(25.5, fy + 7.2, 4.6, 4.2, 0, 180)], (150, 52, 50), OUTLINE, 0.9)
        pen.shape([ellipse(25.5, fy + 9.9, 2.4, 1.3)], (236, 120, 120))
    else:
        for x, side in ((18.2, -1), (32.8, 1)):
            eye(pen, x, fy + 1.0, 2.7, 3.3)
            pen.stroke([[(x + side * 4.0, fy - 4.0), (x - side * 2.6, fy - 6.8)]], 1.4, EYE)
        pen.stroke([[(21.5, fy + 10), (23.5, fy + 8.6), (25.5, fy + 10), (27.5, fy + 8.6), (29.5, fy + 10)]],
                   1.2, EYE)
        pen.shape([blob(35.6, fy + 7.2, 1.6, 2.6, 0, ((1, 0.25, 3.14),))], (130, 206, 250), (70, 120, 170), 0.6)
    for x in (12.5, 38.5):
        pen.glow([ellipse(x, fy + 7.0, 3.8, 2.3)], CHEEK, 0.6, 0.75)


def potato(pen, face=True):
    """The thing to catch, in a 30 x 35 box."""
    poly = blob(15, 18, 11.2, 14.2, -14, ((2, 0.05, 0.3), (3, 0.03, 2.2), (4, 0.015, 1.0)))
    body = pen.shape([poly], pen.radial(11, 11, 24, SKIN_LIGHT, SKIN_DARK, 1.2), OUTLINE, 1.4)
    pen.shape([blob(21, 27, 12, 8, -40)], (186, 124, 66), opacity=0.35, clip=body)
    pen.shape([ellipse(10.5, 9.5, 3.6, 2.0, -40)], (255, 248, 225), opacity=0.75, clip=body)
    for sx, sy, r in ((20.5, 8.5, 1.1), (7.5, 24, 1.0), (21, 28.5, 1.2)):
        pen.shape([ellipse(sx, sy, r * 1.4, r)], (168, 110, 58), opacity=0.8, clip=body)
    if face:
        for x, y in ((11.0, 17.0), (18.6, 15.4)):
            pen.shape([ellipse(x, y, 1.5, 2.0)], EYE)
            pen.shape([ellipse(x - 0.45, y - 0.7, 0.6, 0.6)], (255, 255, 255))
        pen.stroke([arc(15.2, 19.6, 2.4, 1.9, 20, 160)], 1.0, EYE)
        for x, y in ((8.5, 20.5), (21.5, 18.5)):
            pen.glow([ellipse(x, y, 2.2, 1.4)], CHEEK, 0.4, 0.65)


def golden_potato(pen):
    """The bonus, in a 40 x 40 box: a shining golden potato."""
    pen.glow([ellipse(20, 20.5, 13.5, 14.5)], (255, 236, 140), 2.4, 0.6)
    poly = blob(20, 21, 11.6, 14.2, 22, ((2, 0.05, 0.3), (3, 0.03, 2.2)))
    body = pen.shape([poly], pen.radial(15, 13, 26, (255, 246, 170), (222, 150, 30), 1.1),
                     (104, 62, 14), 1.4)
    pen.shape([blob(27, 30, 13, 8, -30)], (196, 118, 16), opacity=0.4, clip=body)
    pen.shape([ellipse(15, 12.5, 4.2, 2.2, -50)], (255, 255, 240), opacity=0.9, clip=body)
    pen.shape([ellipse(24.5, 31, 1.8, 1.0, -50)], (255, 250, 200), opacity=0.6, clip=body)
    for sx, sy, r in ((23.5, 13, 1.1), (14, 28, 1.0)):
        pen.shape([ellipse(sx, sy, r * 1.4, r)], (200, 130, 20), opacity=0.7, clip=body)
    for x, y in ((17, 20.5), (24.2, 22.5)):
        pen.shape([ellipse(x, y, 1.5, 2.0)], EYE)
        pen.shape([ellipse(x - 0.45, y - 0.7, 0.6, 0.6)], (255, 255, 255))
    pen.stroke([arc(20.3, 25.2, 2.4, 1.9, 30, 170)], 1.0, EYE)
    for x, y, r in ((7.5, 8.5, 5.0), (33, 30, 4.2), (32.5, 7, 3.0), (6.5, 31.5, 2.4)):
        pen.shape([star(x, y, r, r * 0.26, 4)], (255, 255, 250), (255, 200, 60), 0.6)


def burr(pen, mood="angry"):
    """The thing to avoid, in a 60 x 70 box: a spiky chestnut burr with a cross face."""
    cx, cy = 30.0, 38.0
    rng = np.random.default_rng(5)
    back, front = [], []
    for i in range(34):
        t = 2 * math.pi * i / 34 + rng.uniform(-0.05, 0.05)
        length = (26.5 if i % 2 == 0 else 23.5) + rng.uniform(-1.2, 0.8)
        w = 0.11
        back.append([(cx + 14 * math.cos(t - w), cy + 14 * math.sin(t - w)),
                     (cx + length * math.cos(t), cy + length * math.sin(t)),
                     (cx + 14 * math.cos(t + w), cy + 14 * math.sin(t + w))])
    pen.shape(back, pen.radial(cx, cy, 29, (140, 132, 50), (226, 208, 120), 1.0), OUTLINE, 1.1)
    body = pen.shape([blob(cx, cy, 19.5, 18.5, 0, ((6, 0.02, 0.0),))],
                     pen.radial(cx - 7, cy - 8, 30, (150, 160, 60), (70, 86, 30), 1.0), OUTLINE, 1.5)
    for i in range(30):
        t = rng.uniform(0, 2 * math.pi)
        d = rng.uniform(4, 17)
        if -2.4 < math.atan2(math.sin(t), math.cos(t)) < -0.7 and d < 13:
            continue      # keep the face clear
        bx, by = cx + d * math.cos(t), cy + d * math.sin(t)
        ln = 4.5 + rng.uniform(0, 2.5)
        w = 0.9
        nx, ny = math.cos(t), math.sin(t)
        front.append([(bx - ny * w, by + nx * w), (bx + nx * ln, by + ny * ln), (bx + ny * w, by - nx * w)])
    pen.shape(front, (214, 200, 110), (90, 90, 34), 0.6, clip=body)
    # face
    fy = cy - 1
    for side in (-1, 1):
        ex = cx + side * 7.5
        pen.shape([ellipse(ex, fy, 4.6, 4.0)], (255, 250, 236), OUTLINE, 1.0)
        pen.shape([ellipse(ex - side * 0.8, fy + 0.8, 2.0, 2.3)], (200, 30, 30))
        pen.shape([ellipse(ex - side * 0.8, fy + 0.9, 1.0, 1.2)], EYE)
        if mood == "angry":      # brows low at the middle
            pen.stroke([[(ex - side * 4.5, fy - 3.6), (ex + side * 5.0, fy - 8.6)]], 2.6, OUTLINE)
        else:                    # half-closed, pleased with itself
            pen.shape([arc(ex, fy, 4.6, 4.0, 180, 360)], (96, 110, 40), OUTLINE, 0.9)
    if mood == "angry":
        mouth = arc(cx, fy + 12.5, 6.0, 4.0, 180, 360)
        pen.shape([mouth], (120, 24, 28), OUTLINE, 1.0)
        pen.shape([[(cx - 4.2, fy + 9.6), (cx - 2.6, fy + 11.8), (cx - 1.0, fy + 9.0)],
                   [(cx + 1.0, fy + 9.0), (cx + 2.6, fy + 11.8), (cx + 4.2, fy + 9.6)]], (255, 250, 236))
    else:
        pen.stroke([arc(cx + 1, fy + 6.5, 5.5, 3.5, 10, 150)], 1.6, OUTLINE)


def burst(pen, cx, cy, p, rng):
    """One cell of the hit animation; p runs 0..1 over the cells (it grows and fades)."""
    fade = 1.0 - max(0.0, p - 0.35) / 0.65 * 0.85
    r = 8 + 17 * p
    pen.glow([ellipse(cx, cy, r * 0.9, r * 0.9)], (255, 170, 60), 2.5, 0.45 * fade)
    pen.shape([star(cx, cy, r, r * 0.55, 9, -90 + 12 * p)],
              pen.radial(cx, cy, r, (255, 250, 200), (255, 110, 40), 1.3), (180, 50, 30), 1.2, opacity=fade)
    if p < 0.8:
        pen.shape([star(cx, cy, r * 0.55, r * 0.3, 9, -70)], (255, 255, 235), opacity=fade * (1 - p))
    if p > 0.3:
        ring = ellipse(cx, cy, r * 1.02 + 1, r * 1.02 + 1, n=96)
        pen.stroke([ring + ring[:1]], 1.8 * (1.2 - p), (255, 236, 150), opacity=0.8 * fade)
    for i in range(8):
        t = 2 * math.pi * (i + 0.5) / 8 + rng.uniform(-0.2, 0.2)
        d = r * 0.75 + 4 + 4 * p
        size = 2.4 * (1.1 - p) + 0.6
        pen.shape([star(cx + d * math.cos(t), cy + d * math.sin(t), size * 1.6, size * 0.6, 4, math.degrees(t))],
                  (255, 240, 120), (200, 80, 30), 0.7, opacity=fade)


def shadow(pen):
    pen.glow([ellipse(25.5, 80.5, 19.5, 4.2)], (24, 34, 16), 1.4, 0.5)


# ---------------------------------------------------------------------------------------------
# Pictures: the screens
# ---------------------------------------------------------------------------------------------

def cloud(c, x, y, s, tint=(255, 255, 255), shade=(214, 228, 244), opacity=1.0):
    puffs = [(0, 0, 22), (24, -10, 26), (50, -2, 20), (70, 6, 15), (-18, 8, 14), (30, 10, 18)]
    polys = [ellipse(x + dx * s, y + dy * s, r * s, r * s * 0.9) for dx, dy, r in puffs]
    c.paint(c.poly_mask(polys), stops((y - 30 * s, tint), (y + 20 * s, shade)), opacity)


def hills(c, base, amp, waves, fill, seed, width=640, bottom=480):
    rng = np.random.default_rng(seed)
    phases = rng.uniform(0, 2 * math.pi, len(waves))
    pts = []
    for i in range(0, width + 9, 8):
        y = base + sum(a * math.sin(i / wl * 2 * math.pi + ph) for (wl, a), ph in zip(waves, phases)) * amp
        pts.append((i, y))
    pts += [(width + 8, bottom + 8), (-8, bottom + 8)]
    return c.paint(c.poly_mask([pts]), fill)


def field(c, night=False):
    """Sky, hills, the potato field and the path along the bottom (the player walks at y 380-464)."""
    rng = np.random.default_rng(3 if not night else 4)
    if not night:
        c.paint(c.poly_mask([[(0, 0), (640, 0), (640, 480), (0, 480)]]),
                stops((0, (84, 150, 226)), (230, (160, 208, 246)), (330, (214, 236, 250))))
        sun = ellipse(566, 66, 30, 30)
        c.paint(c.poly_mask([ellipse(566, 66, 54, 54)]), (255, 244, 190), 0.45, blur=14)
        c.shape([sun], radial(558, 58, 34, (255, 252, 214), (255, 214, 96)))
        for x, y, s in ((290, 80, 1.0), (450, 150, 0.8), (70, 190, 0.7), (610, 220, 0.55), (200, 250, 0.5)):
            cloud(c, x, y, s)
        far, mid = (140, 190, 180), (112, 176, 104)
        field_top, field_bottom = (122, 190, 78), (98, 164, 62)
    else:
        c.paint(c.poly_mask([[(0, 0), (640, 0), (640, 480), (0, 480)]]),
                stops((0, (22, 24, 58)), (170, (62, 48, 104)), (280, (150, 84, 120)), (340, (236, 146, 104))))
        for i in range(70):
            x, y = rng.uniform(0, 640), rng.uniform(0, 250)
            r = rng.uniform(0.5, 1.3)
            c.shape([ellipse(x, y, r, r, n=12)], (255, 250, 226), opacity=rng.uniform(0.5, 1.0) * (1 - y / 330))
        for x, y, r in ((80, 210, 5), (612, 206, 6), (495, 36, 4.5), (30, 60, 4)):
            c.shape([star(x, y, r, r * 0.22, 4)], (255, 250, 220), opacity=0.9)
        c.paint(c.poly_mask([ellipse(560, 72, 48, 48)]), (255, 240, 200), 0.3, blur=14)
        bite = 1.0 - np.asarray(c.poly_mask([ellipse(574, 62, 24, 24)]), np.float32) / 255.0
        c.shape([ellipse(560, 72, 27, 27)], radial(552, 64, 34, (255, 250, 226), (246, 222, 150)), clip=bite)
        cloud(c, 300, 210, 0.8, (150, 110, 150), (110, 78, 124), 0.9)
        cloud(c, 60, 250, 0.6, (170, 116, 140), (120, 84, 120), 0.9)
        far, mid = (88, 70, 116), (62, 64, 96)
        field_top, field_bottom = (60, 86, 62), (44, 66, 50)
    hills(c, 300, 1.0, ((400, 14), (170, 7)), far, 1)
    hills(c, 338, 1.0, ((300, 12), (120, 5)), mid, 2)
    # little round trees on the middle hills
    tree_col = (74, 138, 76) if not night else (42, 52, 74)
    for x in (40, 96, 230, 262, 420, 470, 600):
        y = 330 + 10 * math.sin(x / 50.0)
        c.shape([ellipse(x, y - 12, 11, 13), ellipse(x + 9, y - 6, 8, 9)],
                radial(x - 4, y - 20, 22, mix(tree_col, (255, 255, 200), 0.25), tree_col), opacity=0.95)
        c.shape([[(x - 1.5, y), (x + 1.5, y), (x + 1.5, y + 7), (x - 1.5, y + 7)]], (110, 80, 60) if not night else (50, 40, 60))
    ground = hills(c, 368, 1.0, ((520, 6), (210, 3)), stops((360, field_top), (450, field_bottom)), 3)
    # rows of potato plants across the field
    leaf = (70, 146, 60) if not night else (40, 78, 56)
    leaf_light = (120, 196, 84) if not night else (66, 104, 70)
    for row, y in enumerate((384, 400, 419)):
        c.stroke([[(-10, y + 7 + row), (650, y + 5 - row)]], 2 + row, mix(field_bottom, (80, 60, 30), 0.35),
                 opacity=0.45, clip=ground)
        step = 22 + row * 6
        for i in range(-1, 640 // step + 2):
            x = i * step + (row * 9) + rng.uniform(-3, 3)
            s = 0.7 + 0.22 * row
            polys = [ellipse(x + dx * s, y + dy * s, r * s, r * s * 0.8) for dx, dy, r in
                     ((0, 0, 6.5), (-6, 2, 4.8), (6, 2, 4.8), (0, -4, 4.5))]
            c.shape(polys, radial(x - 3 * s, y - 5 * s, 11 * s, leaf_light, leaf), clip=ground)
            if rng.uniform() < 0.45:
                fx, fy = x + rng.uniform(-3, 3) * s, y - 6 * s
                c.shape([star(fx, fy, 2.4 * s, 1.2 * s, 5)], (250, 246, 255) if rng.uniform() < 0.6 else (214, 180, 240),
                        opacity=0.95 if not night else 0.5)
                c.shape([ellipse(fx, fy, 0.8 * s, 0.8 * s, n=12)], (250, 210, 60), opacity=0.95 if not night else 0.5)
    # the path
    path_top, path_bottom = ((214, 176, 120), (186, 142, 92)) if not night else ((104, 86, 86), (80, 64, 70))
    pts = [(x, 444 + 2.5 * math.sin(x / 37.0) + 1.5 * math.sin(x / 13.0)) for x in range(-8, 650, 6)]
    path = c.paint(c.poly_mask([pts + [(650, 490), (-8, 490)]]), stops((440, path_top), (480, path_bottom)))
    for i in range(60):
        x, y = rng.uniform(0, 640), rng.uniform(452, 478)
        r = rng.uniform(1.0, 2.6)
        c.shape([ellipse(x, y, r * 1.4, r)], mix(path_bottom, (90, 70, 50), 0.35), opacity=0.6, clip=path)
        c.shape([ellipse(x - r * 0.3, y - r * 0.4, r * 0.7, r * 0.4)], mix(path_top, (255, 255, 255), 0.35),
                opacity=0.5, clip=path)
    blades = []
    for i in range(0, 640, 4):
        x = i + rng.uniform(-1.5, 1.5)
        y = 444 + 2.5 * math.sin(x / 37.0) + 1.5 * math.sin(x / 13.0) + 1
        h = rng.uniform(4, 9)
        lean = rng.uniform(-2.5, 2.5)
        blades.append([(x - 1.6, y + 1.5), (x + lean, y - h), (x + 1.6, y + 1.5)])
    c.shape(blades, (96, 164, 62) if not night else (46, 76, 56))


def logo(c, x, y, size, spread=1.0):
    """The game's name in round, bouncing letters, centred on (x, y)."""
    chars = "ぽてまる"
    tilt = (-7, 5, -4, 6)
    hop = (0.0, -0.08, 0.03, -0.05)
    cols = ((255, 150, 96), (255, 204, 70), (130, 206, 96), (110, 176, 240))
    gap = size * 0.98 * spread
    for i, ch in enumerate(chars):
        cx = x + (i - 1.5) * gap
        cy = y + hop[i] * size
        c.paint(c.text_mask(ch, size, cx + size * 0.05, cy + size * 0.07, tilt[i], stroke=size * 0.09),
                (40, 26, 20), 0.45, blur=size * 0.03)
        c.paint(c.text_mask(ch, size, cx, cy, tilt[i], stroke=size * 0.09), OUTLINE)
        c.paint(c.text_mask(ch, size, cx, cy, tilt[i], stroke=size * 0.045), (255, 250, 236))
        inner = c.text_mask(ch, size, cx, cy, tilt[i])
        col = cols[i]
        c.paint(inner, linear(0, cy - size * 0.5, mix(col, (255, 255, 255), 0.45), 0, cy + size * 0.5,
                              mix(col, (120, 60, 30), 0.15)))


def panel(c, x0, y0, x1, y1, opacity=0.5):
    box = rounded_rect(x0, y0, x1, y1, 12)
    c.shape([box], (30, 24, 44), opacity=opacity)
    c.stroke([box + box[:1]], 2.0, (255, 246, 220), opacity=0.55)


def title_screen():
    c = Canvas(640, 480, 3)
    field(c)
    c.shape([rounded_rect(-20, -20, 296, 36, 14)], (30, 24, 44), opacity=0.35)
    logo(c, 300, 122, 104)
    ribbon = [(168, 196), (432, 196), (420, 211), (432, 226), (168, 226), (180, 211)]
    c.shape([ribbon], linear(0, 196, (236, 96, 84), 0, 226, (196, 62, 60)), OUTLINE, 2.0)
    c.paint(c.text_mask("ぽてこを あつめよう!", 20, 300, 211), (255, 250, 236))
    panel(c, 84, 330, 486, 408, 0.55)
    potemaru(Pen(c, 500, 216, 2.45), step=-1)
    for x, y, s in ((40, 90, 1.2), (548, 158, 1.0), (22, 300, 1.1)):
        potato(Pen(c, x, y, s))
    golden_potato(Pen(c, 420, 262, 1.1))
    for x in (30, 70, 420):
        potato(Pen(c, x, 420, 1.0))
    return c.image("RGB")


def play_screen():
    c = Canvas(640, 480, 3)
    field(c)
    return c.image("RGB")


def game_over_screen():
    c = Canvas(640, 480, 3)
    field(c, night=True)
    panel(c, 96, 26, 486, 174, 0.45)
    potemaru(Pen(c, 262, 262, 2.2), step=-1, mood="sad")
    for x, y, s in ((60, 372, 1.15), (450, 360, 1.25), (550, 396, 1.0)):
        burr(Pen(c, x, y, s), mood="smug")
    for x, y in ((190, 430), (410, 440), (150, 446)):
        potato(Pen(c, x, y, 0.9), face=False)
    logo(c, 562, 136, 30, 0.95)
    return c.image("RGB")


def sprite(w, h, draw, ss=8):
    c = Canvas(w, h, ss)
    draw(c)
    return c.image("RGBA")


def strip(cells):
    """Cells side by side; each was drawn on its own, so nothing spills into its neighbour."""
    out = Image.new("RGBA", (sum(c.width for c in cells), cells[0].height), (0, 0, 0, 0))
    x = 0
    for cell in cells:
        out.paste(cell, (x, 0))
        x += cell.width
    return out


def make_pictures(preview):
    rng = np.random.default_rng(9)
    pictures = {
        "taitol.png": title_screen(),
        "ki.png": play_screen(),
        "go.png": game_over_screen(),
        "kage.png": sprite(51, 84, lambda c: shadow(Pen(c))),
        "pote.png": sprite(30, 35, lambda c: potato(Pen(c))),
        "in.png": sprite(60, 70, lambda c: burr(Pen(c))),
        "gb.png": sprite(40, 40, lambda c: golden_potato(Pen(c))),
        "hit.png": strip([sprite(60, 60, lambda c: burst(Pen(c), 30, 30, i / 4.0, rng)) for i in range(5)]),
        "man.png": strip([sprite(51, 84, lambda c: potemaru(Pen(c), step=i)) for i in range(2)]),
    }
    for name, img in pictures.items():
        img.save(os.path.join(OUT_DIR, name), optimize=True)
    icon = sprite(32, 32, lambda c: potemaru(Pen(c, 3.8, -3.4, 0.48), step=-1, limbs=False), ss=8)
    icon.save(ICON_PATH, optimize=True)
    if preview:
        write_preview(pictures, icon, preview)


def write_preview(pictures, icon, path):
    sheet = Image.new("RGB", (1300, 1470), (120, 130, 140))
    sheet.paste(pictures["taitol.png"], (0, 0))
    sheet.paste(pictures["ki.png"], (650, 0))
    sheet.paste(pictures["go.png"], (0, 490))
    x = 650
    checker = Image.new("RGB", (650, 540), (200, 60, 200))
    sheet.paste(checker, (650, 490))
    for name in ("man.png", "kage.png", "pote.png", "in.png", "gb.png"):
        img = pictures[name]
        big = img.resize((img.width * 2, img.height * 2), Image.NEAREST)
        sheet.paste(big, (x, 500), big)
        x += big.width + 10
    hit = pictures["hit.png"]
    big = hit.resize((600, 120), Image.NEAREST)
    sheet.paste(big, (650, 700), big)
    sheet.paste(icon.resize((128, 128), Image.NEAREST), (650, 840), icon.resize((128, 128), Image.NEAREST))
    scene = pictures["ki.png"].copy()
    for img, pos in ((pictures["pote.png"], (100, 200)), (pictures["in.png"], (300, 150)),
                     (pictures["gb.png"], (450, 300)), (pictures["kage.png"], (250, 380))):
        scene.paste(img, pos, img)
    man = pictures["man.png"].crop((0, 0, 51, 84))
    scene.paste(man, (250, 380), man)
    hit1 = pictures["hit.png"].crop((120, 0, 180, 60))
    scene.paste(hit1, (380, 390), hit1)
    sheet.paste(scene, (0, 980))
    sheet.save(path)


# ---------------------------------------------------------------------------------------------
# Main
# ---------------------------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preview", help="also write a contact sheet of the pictures here")
    parser.add_argument("--only", choices=["pictures", "sounds"], help="make only one kind")
    args = parser.parse_args()
    if shutil.which("lame") is None and args.only != "pictures":
        sys.exit("lame is missing: apt-get install lame")
    os.makedirs(OUT_DIR, exist_ok=True)
    if args.only != "sounds":
        make_pictures(args.preview)
    if args.only != "pictures":
        make_sounds()


if __name__ == "__main__":
    main()
