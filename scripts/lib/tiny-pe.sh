# shellcheck shell=bash
# Sourced: tiny_pe writes the smallest Windows program osslsigncode signs
# like any other (1 KB: the headers and one code section holding a `ret`),
# so that scripts/package can try the signing credentials in a second,
# before the real programs are built, and with no compiler. Every
# osslsigncode since 1.x signs a PE file; scripts and cabinets only lately.

# The number $1 as $2 little-endian bytes.
le() {
  local i byte bytes=""
  for ((i = 0; i < $2; i++)); do
    printf -v byte '\\x%02x' $((($1 >> (8 * i)) & 255))
    bytes+=$byte
  done
  printf '%b' "$bytes"
}
zeros() { head -c "$1" /dev/zero; }

tiny_pe() {
  # MS-DOS header: only the signature and where the PE header starts.
  printf 'MZ'; zeros 58; le 0x40 4
  printf 'PE\0\0'
  # COFF header: x86-64, one section, a 240-byte optional header, an executable.
  le 0x8664 2; le 1 2; zeros 12; le 240 2; le 0x22 2
  # PE32+ optional header: the entry point at the code section's start, image
  # base, section and file alignment, Windows 6.0 console subsystem, stack and
  # heap, and 16 empty data directories (osslsigncode fills in the security one).
  le 0x20b 2; zeros 2; le 0x200 4; zeros 8; le 0x1000 4; le 0x1000 4
  le 0x140000000 8; le 0x1000 4; le 0x200 4
  le 6 2; zeros 6; le 6 2; zeros 6
  le 0x2000 4; le 0x200 4; zeros 4; le 3 2; le 0x8160 2
  le 0x100000 8; le 0x1000 8; le 0x100000 8; le 0x1000 8; zeros 4; le 16 4
  zeros 128
  # The section table: .text, 1 byte of code at 0x1000, its 512 bytes at 0x200.
  printf '.text\0\0\0'; le 1 4; le 0x1000 4; le 0x200 4; le 0x200 4; zeros 12; le 0x60000020 4
  zeros $((0x200 - 0x170))
  printf '\xc3'; zeros 511
}
