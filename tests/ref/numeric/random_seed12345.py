#!/usr/bin/env python3
# Reference draws of the library's RandomGenerator for seed 12345, computed independently
# from the published parameters of its Mersenne-twister-type recurrence:
# state 351 words, middle offset 175, lower mask 0x7FFFF, twist matrix 0xEABD75F5, tempering
# (11; 7, 0x655E5280; 15, 0xFFD58000; 17), seeding s = s*29943829 - 1 stored 351 times.
# Writes random_seed12345.csv: index, nextUInt32, and the nextUniform built from that value
# (800 draws cross two regenerations of the state).
import struct
import sys

N, M, LOWER, MATRIX, MASK32 = 351, 175, 0x7FFFF, 0xEABD75F5, 0xFFFFFFFF


def draws(s, count):
    state = []
    for _ in range(N):
        s = (s * 29943829 - 1) & MASK32
        state.append(s)
    for i in range(count):
        if i % N == 0:  # twist
            for k in range(N):
                y = (state[k] & (MASK32 ^ LOWER)) | (state[(k + 1) % N] & LOWER)
                state[k] = state[(k + M) % N] ^ (y >> 1) ^ (MATRIX if y & 1 else 0)
        y = state[i % N]
        y ^= y >> 11
        y ^= (y << 7) & 0x655E5280
        y ^= (y << 15) & 0xFFD58000
        yield (y ^ (y >> 17)) & MASK32


with open(sys.argv[1] if len(sys.argv) > 1 else "random_seed12345.csv", "w") as out:
    out.write("# RandomGenerator reference draws, seed 12345; python %s\n" % sys.version.split()[0])
    out.write("index,uint32,uniform\n")
    for i, u in enumerate(draws(12345, 800)):
        uniform = struct.unpack("<d", struct.pack("<Q", 0x3FF0000000000000 | (u << 20)))[0] - 1.0
        out.write("%d,%d,%.17g\n" % (i, u, uniform))
