#!/usr/bin/env python3
# The cost benchmark: kestalentry *STO against kestal-sim for several site counts on
# SQLite and PostgreSQL, beside the protocol floor and the database floor measured in
# the same run. Prints the table and the targets, writes results.csv, samples.csv and
# cost.png. Expects the environment of scripts/with-postgres.sh.
import argparse
import csv
import os
import re
import subprocess
import sys

import benchlib as b

TERMINAL = "127.0.0.240"
RTT_ADDRESS = "127.0.0.241"


def pg_section(original_ini, name, database):
    """The cluster's DSN, renamed and pointed at another database."""
    with open(original_ini) as f:
        text = f.read()
    text = re.sub(r"^\[.*\]$", "[%s]" % name, text, count=1, flags=re.M)
    return re.sub(r"^Database\s*=.*$", "Database = %s" % database, text, flags=re.M)


def make_sources(programs, scratch, source_dir, sizes):
    """One database per site count and backend, so the sizes can take turns."""
    original_ini = os.environ["ODBCINI"]
    pg_user, pg_pass = os.environ["KESTAL_PG_USER"], os.environ["KESTAL_PG_PASSWORD"]
    sections, sources = [], []
    for n in sizes:
        sqlite = b.Sqlite(os.path.join(scratch, "sqlite-%d" % n), programs, source_dir,
                          "kestal_bench_sqlite_%d" % n)
        sqlite.run(b.sqlite_sites_sql(n))
        sqlite.run("INSERT INTO vxs1140trm (trmnam, trmdac) VALUES ('%s', 0);" % TERMINAL)
        sections.append(sqlite.ini_section)
        sources.append(dict(backend="sqlite", entries=n, dsn=sqlite.dsn, user="bench",
                            password="bench", system="SQLITE",
                            row=lambda q=sqlite: q.run(
                                "SELECT trmdac, coalesce(trmdst, 'NULL') FROM vxs1140trm "
                                "WHERE trmnam = '%s';" % TERMINAL).strip()))
        database = "kestal_bench_%d" % n
        b.psql_admin("DROP DATABASE IF EXISTS %s;" % database)
        b.psql_admin("CREATE DATABASE %s OWNER %s TEMPLATE %s;" %
                     (database, pg_user, os.environ.get("PGDATABASE", "kestal")))
        b.psql(b.postgres_sites_sql(n) + " DELETE FROM vxsystem.vxs1140trm; INSERT INTO "
               "vxsystem.vxs1140trm (trmnam, trmdac) VALUES ('%s', 0);" % TERMINAL, database)
        sections.append(pg_section(original_ini, "kestal_bench_pg_%d" % n, database))
        sources.append(dict(backend="postgres", entries=n, dsn="kestal_bench_pg_%d" % n,
                            user=pg_user, password=pg_pass, system="POSTGRES",
                            row=lambda d=database: b.psql(
                                "SELECT trmdac, coalesce(trmdst::text, 'NULL') FROM "
                                "vxsystem.vxs1140trm WHERE trmnam = '%s';" % TERMINAL, d).strip()))
    b.write_odbc_ini(os.path.join(scratch, "odbc.ini"), sections)
    for source in sources:
        source["tree"] = b.Tree(os.path.join(scratch, "tree-%s-%d" % (source["backend"],
                                                                       source["entries"])),
                                programs, [("LOGIN", source["user"]), ("PASS", source["password"]),
                                           ("DB_SYSTEM", source["system"]),
                                           ("DATABASE", source["dsn"])])
    return sources


