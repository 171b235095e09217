#!/usr/bin/env python3
"""Python's binascii.crc_hqx (CRC-16/XMODEM in C) over the same bytes FileChecksum reads: every
8192-byte block without its first byte. Usage: crc_hqx_bench.py FILE"""
import binascii
import sys
import time

path = sys.argv[1]
start = time.perf_counter()
value = 0
size = 0
with open(path, "rb") as f:
    while True:
        block = f.read(8192)
        if not block:
            break
        size += len(block)
        value = binascii.crc_hqx(block[1:], value)
        if len(block) < 8192:
            break
elapsed = time.perf_counter() - start
print(f"crc_hqx         {elapsed:7.3f} s  {size / elapsed / 1048576:8.1f} MiB/s  value 0x{value:04X}")
