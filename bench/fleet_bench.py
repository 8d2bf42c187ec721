#!/usr/bin/env python3
"""Fleet push benchmark: a simulated fleet with a fault mix pushed by kestal-fleet with
several --jobs, against the ideal wall time; see bench/README.md, section 4.
Runs inside scripts/with-postgres.sh (bench/fleet.sh does that)."""
import argparse
import collections
import json
import os
import subprocess
import sys
import time

import benchlib

# Per hundred terminals: the offset, the fault, kestal-sim's options, the outcome.
# The hang-up comes after half the entries; the refused addresses listen nowhere.
FAULTS = {0: ("silent", ["--silent-after", "2"], "no-answer"),
          1: ("refused", None, "unreachable"),
          2: ("refused", None, "unreachable"),
          3: ("password", ["--reject-password"], "login-refused"),
          4: ("hang-up", None, "hung-up"),
          5: ("entry-500", None, "entry-refused")}
OK = ("ok", [], "ok")


def address(i):
    return "127.0.%d.%d" % (8 + i // 250, 1 + i % 250)


def fault(i, entries):
    kind = FAULTS.get(i % 100, OK)
    if kind[0] == "hang-up":
        return (kind[0], ["--close-after", str(2 + entries // 2)], kind[2])
    if kind[0] == "entry-500":
        return (kind[0], ["--fail-entry", "%d:500" % max(1, entries // 5)], kind[2])
    return kind


def sim_arguments(count, entries, delay):
    args = ["--delay-ms", str(delay)]
    for i in range(count):
        if fault(i, entries)[1] is not None:
            args += ["--listen", address(i)]
    for i in range(count):
        options = fault(i, entries)[1]
        if options:
            args += ["--range", address(i), "--delay-ms", str(delay)] + options
    return args


def start_pgbouncer(folder, pool):
    os.makedirs(folder, exist_ok=True)
    port = 6400 + os.getpid() % 1000
    with open(os.path.join(folder, "users.txt"), "w") as users:
        users.write('"fleet_bench" "bench-pass"\n')
    with open(os.path.join(folder, "pgbouncer.ini"), "w") as ini:
        ini.write("[databases]\nkestal = host=127.0.0.1 port=%s dbname=kestal\n[pgbouncer]\n"
                  "listen_addr = 127.0.0.1\nlisten_port = %d\nunix_socket_dir =\n"
                  "auth_type = plain\nauth_file = %s/users.txt\npool_mode = transaction\n"
                  "default_pool_size = %d\nmax_db_connections = %d\nmax_client_conn = 1000\n"
                  "ignore_startup_parameters = extra_float_digits\nlogfile = %s/pgb.log\n"
                  "pidfile = %s/pgb.pid\n" % (os.environ["PGPORT"], port, folder, pool, pool,
                                               folder, folder))
    prefix = ["runuser", "-u", "postgres", "--"] if os.getuid() == 0 else []
    subprocess.run(["chown", "-R", "postgres", folder]) if os.getuid() == 0 else None
    subprocess.run(prefix + ["pgbouncer", "-d", os.path.join(folder, "pgbouncer.ini")],
                   check=True)
    return port


class PeakConnections:
    """The most server connections of the benchmark's role, sampled every 50 ms."""

    def __init__(self):
        env = dict(os.environ, PGUSER="postgres", PGPASSWORD="postgres")
        self.process = subprocess.Popen(["psql", "-X", "-A", "-t", "-d", "postgres"], env=env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.process.stdin.write("SELECT count(*) FROM pg_stat_activity "
                                 "WHERE usename = 'fleet_bench' \\watch 0.05\n")
        self.process.stdin.flush()

    def stop(self):
        self.process.terminate()
        out = self.process.communicate()[0]  # closes standard input
        return max([int(x) for x in out.split() if x.isdigit()] or [0])


def reset(tree):
    benchlib.psql("UPDATE vxsystem.vxs1140trm SET trmdac = 0, trmdst = NULL")
    tree.clear_log()


def push(programs, tree, names_file, jobs, timeout, json_file):
    fleet = os.path.join(os.path.dirname(programs.tool), "kestal-fleet")
    argv = [fleet, "push", "bench", "*STO", "--terminals", names_file, "--jobs", str(jobs),
            "--timeout", str(timeout), "--json", json_file]
    peak = PeakConnections()
    start = time.monotonic()
    done = subprocess.run(argv, cwd=tree.workdir, capture_output=True)
    wall = time.monotonic() - start
    if done.returncode not in (0, 1):
        raise SystemExit("kestal-fleet failed: " + done.stderr.decode(errors="replace"))
    with open(json_file, encoding="utf-8") as lines:
        results = [json.loads(line) for line in lines]
    return wall, peak.stop(), results


def check(tree, results, kinds, entries):
    """Outcome per terminal as given, rows finished, every run's lines once in the log."""
    wrong = [r["terminal"] for r in results if r["outcome"] != kinds[r["terminal"]][2]]
    running = int(benchlib.psql("SELECT count(*) FROM vxsystem.vxs1140trm WHERE trmdac <> 0"))
    with open(tree.log, encoding="latin-1") as log:
        text = log.read()
    starts, ends = text.count("\nStart : "), text.count("\nProgramm beendet")
    problems = []
    if wrong:
        problems.append("%d outcomes differ from the fault (%s ...)" % (len(wrong), wrong[:3]))
    if running:
        problems.append("%d rows still at TrmDac 1" % running)
    if starts != len(results) or ends != len(results):
        problems.append("run log: %d starts, %d ends for %d runs" % (starts, ends, len(results)))
    return "; ".join(problems) or "all as given"


def single_times(programs, tree, count, entries):
    """Each kind of transfer alone: wall and CPU seconds."""
    singles = {}
    for i in range(count):
        kind = fault(i, entries)
        if kind[0] in singles:
            continue
        sample = benchlib.measure(programs, [programs.tool, "bench", address(i), "*STO"],
                                  cwd=tree.workdir)
        singles[kind[0]] = (sample.wall_us / 1e6, sample.cpu_us / 1e6)
    return singles


def setup_database(entries, names):
    """The role fleet_bench, `entries` sites and a status row per name."""
    benchlib.psql_admin("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = "
                        "'fleet_bench') THEN CREATE ROLE fleet_bench LOGIN PASSWORD "
                        "'bench-pass'; END IF; END $$;")
    benchlib.psql("GRANT USAGE ON SCHEMA vxsystem TO fleet_bench; GRANT SELECT, UPDATE ON ALL "
                  "TABLES IN SCHEMA vxsystem TO fleet_bench;")
    benchlib.psql(benchlib.postgres_sites_sql(entries))
    benchlib.psql("DELETE FROM vxsystem.vxs1140trm; INSERT INTO vxsystem.vxs1140trm (trmnam) "
                  "VALUES " + ",".join("('%s')" % n for n in names))


def setup(programs, scratch, args):
    names = [address(i) for i in range(args.terminals)]
    setup_database(args.entries, names)
    port = start_pgbouncer(os.path.join(scratch, "pool"), args.pool)
    with open(os.environ["ODBCINI"]) as ini:
        direct = ini.read()
    pooled = direct.replace("[kestal_pg]", "[kestal_pool]")
    pooled = "\n".join("Port = %d" % port if l.startswith("Port =") else l
                       for l in pooled.split("\n"))
    benchlib.write_odbc_ini(os.path.join(scratch, "odbc.ini"), [pooled])
    trees = {}
    for dsn in ("kestal_pg", "kestal_pool"):
        trees[dsn] = benchlib.Tree(os.path.join(scratch, dsn), programs,
                                   [("LOGIN", "fleet_bench"), ("PASS", "bench-pass"),
                                    ("DB_SYSTEM", "POSTGRES"), ("DATABASE", dsn)])
    return names, trees


def write_names(path, names):
    with open(path, "w") as out:
        out.write("\n".join(names) + "\n")
    return path


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--terminals", type=int, default=1000)
    parser.add_argument("--entries", type=int, default=50)
    parser.add_argument("--delay-ms", type=int, default=2)
    parser.add_argument("--jobs", default="1,16,64,200")
    parser.add_argument("--pool", type=int, default=20)
    parser.add_argument("--timeout", type=int, default=600)
    parser.add_argument("--cores", type=int, default=os.cpu_count())
    args = parser.parse_args()
    programs = benchlib.Programs(os.environ["KESTAL_BENCH_BUILD"])
    scratch, out = os.environ["KESTAL_BENCH_SCRATCH"], os.environ["KESTAL_BENCH_OUT"]
    names, trees = setup(programs, scratch, args)
    kinds = {address(i): fault(i, args.entries) for i in range(args.terminals)}
    sim = subprocess.Popen([programs.sim, "--ready-file", os.path.join(scratch, "sim.ready")] +
                           sim_arguments(args.terminals, args.entries, args.delay_ms))
    while not os.path.exists(os.path.join(scratch, "sim.ready")):
        time.sleep(0.05)
    try:
        rows = run_all(programs, trees, names, kinds, args, scratch)
    finally:
        sim.terminate()
        sim.wait()
        with open(os.path.join(scratch, "pool/pgb.pid")) as pid:
            os.kill(int(pid.read()), 15)
    report(rows, args, out)


def run_all(programs, trees, names, kinds, args, scratch):
    direct = trees["kestal_pg"]
    reset(direct)
    singles = single_times(programs, direct, args.terminals, args.entries)
    counts = collections.Counter(kinds[n][0] for n in names)
    sum_wall = sum(singles[k][0] * c for k, c in counts.items())
    sum_cpu = sum(singles[k][1] * c for k, c in counts.items())
    longest = max(w for w, _ in singles.values())
    print("alone: " + ", ".join("%s %.2f s (CPU %.3f s)" % (k, w, c)
                                for k, (w, c) in sorted(singles.items())), flush=True)
    rows = []
    for jobs in [int(j) for j in args.jobs.split(",")]:
        tree = trees["kestal_pool"] if jobs >= 200 else direct
        subset = names[:50] if jobs == 1 else names
        reset(tree)
        wall, peak, results = push(programs, tree, write_names(
            os.path.join(scratch, "names"), subset), jobs, args.timeout,
            os.path.join(scratch, "push-%d.json" % jobs))
        verdict = check(tree, results, kinds, args.entries)
        if jobs == 1:  # the callers' loop: each kind's time in the 50, over the whole fleet
            per_kind = collections.defaultdict(list)
            for r in results:
                per_kind[kinds[r["terminal"]][0]].append(r["seconds"])
            wall = sum(sum(v) / len(v) * counts[k] for k, v in per_kind.items())
            verdict += " (50 terminals, extrapolated)"
        ideal = max(longest, sum_wall / jobs, sum_cpu / args.cores)
        rows.append((jobs, "PgBouncer" if tree is not direct else "direct", wall, ideal,
                     len(names) / wall, peak, verdict))
        print("jobs %d: %.1f s, ideal %.1f s, peak %d connections, %s" %
              (jobs, wall, ideal, peak, verdict), flush=True)
    return rows


def report(rows, args, out):
    lines = ["| jobs | database | wall s | ideal s | wall/ideal | transfers/s | peak server "
             "connections | checks |", "|---:|---|---:|---:|---:|---:|---:|---|"]
    for jobs, via, wall, ideal, rate, peak, verdict in rows:
        lines.append("| %d | %s | %.1f | %.1f | %.2f | %.1f | %d | %s |" %
                     (jobs, via, wall, ideal, wall / ideal, rate, peak, verdict))
    table = "\n".join(lines) + "\n"
    with open(os.path.join(out, "fleet.md"), "w") as md:
        md.write("%d terminals, %d entries each, %d ms per reply, pool of %d\n\n" %
                 (args.terminals, args.entries, args.delay_ms, args.pool) + table)
    with open(os.path.join(out, "fleet.dat"), "w") as dat:
        for jobs, _, wall, ideal, rate, _, _ in rows:
            dat.write("%d %.3f %.3f %.3f %.3f\n" % (jobs, wall, ideal, rate, rate * wall / ideal))
    print(table)


if __name__ == "__main__":
    sys.exit(main())
