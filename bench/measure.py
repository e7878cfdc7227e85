#!/usr/bin/env python3
"""Times the converters on timing files and prints the table.

    measure.py --lorvex BIN --port BIN --spawn BIN --rounds N --out-dir DIR \
               [--json FILE] NAME=INPUT...

For every input (in the order given) it reads the file once into the page
cache, then runs N rounds of five programs, their order turned by one each
round: "lorvex -q IN OUT", "lorvex IN OUT" with the trace sent to
/dev/null, "cat IN > OUT", "dd if=IN of=OUT bs=128K" and the stdio port "stdio_port IN OUT". Each
run goes through the spawn_usage helper, which forks, execs and reaps it
with wait4 and reports its wall time, CPU time and peak RSS. Outputs go
to OUT-DIR and are removed before and after each run, so that no run pays
for truncating an old one.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys

PROGRAMS = ("lorvex -q", "lorvex trace", "cat", "dd copy", "stdio port")


def command_lines(lorvex, port, cat, dd, src, dst):
    """argv and stdout target of each program."""
    return {
        "lorvex -q": ([lorvex, "-q", src, dst], os.devnull),
        "lorvex trace": ([lorvex, src, dst], os.devnull),
        "cat": ([cat, src], dst),
        # cat may copy inside the kernel (copy_file_range); dd moves every
        # byte through user space with read and write, as a converter must.
        "dd copy": ([dd, "if=" + src, "of=" + dst, "bs=128K", "status=none"], os.devnull),
        "stdio port": ([port, src, dst], os.devnull),
    }


def timed_run(spawn, argv, stdout_path):
    """Wall seconds, CPU seconds, peak RSS in KiB and exit status of one run.

    The run goes through spawn_usage: a child forked from this Python
    process would report Python's own size as its peak RSS.
    """
    done = subprocess.run([spawn, stdout_path] + argv, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, check=True, text=True)
    wall, cpu, rss, code = done.stdout.split()
    return float(wall), float(cpu), int(rss), int(code)


def remove(path):
    try:
        os.unlink(path)
    except FileNotFoundError:
        pass


def page_cache(path):
    with open(path, "rb") as f:
        while f.read(8 << 20):
            pass


def measure_case(name, src, args, cat):
    size = os.path.getsize(src)
    dst = os.path.join(args.out_dir, "out-%s.txt" % name)
    runs = {p: [] for p in PROGRAMS}
    out_size = {}
    failed = {}
    page_cache(src)
    commands = command_lines(args.lorvex, args.port, cat, shutil.which("dd"), src, dst)
    for r in range(args.rounds):
        order = PROGRAMS[r % len(PROGRAMS):] + PROGRAMS[:r % len(PROGRAMS)]
        for prog in order:
            remove(dst)
            os.sync()  # the last output's pages are gone; start every run clean
            argv, stdout_path = commands[prog]
            wall, cpu, rss, rc = timed_run(args.spawn, argv, stdout_path)
            if rc != 0:
                failed[prog] = rc
            out_size.setdefault(prog, os.path.getsize(dst) if os.path.exists(dst) else 0)
            runs[prog].append((wall, cpu, rss))
        print("  %s: round %d of %d done" % (name, r + 1, args.rounds), file=sys.stderr, flush=True)
    remove(dst)

    result = {"case": name, "input": src, "bytes": size, "rounds": args.rounds, "programs": {}}
    for prog in PROGRAMS:
        walls = [w for w, _, _ in runs[prog]]
        med = statistics.median(walls)
        result["programs"][prog] = {
            "median_s": med,
            "min_s": min(walls),
            "max_s": max(walls),
            "cpu_s": statistics.median(c for _, c, _ in runs[prog]),
            "mb_per_s": size / med / 1e6 if med > 0 else float("inf"),
            "max_rss_kib": max(k for _, _, k in runs[prog]),
            "out_ratio": out_size.get(prog, 0) / size if size else 0.0,
            "exit": failed.get(prog, 0),
        }
    p = result["programs"]
    result["ratios"] = {
        "lorvex-q/cat": p["lorvex -q"]["median_s"] / p["cat"]["median_s"],
        "lorvex-q/dd": p["lorvex -q"]["median_s"] / p["dd copy"]["median_s"],
        "trace/quiet": p["lorvex trace"]["median_s"] / p["lorvex -q"]["median_s"],
        "baseline/lorvex-q": p["stdio port"]["median_s"] / p["lorvex -q"]["median_s"],
    }
    return result


def table(headers, rows, align):
    widths = [max(len(h), *(len(r[i]) for r in rows)) for i, h in enumerate(headers)]

    def line(cells):
        return "  ".join(c.ljust(w) if a == "<" else c.rjust(w)
                         for c, w, a in zip(cells, widths, align)).rstrip()

    out = [line(headers), line(["-" * w for w in widths])]
    out += [line(r) for r in rows]
    return "\n".join(out)


def report(results, rounds):
    rows = []
    for res in results:
        for prog in PROGRAMS:
            p = res["programs"][prog]
            rows.append([
                res["case"] if prog == PROGRAMS[0] else "",
                "%.0f" % (res["bytes"] / (1 << 20)) if prog == PROGRAMS[0] else "",
                prog,
                "%.3f" % p["median_s"],
                "%.3f" % p["min_s"],
                "%.3f" % p["max_s"],
                "%.1f" % p["mb_per_s"],
                "%.3f" % p["cpu_s"],
                "%d" % p["max_rss_kib"],
                "%.2f" % p["out_ratio"],
                "ok" if p["exit"] == 0 else "exit %d" % p["exit"],
            ])
    print("Wall time over %d rounds (median, min, max); MB/s = input bytes / median, 10^6 bytes;"
          " cpu = user+sys (median); RSS = peak of the child" % rounds)
    print()
    print(table(["case", "MiB", "program", "median s", "min s", "max s", "MB/s", "cpu s",
                 "max RSS KiB", "out/in", "status"],
                rows, "<><>>>>>>><"))
    print()
    rows = []
    for res in results:
        q = res["programs"]["lorvex -q"]
        r = res["ratios"]
        rows.append([res["case"], "%.2f" % r["lorvex-q/cat"], "%.2f" % r["lorvex-q/dd"],
                     "%.2f" % r["trace/quiet"],
                     "%.2f" % r["baseline/lorvex-q"], "%.1f" % q["mb_per_s"],
                     "%d" % q["max_rss_kib"]])
    print(table(["case", "lorvex-q/cat", "lorvex-q/dd", "trace/quiet", "baseline/lorvex-q",
                 "lorvex-q MB/s", "lorvex-q RSS KiB"], rows, "<>>>>>>"))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--lorvex", required=True)
    ap.add_argument("--port", required=True)
    ap.add_argument("--spawn", required=True, help="the spawn_usage helper")
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--out-dir", required=True)
    ap.add_argument("--json", help="also write the figures to this file")
    ap.add_argument("cases", nargs="+", metavar="NAME=INPUT")
    args = ap.parse_args()
    if args.rounds < 1:
        ap.error("--rounds must be at least 1")
    cat = shutil.which("cat")
    if cat is None or shutil.which("dd") is None:
        ap.error("cat or dd not found")
    args.lorvex = os.path.abspath(args.lorvex)
    args.port = os.path.abspath(args.port)
    args.spawn = os.path.abspath(args.spawn)

    results = []
    for case in args.cases:
        name, _, src = case.partition("=")
        results.append(measure_case(name, src, args, cat))
    print()
    report(results, args.rounds)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    return 1 if any(p["exit"] for r in results for p in r["programs"].values()) else 0


if __name__ == "__main__":
    sys.exit(main())
