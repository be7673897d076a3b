#!/usr/bin/env python3
"""Runs pixel_bench and prints every figure in Mpixel/s and as time
relative to memcpy of the same bytes in the same run (hot with hot, cold
with cold), then the callgrind instructions per pixel of each set's
AlphaOver and of pixman's OVER on the same rows.

usage: bench/pixel_bench_report.py BUILD_DIR [benchmark filter]
"""
import json
import os
import re
import subprocess
import sys
import tempfile

ROW_PIXELS = 1920


def main():
    build = sys.argv[1]
    flt = sys.argv[2] if len(sys.argv) > 2 else "."
    bench = os.path.join(build, "bench", "pixel_bench")
    out = subprocess.run(
        [bench, "--benchmark_filter=memcpy|" + flt, "--benchmark_format=json", "--benchmark_min_time=0.2"],
        check=True, capture_output=True, text=True).stdout
    runs = json.loads(out)["benchmarks"]
    per_row = {}
    for r in runs:
        unit = {"ns": 1.0, "us": 1e3, "ms": 1e6}[r["time_unit"]]
        per_row[r["name"]] = r["cpu_time"] * unit  # preemption on a shared machine stays out
    memcpy = {"hot": per_row["memcpy/hot"], "cold": per_row["memcpy/cold"]}
    print(f"{'benchmark':56s} {'Mpix/s':>9s} {'x memcpy':>9s}")
    for name, ns in per_row.items():
        temp = name.rsplit("/", 1)[-1]
        print(f"{name:56s} {ROW_PIXELS / ns * 1e3:9.0f} {ns / memcpy[temp]:9.2f}")

    rows = 2000
    print()
    for s in ("portable", "sse2", "avx2", "pixman"):
        for kind in ("random", "sprite"):
            with tempfile.TemporaryDirectory() as tmp:
                target = os.path.join(tmp, "callgrind.out")
                done = subprocess.run(
                    ["valgrind", "--tool=callgrind", "--toggle-collect=*Run*Rows*",
                     f"--callgrind-out-file={target}",
                     os.path.join(build, "bench", "pixel_bench_instructions"), s, kind, str(rows)],
                    capture_output=True, text=True)
                if done.returncode != 0:
                    print(f"AlphaOver {s} {kind}: not run ({done.stderr.strip().splitlines()[-1:]})")
                    continue
                with open(target) as f:
                    total = next(int(m.group(1)) for line in f if (m := re.match(r"summary: (\d+)", line)))
                name = "pixman OVER" if s == "pixman" else f"AlphaOver {s}"
                print(f"{name:18s} {kind:6s}: {total / (rows * ROW_PIXELS):.2f} instructions per pixel")


if __name__ == "__main__":
    main()
