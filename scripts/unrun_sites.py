#!/usr/bin/env python3
"""Lists the mutant sites that a folder's own fast tests never execute.

Needs a build with --coverage (e.g. build-cov, configured with
-DCMAKE_CXX_FLAGS=--coverage -DCMAKE_BUILD_TYPE=Debug -DOSTRA_BENCH=OFF and
built). For each folder given, clears the counters, runs the tests that
scripts/mutants.py would judge its faults by (its label, less "show"), reads
gcov's line counts and prints every line of the folder holding a mutant site
that no test ran. Files not built natively (browser, SDL2) are named apart.

    scripts/unrun_sites.py build-cov sound capture report runtime app
"""
import collections
import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
from mutants import expand, sites  # noqa: E402


def line_counts(build):
    """{source path: {line: count}} over every object with counters."""
    counts = collections.defaultdict(lambda: collections.defaultdict(int))
    for d, _, files in os.walk(build):
        for f in files:
            if not f.endswith(".gcda"):
                continue
            out = subprocess.run(["gcov", "--json-format", "--stdout", os.path.join(d, f)], cwd=d,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
            for doc in out.splitlines():
                if not doc.startswith("{"):
                    continue
                doc = json.loads(doc)
                for src in doc["files"]:
                    path = os.path.realpath(os.path.join(doc["current_working_directory"], src["file"]))
                    for ln in src["lines"]:
                        counts[path][ln["line_number"]] += ln["count"]
    return counts


def ran(seen, line):
    """Whether a line ran; a line gcov does not list (the rest of a statement
    begun above) counts as the nearest listed line above it."""
    for n in range(line, max(line - 4, 0), -1):
        if n in seen:
            return seen[n] > 0
    return True


def main():
    build, folders = os.path.abspath(sys.argv[1]), sys.argv[2:]
    root = subprocess.check_output(["git", "rev-parse", "--show-toplevel"], text=True).strip()
    built = set()
    for d, _, files in os.walk(build):
        built |= {f[:-len(".gcno")] for f in files if f.endswith(".gcno")}
    for folder in folders:
        for d, _, files in os.walk(build):
            for f in files:
                if f.endswith(".gcda"):
                    os.remove(os.path.join(d, f))
        subprocess.run(["ctest", "-j2", "-L", f"^{folder}$", "-LE", "^show$"], cwd=build,
                       stdout=subprocess.DEVNULL)
        counts = line_counts(build)
        total = unrun = 0
        for rel in expand(root, [folder]):
            path = os.path.realpath(os.path.join(root, rel))
            lines, found = sites(path)
            if not found:
                continue
            if rel.endswith(".cpp") and os.path.basename(rel) not in built:
                print(f"  {rel}: not built here ({len(found)} sites)")
                continue
            seen = counts.get(path, {})
            missed = sorted({n + 1 for n, *_ in found if not ran(seen, n + 1)})
            total += len(found)
            unrun += sum(1 for n, *_ in found if not ran(seen, n + 1))
            for n in missed:
                print(f"  {rel}:{n}: {lines[n - 1].strip()}")
        print(f"{folder}: {unrun} of {total} sites on lines its own tests never run")


if __name__ == "__main__":
    main()