def check_run(programs, source):
    """One unmeasured run that must transfer every entry and finish the status row."""
    tree, entries = source["tree"], source["entries"]
    tree.clear_log()
    result = subprocess.run([programs.tool, "bench", TERMINAL, "*STO"], cwd=tree.workdir,
                            capture_output=True)
    last = result.stdout.rstrip(b"\n").split(b"\n")[-1] if result.stdout else b""
    with open(tree.log, "rb") as log:
        sent = sum(1 for line in log if line.startswith(b"an Terminal " + TERMINAL.encode()))
    row = source["row"]().replace("|", " ")
    if (result.returncode != 0 or not last.startswith(b"200" if entries else b"230") or
            sent != entries or row != "0 NULL"):
        raise SystemExit("%s, %d entries: bad run (exit %d, last line %r, %d sent, row %s)" %
                         (source["backend"], entries, result.returncode, last, sent, row))
    floor = subprocess.run([programs.odbc_floor, source["dsn"], source["user"],
                            source["password"], TERMINAL], capture_output=True, text=True)
    if floor.returncode != 0 or int(floor.stdout) != entries:
        raise SystemExit("database floor failed: %s %s" % (floor.stdout, floor.stderr))
    tree.clear_log()


def measure_all(programs, sources, reps, samples):
    """Every repetition takes every size and backend in turn, so a busy spell of the
    machine touches all figures alike instead of spoiling one size."""
    for source in sources:
        check_run(programs, source)
        source["runs"] = {"tool": [], "protocol": [], "logged": [], "database": []}
    # The logged floor appends to the tree's own log by the same relative path.
    floor_log = "../../Velmarion_php/log/KestalLog.txt"
    for rep in range(reps):
        for source in sources:
            if source["entries"] >= 5000 and rep >= max(3, reps - 2):
                continue
            runs = source["runs"]
            runs["tool"].append(b.measure(programs, [programs.tool, "bench", TERMINAL, "*STO"],
                                          cwd=source["tree"].workdir))
            runs["protocol"].append(b.measure(programs, [programs.floor, TERMINAL,
                                                         str(source["entries"])]))
            runs["logged"].append(b.measure(programs, [programs.floor, "--log", floor_log,
                                                       TERMINAL, str(source["entries"])],
                                            cwd=source["tree"].workdir))
            source["tree"].clear_log()
            runs["database"].append(b.measure(programs, [programs.odbc_floor, source["dsn"],
                                                         source["user"], source["password"],
                                                         TERMINAL]))
            source["tree"].clear_log()
        print("  repetition %d of %d done" % (rep + 1, reps), file=sys.stderr)
    results = {}
    for source in sources:
        for program, items in source["runs"].items():
            for rep, s in enumerate(items):
                samples.append([source["backend"], source["entries"], program, rep, s.wall_us,
                                s.cpu_us, s.rss_kib])
        results.setdefault(source["backend"], {})[source["entries"]] = {
            program: dict(wall=b.median([s.wall_us for s in items]),
                          cpu=b.median([s.cpu_us for s in items]),
                          rss=b.median([s.rss_kib for s in items]))
            for program, items in source["runs"].items()}
    return results


def summarise(results, sizes):
    table = []
    for name, rows in results.items():
        for n in sizes:
            r = rows[n]
            tool, proto, db = r["tool"]["wall"], r["protocol"]["wall"], r["database"]["wall"]
            logged = r["logged"]["wall"]
            floors = logged + db
            marginal = None
            if n > 0:
                # What each further entry adds above what it adds to the logged floor.
                marginal = ((tool - rows[0]["tool"]["wall"]) -
                            (logged - rows[0]["logged"]["wall"])) / n
            table.append(dict(
                backend=name, entries=n, tool_wall_ms=tool / 1000,
                tool_us_per_entry=tool / n if n else None, tool_cpu_ms=r["tool"]["cpu"] / 1000,
                tool_rss_kib=r["tool"]["rss"], protocol_floor_ms=proto / 1000,
                logged_floor_ms=logged / 1000, logged_cpu_ms=r["logged"]["cpu"] / 1000,
                database_floor_ms=db / 1000, database_cpu_ms=r["database"]["cpu"] / 1000,
                floors_ms=floors / 1000, ratio=tool / floors,
                unlogged_ratio=tool / (proto + db),
                overhead_us_per_entry=(tool - floors) / n if n else None,
                marginal_overhead_us_per_entry=marginal))
    return table


