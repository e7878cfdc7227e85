#!/usr/bin/env python3
"""Writes a timing file of a given size for the benchmark, the same for the
same arguments and seed.

    gen_timing.py --mib 256 --seed 1 [--values 8-64 | --values 200] [--noise] OUT

Records come in blocks of a few hundred lines, each block with one clock
rate and a "# block N" comment before it; ids repeat in short runs so that
the sequence numbering counts up. --values gives the number of values of a
record (a range or one number); with many values the hex values are kept
short enough that every line stays below 1199 characters. --noise mixes in
blank lines, comments, junk text, records with leading blanks, signs and
0x prefixes, short records and bare LF line ends, but never more than
NOISE_RUN_MAX non-record lines in a row (the program stops at 31).
"""
import argparse
import operator
import os
import random
import sys

CLOCKS = (0x3E8, 0x7D0, 0x1F4, 0x2710)  # 1000, 2000, 500 and 10000 kHz
LINE_LIMIT = 1190                        # stay clear of the 1199-character read size
NOISE_RUN_MAX = 12
POOL_SIZE = 1 << 16
CHUNK = 8 << 20                          # bytes handed to one write()

# Weights of 1, 2, 3, 4 and 5 hex digits: mostly 4- and 5-digit numbers, as
# a logger writes them, with a tail of short ones.
DIGIT_WEIGHTS = (2, 5, 18, 45, 30)


def hex_number(rng, max_digits, weights=DIGIT_WEIGHTS):
    digits = rng.choices(range(1, max_digits + 1), weights=weights[:max_digits])[0]
    low = 1 if digits == 1 else 1 << (4 * (digits - 1))
    return rng.randrange(low, 1 << (4 * digits))


def value_pool(rng, max_digits):
    """Text of POOL_SIZE list values; about one in 500 carries a "-"."""
    pool = []
    for _ in range(POOL_SIZE):
        text = format(hex_number(rng, max_digits), "X")
        if rng.random() < 0.002:
            text = "-" + text
        pool.append(text)
    return pool


def parse_values(text):
    lo, _, hi = text.partition("-")
    lo = int(lo)
    hi = int(hi) if hi else lo
    if lo < 0 or hi < lo:
        raise argparse.ArgumentTypeError("--values wants N or LO-HI")
    return lo, hi


JUNK = (
    "ERR 0x1F timeout on channel 3",
    "$LOG,START,0007,A",
    "+++",
    "card A: 2048 KiB free",
    "power fail @ 00:13:52",
    "=== resync ===",
    "?? 5A 5A 00 17",
    "channel 2 = feed \xb0C",
)


class Noise:
    """The lines that --noise adds."""

    def __init__(self, rng):
        self.rng = rng

    def non_record(self):
        rng = self.rng
        kind = rng.randrange(6)
        if kind == 0:
            text = ""
        elif kind == 1:
            text = " " * rng.randrange(1, 9)
        elif kind == 2:
            text = " " * rng.randrange(0, 4) + "# note %d" % rng.randrange(100000)
        elif kind == 3:
            text = rng.choice(JUNK)
        elif kind == 4:
            text = "".join(chr(rng.randrange(0x21, 0x7F)) for _ in range(rng.randrange(1, 60)))
            if text[0] in "*#":
                text = "%" + text
        else:
            text = "%08X %s" % (rng.getrandbits(32), rng.choice(JUNK))
        return text

    def odd_record(self, ident, clock, count, ticks, values):
        """A record written in one of the less common ways."""
        rng = self.rng
        kind = rng.randrange(6)
        if kind == 0:    # leading blanks
            return "  *%012d,%X,%X,%X,%s" % (ident, clock, count, ticks, " ".join(values))
        if kind == 1:    # 0x prefixes and signs on the header
            return "*%012d,0x%X,+%X,0X%X,%s" % (ident, clock, count, ticks, " ".join(values))
        if kind == 2:    # other separators, wide blanks between values
            return "*%012d;%X;%X;%X;%s" % (ident, clock, count, ticks, "   ".join(values))
        if kind == 3:    # cut short after a header field
            cut = rng.randrange(4)
            fields = ["*%012d" % ident, "%X" % clock, "%X" % count, "%X" % ticks][: cut + 1]
            return ",".join(fields)
        if kind == 4:    # no values
            return "*%012d,%X,%X,%X," % (ident, clock, count, ticks)
        # a short id
        return "*%d,%X,%X,%X,%s" % (ident % 1000, clock, count, ticks, " ".join(values))


