#!/usr/bin/env bash
# Writes starting files for the archive harnesses: fuzz/make_archive_seeds.sh QRPACK OUTDIR.
# OUTDIR/archive_table_fuzz/ gets archives qrpack packed (every version, stored and packed,
# nested and Japanese names); OUTDIR/archive_unpack_fuzz/ gets small packed streams.
set -euo pipefail
qrpack=$1
out=$2
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$out/archive_table_fuzz" "$out/archive_unpack_fuzz" "$tree/a/sub/深い" "$tree/a/empty"
printf 'potato potato potato potato potato potato\n' > "$tree/a/text.txt"
printf 'xyz' > "$tree/a/sub/x.bin"
: > "$tree/a/sub/深い/ソフト.dat"
head -c 300 /dev/urandom > "$tree/a/noise.bin"
for version in 0 1 2 3; do
  "$qrpack" pack "$tree/a" -o "$out/archive_table_fuzz/v$version.QRA" --version "$version"
done
"$qrpack" pack "$tree/a" -o "$out/archive_table_fuzz/stored.QRA" --store
# Packed streams: unpacked size, packed size, escape, tokens.
printf '\x0b\x00\x00\x00\x0d\x00\x00\x00\xff\x41\xff\x30\x00' > "$out/archive_unpack_fuzz/eleven"
printf '\x03\x00\x00\x00\x0d\x00\x00\x00\x10a\x10\x10z' > "$out/archive_unpack_fuzz/escape"
printf '\x0c\x00\x00\x00\x0e\x00\x00\x00\x20xy\x20\x31\x01' > "$out/archive_unpack_fuzz/pattern"
