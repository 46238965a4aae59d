#!/usr/bin/env python3
"""Plants small faults ("mutants") in the sources one at a time, in a
scratch copy of the repository, and reports how many the tests catch.

Each mutant changes one operator or constant on one line: a comparison
(< <= > >= == !=), an increment of one (+ 1 / - 1), or a logical and/or.
For every mutant the scratch build is rebuilt (ccache, where installed, keeps that quick),
the chosen tests run with a time limit, and the file is put back. The
scratch copy is built with AddressSanitizer and UndefinedBehaviorSanitizer,
as `make asan-test` builds it: a fault that only reads or writes out of
bounds, leaks or overflows fails its tests there as it fails CI's sanitizer
run (--plain judges a plain Release build instead). A mutant
that breaks the build is not counted; nor is one whose rebuilt object files
are byte for byte the old ones (it does not change the code: equivalent).
Not part of `make test`.

By default each mutant is judged by its own library's fast tests: the CTest
label named after the file's top folder (sound/x.cpp: label "sound"), less
the whole-show tests (label "show"), and only the targets those tests need
are rebuilt. --all runs every test instead. A folder given as a file stands
for every .cpp and .h under it.

    scripts/mutants.py sound capture runtime --count 40 --seed 7
    scripts/mutants.py runtime/frame.cpp effects/fade.cpp --count 20
    scripts/mutants.py render3d/raster_core.h --tests 'R3d' --count 10 --seed 3
"""
import argparse
import hashlib
import json
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


def expand(root, names):
    """Files as given; a folder stands for every .cpp and .h below it but
    its fuzz/ folders (the fuzzing harnesses, which only the clang fuzz build
    compiles and the fuzz smoke judges: here they never change the code)."""
    out = []
    for rel in names:
        full = os.path.join(root, rel)
        if os.path.isdir(full):
            for d, dirs, files in os.walk(full):
                dirs[:] = sorted(x for x in dirs if x != "fuzz")
                out += sorted(os.path.relpath(os.path.join(d, f), root) for f in files
                              if f.endswith((".cpp", ".h")))
        else:
            out.append(rel)
    return out


def own_tests(build, label):
    """(ctest arguments, targets) for a library's fast tests: its label, less
    the whole-show tests; None when no test carries the label."""
    args = ["-L", f"^{label}$", "-LE", "^show$"]
    code, out = run(["ctest", "--show-only=json-v1", *args], build)
    if code != 0:
        return None
    tests = json.loads(out[out.index("{"):]).get("tests", [])
    targets = sorted({os.path.basename(t["command"][0]) for t in tests if t.get("command")})
    return (args, targets) if targets else None


def objects(build):
    """Every object file of the build with its digest and time."""
    out = {}
    for d, _, files in os.walk(build):
        for f in files:
            if f.endswith(".o"):
                p = os.path.join(d, f)
                with open(p, "rb") as fh:
                    out[p] = (hashlib.sha1(fh.read()).hexdigest(), os.stat(p).st_mtime_ns)
    return out


def same_code(build, before):
    """True when every object rebuilt since `before` was taken is unchanged."""
    after = objects(build)
    rebuilt = [p for p, (_, t) in after.items() if p not in before or before[p][1] != t]
    return all(p in before and before[p][0] == after[p][0] for p in rebuilt)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("files", nargs="+", help="source files, relative to the repository root")
    ap.add_argument("--count", type=int, default=20, help="mutants to try (picked at random)")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--tests", default="", help="ctest -R regex (instead of the library's own tests)")
    ap.add_argument("--all", action="store_true", help="every test, whole-show tests included")
    ap.add_argument("--timeout", type=int, default=600, help="seconds per test run")
    ap.add_argument("--targets", nargs="*", default=[], help="build only these CMake targets (default: all and data)")
    ap.add_argument("--scratch", default="", help="scratch folder to reuse (default: a new one in /tmp)")
    ap.add_argument("--plain", action="store_true", help="judge without the sanitizers (quicker; misses faults that are only out of bounds)")
    args = ap.parse_args()

    root = subprocess.check_output(["git", "rev-parse", "--show-toplevel"], text=True).strip()
    scratch = args.scratch or tempfile.mkdtemp(prefix="ostra-mutants-")
    src = os.path.join(scratch, "src")
    build = os.path.join(scratch, "build")
    print(f"scratch copy: {scratch} ({'plain' if args.plain else 'with the sanitizers'})")
    # The sources without build folders or history; a reused scratch copy is refreshed.
    shutil.rmtree(src, ignore_errors=True)
    shutil.copytree(root, src, symlinks=True,
                    ignore=lambda d, names: [n for n in names if n == ".git" or
                                             (d == root and (n.startswith("build") or n == "node_modules"))])
    cfg = ["cmake", "-S", src, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DOSTRA_BENCH=OFF",
           f"-DOSTRA_SANITIZE={'OFF' if args.plain else 'ON'}"]
    # ccache keeps the rebuilds quick where it is installed; without it every
    # rebuild compiles the changed file's dependants in full, which is slower
    # but judges the same.
    if shutil.which("ccache"):
        cfg += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    else:
        print("ccache not found: each rebuild compiles in full")
    full = ["cmake", "--build", build, "-j2"]
    if run(cfg, src)[0] != 0 or run(full, src)[0] != 0 \
            or run(["cmake", "--build", build, "--target", "data"], src)[0] != 0:
        sys.exit("the unmodified scratch copy does not build")

    def judge(rel):
        """(ctest arguments, build command) that judge a mutant of rel."""
        if args.tests or args.all:
            sel = ["-R", args.tests] if args.tests else []
            tgt = args.targets
        else:
            own = own_tests(build, rel.split("/")[0])
            if own is None:
                sys.exit(f"no test carries the label '{rel.split('/')[0]}': name --tests or --all")
            sel, tgt = own[0], args.targets or own[1]
        return sel, full + (["--target", *tgt] if tgt else [])

    pool = []
    for rel in expand(src, args.files):
        lines, found = sites(os.path.join(src, rel))
        pool += [(rel, *s) for s in found]
    rng = random.Random(args.seed)
    picked = rng.sample(pool, min(args.count, len(pool)))
    print(f"{len(pool)} mutant sites; trying {len(picked)} (seed {args.seed})")

    caught = survived = broken = equivalent = 0
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
        sel, make = judge(rel)
        before_objs = objects(build)
        try:
            if run(make, src)[0] != 0:
                broken += 1
                print(f"  no build  {where}")
                continue
            if same_code(build, before_objs):
                equivalent += 1
                print(f"  same code {where}")
                continue
            cmd = ["ctest", "--timeout", str(args.timeout), "-j2", "--stop-on-failure", *sel]
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
            # The next mutant starts from the unmodified build.
            run(make, src)
    total = caught + survived
    share = f" ({100 * caught / total:.0f} %)" if total else ""
    print(f"\n{caught} of {total} mutants caught{share}; {broken} did not build, "
          f"{equivalent} left the object code unchanged (seed {args.seed})")
    for s in survivors:
        print(f"  survived: {s}")


if __name__ == "__main__":
    main()