def generate(out, target, seed, values_range, noise):
    rng = random.Random(seed)
    lo, hi = values_range
    header_room = len("*000000000000,2710,FFFF,FFFFF,")
    # Longest value text that keeps hi values (plus a few signs) in bounds.
    max_digits = 5
    while max_digits > 1 and hi * (max_digits + 1) + 8 > LINE_LIMIT - header_room - 3:
        max_digits -= 1
    pool = value_pool(rng, max_digits)
    counts = ["%X" % hex_number(rng, 4, (4, 20, 40, 36)) for _ in range(4096)]
    ticks_pool = ["%X" % hex_number(rng, 5, (2, 10, 30, 38, 20)) for _ in range(4096)]
    noisy = Noise(rng) if noise else None

    randbytes = rng.randbytes
    getter = operator.itemgetter
    choice = rng.choice
    randrange = rng.randrange
    rand = rng.random

    written = 0
    lines = []
    size = 0
    block = 0
    ident = 100 + randrange(900)
    run_left = 0
    block_left = 0
    clock = CLOCKS[0]
    clock_text = "3E8"

    while written + size < target:
        if block_left == 0:
            block += 1
            block_left = randrange(200, 700)
            clock = choice(CLOCKS)
            clock_text = "%X" % clock
            line = "# block %d, clock %d kHz\r\n" % (block, clock)
            lines.append(line)
            size += len(line)
        block_left -= 1
        if run_left == 0:
            run_left = randrange(1, 7)
            ident = 100 + randrange(24) if rand() < 0.9 else randrange(10 ** 12)
        run_left -= 1

        # POOL_SIZE is 2^16: two random bytes pick one value (native byte order:
        # the files are the same on every little-endian machine).
        k = randrange(lo, hi + 1) if lo != hi else lo
        if k > 1:
            vals = getter(*memoryview(randbytes(2 * k)).cast("H"))(pool)
        else:
            vals = [pool[randrange(POOL_SIZE)]] * k
        if noisy is not None:
            if rand() < 0.2:
                eol_noise = "\n" if rand() < 0.3 else "\r\n"
                for _ in range(randrange(1, NOISE_RUN_MAX + 1)):
                    line = noisy.non_record() + eol_noise
                    lines.append(line)
                    size += len(line)
            if rand() < 0.05:
                line = noisy.odd_record(ident, clock, int(choice(counts), 16),
                                        int(choice(ticks_pool), 16), vals)
                if len(line) >= LINE_LIMIT:
                    line = "*%012d,%X,%X,%X,%s" % (ident, clock, 1, 1, " ".join(vals))
                line += "\n" if rand() < 0.3 else "\r\n"
                lines.append(line)
                size += len(line)
                continue
        line = "*%012d,%s,%s,%s,%s\r\n" % (ident, clock_text, choice(counts),
                                         choice(ticks_pool), " ".join(vals))
        lines.append(line)
        size += len(line)
        if size >= CHUNK:
            data = "".join(lines).encode("latin-1")
            out.write(data)
            written += len(data)
            lines = []
            size = 0
    if lines:
        out.write("".join(lines).encode("latin-1"))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--mib", type=float, required=True, help="size to write, in MiB")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--values", type=parse_values, default=(8, 64),
                    help="values per record: N or LO-HI (default 8-64)")
    ap.add_argument("--noise", action="store_true", help="mix in non-record and odd lines")
    ap.add_argument("out")
    args = ap.parse_args()

    target = int(args.mib * (1 << 20))
    tmp = args.out + ".part"
    with open(tmp, "wb") as out:
        generate(out, target, args.seed, args.values, args.noise)
    os.replace(tmp, args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
