#!/usr/bin/env python3
"""Side by side, in one run: 200 healthy simulated terminals pushed by a sequential
loop, by `xargs -P 8` running kestalentry, by GNU parallel running the same (when
installed) and by `kestal-fleet push --jobs 8`, with wall and CPU seconds of each;
see bench/README.md, section 4. Runs inside scripts/with-postgres.sh (bench/fleet.sh)."""
import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

import benchlib
import fleet_bench


def healthy(i):
    return "127.0.40.%d" % (1 + i)


def timed(argv, cwd, stdin_path):
    """Wall and CPU seconds (the command and every process it waited for)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    with open(stdin_path, "rb") as stdin:
        done = subprocess.run(argv, cwd=cwd, stdin=stdin, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        raise SystemExit("%s failed: %s" % (argv[0], done.stderr.decode(errors="replace")))
    cpu = after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
    return wall, cpu


def commands(programs, names_file, jobs):
    tool = programs.tool
    fleet = os.path.join(os.path.dirname(tool), "kestal-fleet")
    found = {
        "loop": ["sh", "-c", 'while IFS= read -r n; do "$0" bench "$n" "*STO"; done', tool],
        "xargs -P %d" % jobs: ["xargs", "-P", str(jobs), "-I{}", tool, "bench", "{}", "*STO"],
        "kestal-fleet --jobs %d" % jobs: [fleet, "push", "bench", "*STO", "--terminals",
                                          names_file, "--jobs", str(jobs)],
    }
    if shutil.which("parallel"):
        found["GNU parallel -j %d" % jobs] = ["parallel", "--will-cite", "-j", str(jobs), tool,
                                              "bench", "{}", "*STO"]
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--terminals", type=int, default=200)
    parser.add_argument("--entries", type=int, default=50)
    parser.add_argument("--delay-ms", type=int, default=2)
    parser.add_argument("--jobs", type=int, default=8)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    programs = benchlib.Programs(os.environ["KESTAL_BENCH_BUILD"])
    scratch, out = os.environ["KESTAL_BENCH_SCRATCH"], os.environ["KESTAL_BENCH_OUT"]
    names = [healthy(i) for i in range(args.terminals)]
    fleet_bench.setup_database(args.entries, names)
    tree = benchlib.Tree(os.path.join(scratch, "side"), programs,
                         [("LOGIN", "fleet_bench"), ("PASS", "bench-pass"),
                          ("DB_SYSTEM", "POSTGRES"), ("DATABASE", "kestal_pg")])
    names_file = fleet_bench.write_names(os.path.join(scratch, "side-names"), names)
    sim = benchlib.Simulator(programs, "%s-%s" % (names[0], names[-1]), scratch, "side")
    try:
        rows = run(programs, tree, names_file, args)
    finally:
        sim.stop()
    report(rows, args, out)


def run(programs, tree, names_file, args):
    samples = {label: [] for label in commands(programs, names_file, args.jobs)}
    load_before = os.getloadavg()
    for round_ in range(args.repeat):
        for label, argv in commands(programs, names_file, args.jobs).items():
            if label == "loop" and round_ > 0:
                continue  # the slowest; once is enough
            fleet_bench.reset(tree)
            wall, cpu = timed(argv, tree.workdir, names_file)
            samples[label].append((wall, cpu))
            print("%-24s %6.1f s wall, %6.1f s CPU" % (label, wall, cpu), flush=True)
    load_after = os.getloadavg()
    rows = []
    for label, values in samples.items():
        rows.append((label, statistics.median(w for w, _ in values),
                     statistics.median(c for _, c in values), len(values)))
    return rows, load_before, load_after


def report(result, args, out):
    rows, load_before, load_after = result
    xargs = next(r for r in rows if r[0].startswith("xargs"))
    lines = ["%d healthy terminals, %d entries each, %d ms per reply; load average %.2f before, "
             "%.2f after (%d cores)" % (args.terminals, args.entries, args.delay_ms,
                                        load_before[0], load_after[0], os.cpu_count()), "",
             "| how | wall s (median) | CPU s (median) | CPU ms per transfer | wall / xargs | "
             "runs |", "|---|---:|---:|---:|---:|---:|"]
    for label, wall, cpu, count in rows:
        lines.append("| %s | %.1f | %.1f | %.0f | %.2f | %d |" %
                     (label, wall, cpu, cpu * 1000 / args.terminals, wall / xargs[1], count))
    table = "\n".join(lines) + "\n"
    with open(os.path.join(out, "fleet-side.md"), "w") as md:
        md.write(table)
    print(table)


if __name__ == "__main__":
    sys.exit(main())
