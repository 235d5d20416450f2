#!/usr/bin/env bash
# Makes every harness's seed corpus under fuzz/corpus/<harness>/ (they are committed; run this
# again when a parser learns a new variant): fuzz/make_seeds.sh QRPACK
# QRPACK is a built qrpack (build/release/tools/qrpack), for the archive seeds.
set -euo pipefail
cd "$(dirname "$0")"
qrpack=$(realpath "$1")
python3 make_image_seeds.py corpus
bash make_archive_seeds.sh "$qrpack" corpus
sound=$(mktemp -d)
trap 'rm -rf "$sound"' EXIT
python3 make_sound_seeds.py "$sound"
for pair in "sound_converter_fuzz converter" "wave_fuzz wave" "mp3_scan_fuzz mp3" "adpcm_fuzz adpcm"; do
  set -- $pair
  mkdir -p "corpus/$1"
  cp "$sound/$2"/* "corpus/$1/"
done
# A-law and mu-law: the first byte chooses the law (bit 0) and the channels, the rest is coded.
mkdir -p corpus/g711_fuzz
printf '\x01\xd5\x55\x2a\xaa\x80\x00\xff\x7f' > corpus/g711_fuzz/alaw_mono
printf '\x02\xff\x7f\x00\x80\x10\x90\xe0\x60' > corpus/g711_fuzz/mulaw_stereo
