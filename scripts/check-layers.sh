#!/usr/bin/env bash
# Fails when a library under src/ includes a header of a library later in the order
# platform, log, settings, db, entries, terminal, run (the terminal skips db), or
# when the ODBC headers reach a header of entries or terminal through its includes.
# tools/ may include anything.
set -euo pipefail
cd "$(dirname "$0")/.."
python3 - <<'PY'
import os, re, sys

ORDER = ["platform", "log", "settings", "db", "entries", "terminal", "run"]
RANK = {name: i for i, name in enumerate(ORDER)}
# Pairs the order allows but the design does not: the terminal writes the status row
# only through the recorder the run hands it.
FORBIDDEN = {("terminal", "db")}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')

def includes(path):
    with open(path, encoding="latin-1") as f:
        for line in f:
            m = INCLUDE.match(line)
            if m:
                yield m.group(1), m.group(2)

problems = []
for lib in ORDER:
    for dirpath, _, names in os.walk(os.path.join("src", lib)):
        for name in sorted(names):
            if not name.endswith((".h", ".cc")):
                continue
            path = os.path.join(dirpath, name)
            for kind, target in includes(path):
                top = target.split("/", 1)[0]
                if kind == '"' and top in RANK and RANK[top] > RANK[lib]:
                    problems.append(f"{path}: {lib} includes {target} ({top} comes later)")
                elif kind == '"' and (lib, top) in FORBIDDEN:
                    problems.append(f"{path}: {lib} must not include {target}")

# The ODBC headers stay behind the database module: no header of entries or terminal
# may reach them, however many includes deep.
def reaches_odbc(header, seen):
    if header in seen or not os.path.isfile(header):
        return None
    seen.add(header)
    for kind, target in includes(header):
        if kind == "<" and target in ("sql.h", "sqlext.h", "sqltypes.h"):
            return [header]
        if kind == '"':
            chain = reaches_odbc(os.path.join("src", target), seen)
            if chain:
                return [header] + chain
    return None

for lib in ("entries", "terminal"):
    for dirpath, _, names in os.walk(os.path.join("src", lib)):
        for name in sorted(names):
            if name.endswith(".h"):
                chain = reaches_odbc(os.path.join(dirpath, name), set())
                if chain:
                    problems.append("ODBC headers reached: " + " -> ".join(chain))

for p in problems:
    print("check-layers: " + p, file=sys.stderr)
sys.exit(1 if problems else 0)
PY
echo "check-layers: every include runs down the library order"
