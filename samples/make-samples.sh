#!/usr/bin/env bash
# Makes the sample files of this folder: our own pre-loader, chip loaders, application files,
# uploader loader stages and Intel hex file. Their contents are made-up bytes from a fixed-seed
# generator, so running this again gives the same files. Needs perl and srec_cat (srecord).
#
# Chip loaders carry the marker the simulated controller recognises: the ASCII text "LOADER:"
# followed by the memory's name ("CPU", "AMD29F0x0", "AT45D0x1" or "DS1994") and a 00h byte,
# at F600h, the first bytes of loader part 1.
#
# S-record and hex files get CR LF line ends, as files made on the controllers' usual PCs have.
# The INI files (Quorra.ini, QX.ini, US.ini, DE.ini) are kept by hand in this folder.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# bytes FILE COUNT SEED [PREFIX]: COUNT bytes, PREFIX (text, ending in a 00h byte) first.
bytes() {
    perl -e '
        my ($n, $x, $prefix) = @ARGV;
        my $out = defined $prefix ? $prefix . "\0" : "";
        while (length($out) < $n) {
            $x = ($x * 1103515245 + 12345) & 0x7fffffff;
            $out .= chr(($x >> 16) & 0xff);
        }
        print substr($out, 0, $n);
    ' "$2" "$3" ${4+"$4"} >"$1"
}

# srec FILE.bin OFFSET ADDRESS-LENGTH HEADER START: S-records of 32 data bytes on stdout.
srec() {
    srec_cat "$1" -binary -offset "$2" -o - -motorola -address-length="$3" -obs=32 \
        -header="$4" -execution-start-address="$5" -line-termination=crlf
}

# The pre-loader the processor's bootstrap loader takes: 32 bytes.
bytes PreLoad.bin 32 167

# Chip loaders: part 1 (F600h-F9FFh) as S1 records, part 2 (E000h-E7FFh) as S2 records; each
# covers only part of its image (the rest goes out as FFh).
loader() {  # NAME MARKER SEED
    bytes "$tmp/p1.bin" 600 "$3" "LOADER:$2"
    bytes "$tmp/p2.bin" 1500 "$(($3 + 1))"
    srec "$tmp/p1.bin" 0xF600 2 "$1" 0xF600 >"$tmp/p1.sre"
    srec "$tmp/p2.bin" 0xE000 3 "$1" 0xE000 >"$tmp/p2.sre"
    {
        grep -a '^S0' "$tmp/p1.sre"
        grep -a '^S1' "$tmp/p1.sre"
        grep -a '^S2' "$tmp/p2.sre"
        grep -a '^S9' "$tmp/p1.sre"
    } >"$1.sre"
}
loader LoaderC167 CPU 1000
loader LoaderC168 CPU 2000
loader LoaderAMD29F0x0 AMD29F0x0 3000
loader LoaderAT45D0x1 AT45D0x1 4000
loader LoaderDS1994 DS1994 5000

# Applications.
bytes "$tmp/a.bin" 20000 11
bytes "$tmp/b.bin" 3000 12
srec_cat "$tmp/a.bin" -binary "$tmp/b.bin" -binary -offset 0x020000 -o Appl.sre -motorola \
    -address-length=3 -obs=32 -header="Appl" -execution-start-address=0 -line-termination=crlf
bytes Appl.bin 10000 13                                 # binary image, any offset
bytes "$tmp/c.bin" 12000 14
srec "$tmp/c.bin" 0x040000 4 "ApplAMD29F0x0" 0x040000 >ApplAMD29F0x0.sre
bytes "$tmp/d.bin" 6000 15
srec "$tmp/d.bin" 0x1000 2 "ApplAT45D0x1" 0x1000 >ApplAT45D0x1.sre
bytes "$tmp/e.bin" 1024 16
srec "$tmp/e.bin" 0x0000 2 "ApplDS1994" 0x0000 >ApplDS1994.sre

# Uploader: loader stages per device model (TX37's LEVEL2.BIN needs no padding).
seed=20
for model in VR10 VR20 TX31 TX37; do
    mkdir -p "$model"
    bytes "$model/LEVEL1.BIN" 32 "$seed"
    size=1000
    [ "$model" = TX37 ] && size=1024
    bytes "$model/LEVEL2.BIN" "$size" "$((seed + 1))"
    seed=$((seed + 2))
done

# Intel hex file: 8 KiB at 00000h and 4 KiB at 10000h, 16-byte records, type 04 records and the
# end-of-file record.
bytes "$tmp/f.bin" 8192 30
bytes "$tmp/g.bin" 4096 31
srec_cat "$tmp/f.bin" -binary "$tmp/g.bin" -binary -offset 0x10000 -o firmware.hex -intel -obs=16 \
    -line-termination=crlf
