#!/usr/bin/env python3
"""Runs compose_bench and prints, for every pixel set, the full-frame
composition relative to memcpy of one 1080p frame (hot and cold, same
run), the one-glyph frame relative to the full frame, whether each set
composed the same picture, and the targets: a full frame in at most 5
memcpy times, a glyph frame under 2 % of a full one.

Times are medians of the repetitions, in CPU time (preemption on a shared
machine stays out).

usage: bench/compose_bench_report.py BUILD_DIR [repetitions]
"""
import json
import os
import subprocess
import sys

FULL_TARGET = 5.0  # times one frame memcpy
GLYPH_TARGET = 0.02  # of a full frame


def main():
    build = sys.argv[1]
    reps = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    bench = os.path.join(build, "bench", "compose_bench")
    out = subprocess.run(
        [bench, "--benchmark_format=json", "--benchmark_min_time=0.5",
         f"--benchmark_repetitions={reps}", "--benchmark_report_aggregates_only=true"],
        check=True, capture_output=True, text=True).stdout
    runs = json.loads(out)["benchmarks"]
    ms = {}
    hashes = {}
    for r in runs:
        if r.get("error_occurred"):
            print(f"{r['run_name']}: {r.get('error_message', 'failed')}")
            continue
        if r.get("aggregate_name") != "median":
            continue
        unit = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[r["time_unit"]]
        ms[r["run_name"]] = r["cpu_time"] * unit
        if "frameHash" in r:
            hashes[r["run_name"]] = int(r["frameHash"])

    hot, cold = ms["memcpyFrame/hot"], ms["memcpyFrame/cold"]
    print(f"memcpy of one 1920x1080x4 frame: hot {hot:.3f} ms, cold {cold:.3f} ms (median of {reps})")
    print()
    print(f"{'set':9s} {'full ms':>8s} {'x hot':>6s} {'x cold':>7s} {'glyph us':>9s} {'glyph/full':>10s}  targets")
    for s in ("portable", "sse2", "avx2"):
        full, glyph = ms.get(f"ComposeFull/{s}"), ms.get(f"ComposeGlyph/{s}")
        if full is None or glyph is None:
            continue
        share = glyph / full
        verdict = (f"full {'met' if full / hot <= FULL_TARGET else 'MISSED'} (hot), "
                   f"{'met' if full / cold <= FULL_TARGET else 'MISSED'} (cold); "
                   f"glyph {'met' if share < GLYPH_TARGET else 'MISSED'}")
        print(f"{s:9s} {full:8.3f} {full / hot:6.2f} {full / cold:7.2f} {glyph * 1e3:9.1f} {share * 100:9.3f}%  {verdict}")

    # A glyph frame recomposes part of the full frame, so it too must end
    # on the same picture.
    if len(set(hashes.values())) > 1:
        print("\nPICTURES DIFFER: " + ", ".join(f"{n} {h:08x}" for n, h in hashes.items()))
    elif hashes:
        print(f"\nevery set and frame kind ended on the same picture (hash {next(iter(hashes.values())):08x})")


if __name__ == "__main__":
    main()