def fmt(value, pattern):
    return "-" if value is None else format(value, pattern)


def print_table(table):
    head = ("backend", "entries", "tool ms", "us/entry", "cpu ms", "rss KiB", "proto ms",
            "logged ms", "db ms", "ratio", "over us/e", "marg us/e")
    print("%-8s %7s %9s %8s %8s %8s %9s %9s %8s %6s %9s %9s" % head)
    for t in table:
        print("%-8s %7d %9.2f %8s %8.2f %8d %9.2f %9.2f %8.2f %6.3f %9s %9s" % (
            t["backend"], t["entries"], t["tool_wall_ms"], fmt(t["tool_us_per_entry"], ".2f"),
            t["tool_cpu_ms"], t["tool_rss_kib"], t["protocol_floor_ms"], t["logged_floor_ms"],
            t["database_floor_ms"], t["ratio"], fmt(t["overhead_us_per_entry"], ".2f"),
            fmt(t["marginal_overhead_us_per_entry"], ".2f")))


def targets(table):
    """The four targets per backend; True when all of them hold."""
    print("\nTargets")
    all_met = True
    for name in sorted({t["backend"] for t in table}):
        at = {t["entries"]: t for t in table if t["backend"] == name}
        checks = [
            ("tool / floors at 1000 entries <= 1.05", at[1000]["ratio"], 1.05, "%.3f"),
            ("tool / floors at 5000 entries <= 1.05", at[5000]["ratio"], 1.05, "%.3f"),
            ("time at 5000 / time at 1000 <= 5.5",
             at[5000]["tool_wall_ms"] / at[1000]["tool_wall_ms"], 5.5, "%.3f"),
            ("peak RSS at 5000 - at 10 <= 2048 KiB",
             at[5000]["tool_rss_kib"] - at[10]["tool_rss_kib"], 2048, "%d KiB"),
        ]
        for text, value, limit, pattern in checks:
            met = value <= limit
            all_met = all_met and met
            print("  %-8s %-56s %12s  %s" % (name, text, pattern % value, "met" if met else "MISSED"))
    return all_met


def plot(table, out):
    data = os.path.join(out, "cost.dat")
    series = []
    with open(data, "w") as f:
        for name in ("sqlite", "postgres"):
            rows = [t for t in table if t["backend"] == name and t["entries"] > 0]
            for key, label in (("tool_wall_ms", "kestalentry"), ("floors_ms", "sum of floors"),
                               ("logged_floor_ms", "logged protocol floor"),
                               ("database_floor_ms", "database floor")):
                if name == "postgres" and key == "logged_floor_ms":
                    continue  # the protocol floor does not depend on the database
                f.write("# %s %s\n" % (name, label))
                for t in rows:
                    f.write("%d %.4f\n" % (t["entries"], t[key]))
                f.write("\n\n")
                series.append("%s (%s)" % (label, name) if key != "logged_floor_ms" else label)
    plots = ", ".join("'%s' index %d using 1:2 with linespoints title '%s'" % (data, i, title)
                      for i, title in enumerate(series))
    png = os.path.join(out, "cost.png")
    script = ("set terminal png size 1000,700\nset output '%s'\nset logscale xy\n"
              "set xlabel 'entries (sites)'\nset ylabel 'wall time per run, ms (median)'\n"
              "set title 'kestalentry *STO against kestal-sim on loopback, and its floors'\n"
              "set key top left\nset grid\nplot %s\n" % (png, plots))
    subprocess.run(["gnuplot"], input=script, text=True, check=True)
    return png


