#!/usr/bin/env python3
# The many-terminals benchmark: kestal-sim on 100 loopback addresses, 100 kestalentry
# *STO runs started 1, 2, 4 and 8 at a time by xargs -P against one PostgreSQL database
# and one run log. Reports transfers per second, then checks that every status row
# ended with TrmDac 0 and that the run log holds every run's lines exactly once.
# A last round starts just below the rotation size, so the runs rotate the log
# while they write; the log and its backup together must then hold every line.
# Expects the environment of scripts/with-postgres.sh.
import argparse
import collections
import csv
import os
import subprocess
import sys
import time

import benchlib as b

FIRST, COUNT = 2, 100
ADDRESSES = ["127.0.0.%d" % n for n in range(FIRST, FIRST + COUNT)]
TEMPLATE_TERMINAL = ADDRESSES[0]
ROTATION_LIMIT = 10485760


def reset_rows():
    # Rows as an interrupted earlier transfer would leave them: active, with a status.
    b.psql("DELETE FROM vxsystem.vxs1140trm; INSERT INTO vxsystem.vxs1140trm "
           "(trmnam, trmdbe, trmdtp, trmdst, trmdpg, trmdac) SELECT '127.0.0.' || n, 'old', 3, 7, "
           "5, 1 FROM generate_series(%d, %d) AS n;" % (FIRST, FIRST + COUNT - 1))


def log_lines(*paths):
    lines = []
    for path in paths:
        if os.path.exists(path):
            with open(path, "rb") as f:
                data = f.read()
            if data and not data.endswith(b"\n"):
                lines.append(b"<unended last line>")
            lines.extend(data.split(b"\n")[:-1] if data else [])
    return lines


def expected_lines(template):
    """Every terminal's run, made from the lines of one run to the first terminal."""
    wanted = collections.Counter()
    key = TEMPLATE_TERMINAL.encode()
    for terminal in ADDRESSES:
        for line in template:
            wanted[line.replace(key, terminal.encode())] += 1
    return wanted


def check_rows():
    bad = b.psql("SELECT trmnam, trmdac, coalesce(trmdst::text, 'NULL') FROM vxsystem.vxs1140trm "
                 "WHERE trmdac <> 0 OR trmdst IS NOT NULL OR trmdnm IS DISTINCT FROM 'Registry';")
    total = int(b.psql("SELECT count(*) FROM vxsystem.vxs1140trm;"))
    return total == COUNT and not bad.strip(), bad.strip()


def compare(actual, wanted):
    got = collections.Counter(b.mask_timestamps(l.decode("latin-1")).encode("latin-1")
                              for l in actual)
    missing = sum((wanted - got).values())
    extra = sum((got - wanted).values())
    return missing, extra, (got - wanted).most_common(3)


def run_round(programs, tree, parallel, out):
    reset_rows()
    names = "\n".join(ADDRESSES) + "\n"
    started = time.monotonic()
    result = subprocess.run(["xargs", "-P", str(parallel), "-I", "{}", programs.tool, "bench", "{}",
                             "*STO"], input=names.encode(), cwd=tree.workdir,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.monotonic() - started
    if result.returncode != 0:
        print("xargs reported a failed run: %s" % result.stderr.decode(errors="replace"))
    return wall, result.returncode == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--sites", type=int, default=100)
    args = parser.parse_args()
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    programs = b.Programs(args.build)
    tree = b.Tree(os.path.join(args.scratch, "tree-many"), programs,
                  [("LOGIN", os.environ["KESTAL_PG_USER"]),
                   ("PASS", os.environ["KESTAL_PG_PASSWORD"]), ("DB_SYSTEM", "POSTGRES"),
                   ("DATABASE", os.environ["KESTAL_PG_DSN"])])
    b.psql(b.postgres_sites_sql(args.sites))
    sim = b.Simulator(programs, "%s-%s" % (ADDRESSES[0], ADDRESSES[-1]), args.scratch, "many")
    rows = []
    ok = True
    try:
        # The lines of one run, timestamps masked: the pattern every run must leave.
        reset_rows()
        tree.clear_log()
        subprocess.run([programs.tool, "bench", TEMPLATE_TERMINAL, "*STO"], cwd=tree.workdir,
                       check=True, stdout=subprocess.DEVNULL)
        template = [b.mask_timestamps(l.decode("latin-1")).encode("latin-1")
                    for l in log_lines(tree.log)]
        wanted = expected_lines(template)

        print("%d transfers of %d entries each, one run log, one database" % (COUNT, args.sites))
        print("%-10s %8s %12s %8s %9s %8s %6s %s" % ("round", "parallel", "transfers/s", "wall s",
                                                     "rows ok", "missing", "extra", "example"))
        rounds = [(p, False) for p in (1, 2, 4, 8)] + [(8, True)]
        for parallel, rotate in rounds:
            tree.clear_log()
            filler = []
            if rotate:
                # Just below the limit: the first lines of this round rotate the log.
                line = b"x" * 99
                with open(tree.log, "wb") as f:
                    for i in range((ROTATION_LIMIT - 20000) // 108):
                        text = b"filler %06d " % i + line
                        f.write(text + b"\n")
                        filler.append(text)
            wall, runs_ok = run_round(programs, tree, parallel, out)
            rows_ok, bad = check_rows()
            want = wanted + collections.Counter(filler)
            missing, extra, example = compare(log_lines(tree.backup, tree.log), want)
            rotated = os.path.exists(tree.backup)
            label = "rotating" if rotate else "plain"
            good = runs_ok and rows_ok and missing == 0 and extra == 0 and (rotated or not rotate)
            ok = ok and good
            print("%-10s %8d %12.1f %8.2f %9s %8d %6d %s" % (
                label, parallel, COUNT / wall, wall, "yes" if rows_ok else "NO", missing, extra,
                example[0][0][:60] if example else ""))
            if not rows_ok:
                print("  rows not finished: " + bad.replace("\n", "; "))
            if rotate and not rotated:
                print("  the log was not rotated")
            rows.append(dict(round=label, parallel=parallel, transfers_per_s="%.2f" % (COUNT / wall),
                             wall_s="%.3f" % wall, rows_ok=rows_ok, lines_missing=missing,
                             lines_extra=extra))
    finally:
        sim.stop()
    with open(os.path.join(out, "many_terminals.csv"), "w", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=list(rows[0].keys()))
        writer.writeheader()
        writer.writerows(rows)
    print("%s: every row finished and every run's lines in the log exactly once" %
          ("PASSED" if ok else "FAILED"))
    return 0 if ok else 4


if __name__ == "__main__":
    sys.exit(main())
