#!/usr/bin/env python3
"""Reference draws of the library's RandomGenerator for seed 12345, computed independently
from the published parameters of its Mersenne-twister-type recurrence:
state 351 words, middle offset 175, lower mask 0x7FFFF, twist matrix 0xEABD75F5, tempering
(11; 7, 0x655E5280; 15, 0xFFD58000; 17), seeding s = s*29943829 - 1 stored 351 times.
Writes random_seed12345.csv: index, nextUInt32, and the nextUniform built from that value.
"""
import struct
import sys

N, M = 351, 175
LOWER = 0x7FFFF
UPPER = 0xFFFFFFFF ^ LOWER
MATRIX = 0xEABD75F5
MASK32 = 0xFFFFFFFF


def seeded(s):
    state = []
    for _ in range(N):
        s = (s * 29943829 - 1) & MASK32
        state.append(s)
    return state


def twist(state):
    out = list(state)
    for k in range(N):
        y = (out[k] & UPPER) | (out[(k + 1) % N] & LOWER)
        out[k] = out[(k + M) % N] ^ (y >> 1) ^ (MATRIX if y & 1 else 0)
    return out


def temper(y):
    y ^= y >> 11
    y ^= (y << 7) & 0x655E5280
    y ^= (y << 15) & 0xFFD58000
    y ^= y >> 17
    return y & MASK32


def draws(seed, count):
    state = seeded(seed)
    pos = N
    for _ in range(count):
        if pos >= N:
            state = twist(state)
            pos = 0
        yield temper(state[pos])
        pos += 1


def uniform(u):
    bits = 0x3FF0000000000000 | (u << 20)
    return struct.unpack("<d", struct.pack("<Q", bits))[0] - 1.0


def main():
    out = open(sys.argv[1] if len(sys.argv) > 1 else "random_seed12345.csv", "w")
    out.write("# RandomGenerator reference draws, seed 12345; python %s\n" % sys.version.split()[0])
    out.write("index,uint32,uniform\n")
    # 800 draws cross two regenerations of the 351-word state.
    for i, u in enumerate(draws(12345, 800)):
        out.write("%d,%d,%.17g\n" % (i, u, uniform(u)))


if __name__ == "__main__":
    main()
