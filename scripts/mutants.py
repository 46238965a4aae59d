#!/usr/bin/env python3
"""Plants small faults ("mutants") in the sources one at a time, in a
scratch copy of the repository, and reports how many the tests catch.

Each mutant changes one operator or constant on one line: a comparison
(< <= > >= == !=), an increment of one (+ 1 / - 1), or a logical and/or.
For every mutant the scratch build is rebuilt (ccache keeps that quick),
the chosen tests run with a time limit, and the file is put back. A mutant
that breaks the build is not counted. Not part of `make test`.

    scripts/mutants.py runtime/frame.cpp effects/fade.cpp --count 20
    scripts/mutants.py render3d/raster_core.h --tests 'R3d' --count 10 --seed 3
    scripts/mutants.py runtime/frame.cpp --targets runtime_tests --tests rt_frame
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

# (pattern, replacement) pairs; each match of a pattern is one mutant site.
SWAPS = [
    (r"(?<![<>=!])<(?![<=])", "<="),
    (r"<=", "<"),
    (r"(?<![<>=!-])>(?![>=])", ">="),
    (r">=", ">"),
    (r"==", "!="),
    (r"!=", "=="),
    (r"\+ 1\b", "- 1"),
    (r"- 1\b", "+ 1"),
    (r"&&", "||"),
    (r"\|\|", "&&"),
]


def sites(path):
    """Every (line number, start, end, replacement) where a swap applies,
    skipping comments, preprocessor lines and template brackets."""
    out = []
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for n, line in enumerate(lines):
        code = line.split("//")[0]
        if code.lstrip().startswith(("#", "*", "/*")) or "template" in code:
            continue
        for pat, rep in SWAPS:
            for m in re.finditer(pat, code):
                # a "<" or ">" directly after a name with no spaces is a template bracket
                if m.group(0) in ("<", ">") and not (code[m.start() - 1:m.start()] == " " and code[m.end():m.end() + 1] == " "):
                    continue
                out.append((n, m.start(), m.end(), rep))
    return lines, out


def run(cmd, cwd, timeout=None, quiet=True):
    try:
        r = subprocess.run(cmd, cwd=cwd, timeout=timeout, stdout=subprocess.PIPE if quiet else None,
                           stderr=subprocess.STDOUT if quiet else None, text=True)
        return r.returncode, (r.stdout or "")
    except subprocess.TimeoutExpired:
        return -1, "timed out"


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("files", nargs="+", help="source files, relative to the repository root")
    ap.add_argument("--count", type=int, default=20, help="mutants to try (picked at random)")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--tests", default="", help="ctest -R regex (default: every test)")
    ap.add_argument("--timeout", type=int, default=600, help="seconds per test run")
    ap.add_argument("--targets", nargs="*", default=[], help="build only these CMake targets (default: all and data)")
    ap.add_argument("--scratch", default="", help="scratch folder to reuse (default: a new one in /tmp)")
    args = ap.parse_args()

    root = subprocess.check_output(["git", "rev-parse", "--show-toplevel"], text=True).strip()
    scratch = args.scratch or tempfile.mkdtemp(prefix="ostra-mutants-")
    src = os.path.join(scratch, "src")
    build = os.path.join(scratch, "build")
    print(f"scratch copy: {scratch}")
    run(["rsync", "-a", "--delete", "--exclude", "/build*", "--exclude", ".git", root + "/", src + "/"], root)
    cfg = ["cmake", "-S", src, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DOSTRA_BENCH=OFF",
           "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    make = ["cmake", "--build", build, "-j2"] + (["--target", *args.targets] if args.targets else [])
    if run(cfg, src)[0] != 0 or run(make, src)[0] != 0 \
            or (not args.targets and run(["cmake", "--build", build, "--target", "data"], src)[0] != 0):
        sys.exit("the unmodified scratch copy does not build")

    pool = []
    for rel in args.files:
        lines, found = sites(os.path.join(src, rel))
        pool += [(rel, *s) for s in found]
    rng = random.Random(args.seed)
    picked = rng.sample(pool, min(args.count, len(pool)))
    print(f"{len(pool)} mutant sites in {len(args.files)} file(s); trying {len(picked)}")

    caught = survived = broken = 0
    survivors = []
    for rel, n, a, b, rep in picked:
        path = os.path.join(src, rel)
        with open(path, encoding="utf-8") as f:
            original = f.read()
        lines = original.split("\n")
        before = lines[n]
        lines[n] = before[:a] + rep + before[b:]
        where = f"{rel}:{n + 1}: {before.strip()}  ->  {lines[n].strip()}"
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines))
        try:
            if run(make, src)[0] != 0:
                broken += 1
                print(f"  no build  {where}")
                continue
            cmd = ["ctest", "--timeout", str(args.timeout), "-j2", "--stop-on-failure"]
            if args.tests:
                cmd += ["-R", args.tests]
            code, _ = run(cmd, build, timeout=args.timeout * 4)
            if code != 0:
                caught += 1
                print(f"  caught    {where}")
            else:
                survived += 1
                survivors.append(where)
                print(f"  SURVIVED  {where}")
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
    total = caught + survived
    print(f"\n{caught} of {total} mutants caught ({broken} did not build)")
    for s in survivors:
        print(f"  survived: {s}")


if __name__ == "__main__":
    main()
