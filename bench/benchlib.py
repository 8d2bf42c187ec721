# Shared pieces of the benchmarks: installation trees, databases, the simulator and
# the measured runs. Standard library only; called by bench.py and many_terminals.py.
import glob
import os
import re
import shutil
import statistics
import subprocess
import time

class Programs:
    """The binaries of one Release build folder."""

    def __init__(self, build):
        build = os.path.abspath(build)
        self.tool = os.path.join(build, "src/run/kestalentry")
        self.cred = os.path.join(build, "tools/kestal-cred/kestal-cred")
        self.sim = os.path.join(build, "tools/kestal-sim/kestal-sim")
        self.extension = os.path.join(build, "tools/sqlite-vxsystem/kestal_vxsystem.so")
        self.floor = os.path.join(build, "bench/kestal-floor-client")
        self.odbc_floor = os.path.join(build, "bench/kestal-odbc-floor")
        self.measure = os.path.join(build, "bench/kestal-measure")
        for path in vars(self).values():
            if not os.path.exists(path):
                raise SystemExit("missing build product: " + path)


class Tree:
    """An installation tree: Files/Velmarion.Ini, Velmarion_php/log, work/bin."""

    def __init__(self, root, programs, settings):
        self.root = root
        shutil.rmtree(root, ignore_errors=True)
        for sub in ("Files", "Velmarion_php/log", "work/bin"):
            os.makedirs(os.path.join(root, sub))
        store = os.path.join(root, "Files/Velmarion.Ini")
        for key, value in settings:
            subprocess.run([programs.cred, "set", store, key, "-"], input=value.encode(),
                           check=True, stdout=subprocess.DEVNULL)
        self.workdir = os.path.join(root, "work/bin")
        self.log = os.path.join(root, "Velmarion_php/log/KestalLog.txt")
        self.backup = os.path.join(root, "Velmarion_php/log/KestalLog.bak")

    def clear_log(self):
        for path in (self.log, self.backup):
            if os.path.exists(path):
                os.remove(path)


def psql(sql, database=None):
    env = dict(os.environ, PGDATABASE=database) if database else None
    return subprocess.run(["psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-c", sql],
                          check=True, capture_output=True, text=True, env=env).stdout


def psql_admin(sql):
    env = dict(os.environ, PGUSER="postgres", PGPASSWORD="postgres")
    subprocess.run(["psql", "-X", "-q", "-d", "postgres", "-c", sql], check=True, env=env,
                   stdout=subprocess.DEVNULL)


class Sqlite:
    def __init__(self, folder, programs, source_dir, dsn="kestal_bench_sqlite"):
        os.makedirs(folder, exist_ok=True)
        self.path = os.path.join(folder, "kestal.sqlite")
        if os.path.exists(self.path):
            os.remove(self.path)
        with open(os.path.join(source_dir, "db/sqlite-schema.sql")) as schema:
            self.run(schema.read())
        driver = sorted(glob.glob("/usr/lib/*/odbc/libsqlite3odbc.so"))
        if not driver:
            raise SystemExit("the SQLite ODBC driver (libsqliteodbc) is not installed")
        self.ini_section = ("[%s]\nDriver = %s\nDatabase = %s\nLoadExt = %s\n"
                            "Timeout = 5000\n" % (dsn, driver[0], self.path, programs.extension))
        self.dsn = dsn

    def run(self, sql):
        return subprocess.run(["sqlite3", self.path], input=sql, check=True,
                              capture_output=True, text=True).stdout


def write_odbc_ini(path, sections):
    """One odbc.ini with the cluster's DSN (from ODBCINI) and ours."""
    text = ""
    if os.environ.get("ODBCINI") and os.path.exists(os.environ["ODBCINI"]):
        with open(os.environ["ODBCINI"]) as existing:
            text = existing.read() + "\n"
    with open(path, "w") as ini:
        ini.write(text + "\n".join(sections))
    os.environ["ODBCINI"] = path


def sqlite_sites_sql(count):
    """Sites 1..count, all qualifying."""
    return ("DELETE FROM vxs113sto; INSERT INTO vxs113sto (stonum, stosta) WITH RECURSIVE "
            "s(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM s WHERE x < %d) "
            "SELECT x, NULL FROM s WHERE x <= %d;" % (max(count, 1), count))


def postgres_sites_sql(count):
    return ("DELETE FROM vxsystem.vxs113sto; INSERT INTO vxsystem.vxs113sto (stonum, stosta) "
            "SELECT x, NULL FROM generate_series(1, %d) AS x;" % count)


class Simulator:
    def __init__(self, programs, listen, folder, name):
        os.makedirs(folder, exist_ok=True)
        ready = os.path.join(folder, name + ".ready")
        if os.path.exists(ready):
            os.remove(ready)
        self.process = subprocess.Popen([programs.sim, "--listen", listen, "--ready-file", ready])
        deadline = time.monotonic() + 10
        while not os.path.exists(ready):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise SystemExit("kestal-sim did not start on %s (address in use?)" % listen)
            time.sleep(0.02)

    def stop(self):
        self.process.terminate()
        self.process.wait()


class Sample:
    def __init__(self, line):
        wall, user, system, rss, code = line.split()
        self.wall_us, self.cpu_us = int(wall), int(user) + int(system)
        self.rss_kib, self.code = int(rss), int(code)


def measure(programs, argv, cwd=None):
    command = [programs.measure] + (["--cwd", cwd] if cwd else []) + ["--"] + argv
    out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    sample = Sample(out)
    if sample.code != 0:
        raise SystemExit("%s exited with %d" % (" ".join(argv), sample.code))
    return sample


def median(values):
    return statistics.median(values)


TIMESTAMP = re.compile(r"\d{14}")


def mask_timestamps(line):
    return TIMESTAMP.sub("<TS>", line)
