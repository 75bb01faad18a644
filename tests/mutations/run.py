#!/usr/bin/env python3
"""Puts the test suite to the deliberate faults listed in faults.txt.

Each fault is applied alone to the checkout this script lives in, the program and
its tests are rebuilt incrementally, the suite runs, and the fault is taken out
again (also when the run is interrupted). The result says, per fault, which tests
caught it. Not part of scripts/test: a full run takes about an hour on two cores.

    tests/mutations/run.py                  every fault, table on stdout
    tests/mutations/run.py F03 F17          only these
    tests/mutations/run.py --check          only check that every fault applies (scripts/test does)
    tests/mutations/run.py --out table.md   also write the table to a file
    tests/mutations/run.py --record M01     also merge the rows into last-run.md, which
                                            keeps every fault's latest result (committed)

Faults marked "preset: tsan" run the threaded tests under ThreadSanitizer (a
missing publish is invisible to the ordinary build on x86).
"""

import argparse
import datetime
import os
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
FAULTS = pathlib.Path(__file__).with_name("faults.txt")
RECORD = pathlib.Path(__file__).with_name("last-run.md")
PRESETS = {
    "release": ("build/mutations", ["-DCMAKE_BUILD_TYPE=Release", "-DZINDLE_BENCH=OFF"], []),
    "tsan": (
        "build/mutations-tsan",
        ["-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DZINDLE_TSAN=ON", "-DZINDLE_BENCH=OFF"],
        ["-R", "Thread"],
    ),
}


def read_faults():
    faults, current = [], None
    for number, line in enumerate(FAULTS.read_text().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        if line.startswith("["):
            ident, _, text = line[1:].partition("]")
            current = {"id": ident, "what": text.strip(), "preset": "release", "line": number}
            faults.append(current)
            continue
        key, _, value = line.partition(":")
        if current is None or key not in ("file", "find", "replace", "preset"):
            sys.exit(f"faults.txt:{number}: expected file/find/replace/preset, got {line!r}")
        current[key] = value[1:] if value.startswith(" ") else value
    for fault in faults:
        for key in ("file", "find", "replace"):
            if key not in fault:
                sys.exit(f"faults.txt:{fault['line']}: {fault['id']} has no {key}")
        fault["find"] = fault["find"].replace("\\n", "\n")
        fault["replace"] = fault["replace"].replace("\\n", "\n")
    return faults


def check(fault):
    path = ROOT / fault["file"]
    if not path.exists():
        return f"{fault['file']} does not exist"
    count = path.read_text().count(fault["find"])
    return None if count == 1 else f"the text occurs {count} times in {fault['file']}"


def run(command, **kwargs):
    return subprocess.run(command, cwd=ROOT, capture_output=True, text=True, **kwargs)


def build(preset):
    directory, options, _ = PRESETS[preset]
    if not (ROOT / directory / "CMakeCache.txt").exists():
        run(["cmake", "-S", ".", "-B", directory, *options], check=True)
    jobs = str(os.cpu_count() or 2)
    return run(["cmake", "--build", directory, "-j", jobs]).returncode == 0


def failed_tests(preset):
    directory, _, selection = PRESETS[preset]
    jobs = str(os.cpu_count() or 2)
    run(["ctest", "--test-dir", directory, "-j", jobs, "--timeout", "300", *selection])
    log = ROOT / directory / "Testing" / "Temporary" / "LastTestsFailed.log"
    if not log.exists():
        return []
    names = [line.split(":", 1)[1] for line in log.read_text().splitlines() if ":" in line]
    log.unlink()
    return names


def record(results):
    """Merges {id: (what, verdict)} into last-run.md: one row per fault of faults.txt, each
    with the day it last ran; a fault that never ran says so."""
    day = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d")
    kept = {}
    if RECORD.exists():
        for line in RECORD.read_text().splitlines():
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if len(cells) == 4 and cells[0] not in ("fault", "---"):
                kept[cells[0]] = cells
    for ident, (what, verdict) in results.items():
        kept[ident] = [ident, what, verdict, day]
    rows = ["# The deliberate faults and what caught them",
            "",
            "Written by `tests/mutations/run.py --record`: each fault's latest run.",
            "",
            "| fault | what | caught by | run |",
            "|---|---|---|---|"]
    ran = caught = 0
    faults = read_faults()
    for fault in faults:
        cells = kept.get(fault["id"], [fault["id"], fault["what"], "not run yet", ""])
        cells[1] = fault["what"]
        ran += 0 if cells[2] == "not run yet" else 1
        caught += 0 if cells[2] in ("NOTHING", "not run yet") else 1
        rows.append("| " + " | ".join(cells) + " |")
    rows += ["", f"{caught} of the {ran} faults run caught at their latest run; "
             f"{len(faults) - ran} not run yet."]
    RECORD.write_text("\n".join(rows) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("ids", nargs="*")
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--out")
    parser.add_argument("--record", action="store_true")
    args = parser.parse_args()

    faults = [f for f in read_faults() if not args.ids or f["id"] in args.ids]
    # A fault whose text no longer matches the code is stale: reported, then left out,
    # so that the others still run.
    stale = {f["id"]: check(f) for f in faults if check(f)}
    for ident, problem in stale.items():
        print(f"{ident}: stale: {problem}", file=sys.stderr)
    if args.check:
        print(f"{len(faults) - len(stale)} of {len(faults)} faults apply")
        return 1 if stale else 0
    faults = [f for f in faults if f["id"] not in stale]

    for preset in sorted({f["preset"] for f in faults}):
        if not build(preset):
            sys.exit(f"the {preset} build fails before any fault")
        failed = failed_tests(preset)
        if failed:
            sys.exit(f"the {preset} build fails these tests before any fault: {', '.join(failed)}")

    rows = ["| fault | what | caught by |", "|---|---|---|"]
    results = {}
    missed = 0
    for fault in faults:
        path = ROOT / fault["file"]
        original = path.read_text()
        try:
            path.write_text(original.replace(fault["find"], fault["replace"], 1))
            if build(fault["preset"]):
                caught = failed_tests(fault["preset"])
                verdict = (f"{len(caught)}: " + ", ".join(caught[:3]) +
                           (", …" if len(caught) > 3 else "")) if caught else "NOTHING"
            else:
                caught, verdict = ["(compiler)"], "the compiler"
        finally:
            path.write_text(original)
        missed += 0 if caught else 1
        results[fault["id"]] = (fault["what"], verdict)
        row = f"| {fault['id']} | {fault['what']} | {verdict} |"
        rows.append(row)
        print(row, flush=True)
    for preset in sorted({f["preset"] for f in faults}):
        build(preset)  # leave the builds matching the clean sources
    rows += [f"| {ident} | stale: {problem} | not run |" for ident, problem in stale.items()]
    table = "\n".join(rows) + f"\n\n{len(faults) - missed} of {len(faults)} faults caught."
    table += f" {len(stale)} stale.\n" if stale else "\n"
    if args.out:
        pathlib.Path(args.out).write_text(table)
    if args.record:
        record(results)
    print(table)
    return 1 if missed or stale else 0


if __name__ == "__main__":
    sys.exit(main())
