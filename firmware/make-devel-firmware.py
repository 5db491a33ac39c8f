#!/usr/bin/env python3
"""Writes devel.hex, the development firmware embedded by default.

The firmware has the shape of the instrument's shipped image: the first 128
bytes of flash (block 0x0000) and every byte from 0x03000 to 0x720FF (blocks
0x0060 to 0x0E41). The bytes are pseudo-random from a fixed seed, with runs of
0xFF (erased flash) and 0x00 (zeroed tables), so the program, the simulated
instrument and the tests see data that behaves like real firmware without
carrying anyone's real code. The output depends on nothing but this script.

Usage: make-devel-firmware.py [OUTPUT]   (default: devel.hex next to this file)
"""

import pathlib
import sys

SEED = 0x51E115B0
REGIONS = [(0x00000, 0x00080), (0x03000, 0x72100)]  # [start, end) device addresses
BYTES_PER_LINE = 32


class XorShift32:
    """A tiny generator of our own, so the bytes never change with Python."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def below(self, n):
        return self.next() % n

    def between(self, low, high):
        return low + self.below(high - low + 1)


def region_bytes(rng, size):
    """Code-like random stretches broken by runs of 0xFF and 0x00."""
    out = bytearray()
    while len(out) < size:
        pick = rng.below(100)
        if pick < 8:
            # Erased flash; now and then long enough to cover whole records.
            length = rng.between(4, 600 if pick == 0 else 96)
            out += b"\xff" * length
        elif pick < 14:
            out += b"\x00" * rng.between(2, 64)
        else:
            out += bytes(rng.below(256) for _ in range(rng.between(16, 512)))
    return out[:size]


def hex_line(address, record_type, data):
    body = bytes([len(data), (address >> 8) & 0xFF, address & 0xFF, record_type]) + data
    checksum = (-sum(body)) & 0xFF
    return ":" + (body + bytes([checksum])).hex().upper() + "\n"


def intel_hex(regions):
    lines = []
    upper = 0  # address bits 16 and up, as set by the last type-04 record
    for start, data in regions:
        for offset in range(0, len(data), BYTES_PER_LINE):
            address = start + offset
            if address >> 16 != upper:
                upper = address >> 16
                lines.append(hex_line(0, 0x04, upper.to_bytes(2, "big")))
            lines.append(hex_line(address & 0xFFFF, 0x00, bytes(data[offset:offset + BYTES_PER_LINE])))
    lines.append(hex_line(0, 0x01, b""))
    return "".join(lines)


def main():
    here = pathlib.Path(__file__).resolve().parent
    output = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else here / "devel.hex"
    rng = XorShift32(SEED)
    regions = [(start, region_bytes(rng, end - start)) for start, end in REGIONS]
    # Region starts and sizes are multiples of 32, so no line crosses a 64 KB boundary.
    assert all(start % BYTES_PER_LINE == 0 and len(data) % BYTES_PER_LINE == 0 for start, data in regions)
    output.write_text(intel_hex(regions), encoding="ascii", newline="\n")


if __name__ == "__main__":
    main()