def cluster_processes():
    """The throwaway cluster's postmaster and its children (never another server)."""
    pidfile = os.path.join(os.environ.get("KESTAL_PG_WORK", ""), "data", "postmaster.pid")
    try:
        with open(pidfile) as f:
            postmaster = int(f.readline())
    except (OSError, ValueError):
        return []
    pids = [postmaster]
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    # The parent follows the command name, which is in parentheses.
                    if int(f.read().rsplit(")", 1)[1].split()[1]) == postmaster:
                        pids.append(int(entry))
            except (OSError, ValueError, IndexError):
                pass
    return pids


def set_affinity(cpus):
    """Runs this process, everything it starts and the cluster's server on `cpus`.

    On a virtual machine a wake-up that crosses CPUs can cost ten times a loopback round
    trip, and where the scheduler puts a peer changes from run to run; on one CPU the tool
    and its floors are measured alike and the figures repeat."""
    os.sched_setaffinity(0, cpus)
    for pid in cluster_processes():
        try:
            os.sched_setaffinity(pid, cpus)
        except OSError:
            pass


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--reps", type=int, default=7)
    parser.add_argument("--sizes", default="0,10,100,1000,5000")
    parser.add_argument("--cpu", default="0",
                        help="the CPU every measured process runs on, or 'any'")
    args = parser.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    for needed in (0, 10, 1000, 5000):
        if needed not in sizes:
            sizes.append(needed)
    sizes.sort()
    args.out = os.path.abspath(args.out)
    os.makedirs(args.out, exist_ok=True)
    programs = b.Programs(args.build)

    # Statement logging of the throwaway cluster would be measured too; switch it off.
    b.psql_admin("ALTER SYSTEM SET log_statement = 'none'; ")
    b.psql_admin("SELECT pg_reload_conf();")

    all_cpus = os.sched_getaffinity(0)
    if args.cpu != "any":
        set_affinity({int(args.cpu)})
    try:
        return run_and_report(args, programs, sizes)
    finally:
        set_affinity(all_cpus)  # the many-terminals benchmark shares this cluster


def run_and_report(args, programs, sizes):
    rtt = b.median([float(subprocess.run([programs.floor, "--loopback-rtt", RTT_ADDRESS, "20000"],
                                         check=True, capture_output=True, text=True).stdout)
                    for _ in range(5)])
    sim = b.Simulator(programs, TERMINAL, args.scratch, "sim")
    samples = []
    try:
        sources = make_sources(programs, args.scratch, args.source, sizes)
        results = measure_all(programs, sources, args.reps, samples)
    finally:
        sim.stop()

    table = summarise(results, sizes)
    print("\nMedians of %d repetitions (3 or more at 5000 entries); times are wall clock."
          % args.reps)
    print_table(table)
    proto = [t for t in table if t["backend"] == "sqlite" and t["entries"] == 5000][0]
    proto_per_entry = (proto["protocol_floor_ms"] -
                       [t for t in table if t["backend"] == "sqlite" and t["entries"] == 0][0]
                       ["protocol_floor_ms"]) * 1000 / 5000
    print("\nLoopback round trip (blocking echo process): %.2f us; protocol floor against "
          "kestal-sim: %.2f us per entry (%.2fx)" % (rtt, proto_per_entry, proto_per_entry / rtt))
    met = targets(table)

    with open(os.path.join(args.out, "results.csv"), "w", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=list(table[0].keys()) + ["loopback_rtt_us"])
        writer.writeheader()
        for t in table:
            writer.writerow(dict(t, loopback_rtt_us="%.3f" % rtt))
    with open(os.path.join(args.out, "samples.csv"), "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(["backend", "entries", "program", "rep", "wall_us", "cpu_us", "rss_kib"])
        writer.writerows(samples)
    png = plot(table, args.out)
    print("\nWrote %s, %s and %s" % (os.path.join(args.out, "results.csv"),
                                      os.path.join(args.out, "samples.csv"), png))
    return 0 if met else 3


if __name__ == "__main__":
    sys.exit(main())
