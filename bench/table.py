#!/usr/bin/env python3
"""Turns velk_bench's JSON output into the table bench/run prints (or, with --plot-data, gnuplot's data)."""
import json
import sys

ACTION_MS = 16.0
START_UP_MS = 1000.0
DURABLE_STORE_MS = 50.0
RATIO = 1.5
MEMORY_MB = 200.0


def describe(name):
    """(operation, size, target in ms, baseline name) of a benchmark, or None for a baseline itself."""
    parts = name.split("/")
    kind, size, rest = parts[0], int(parts[1]), parts[2:]
    if kind.endswith("Bare"):
        return None
    bare = "/".join([kind + "Bare"] + parts[1:])
    if kind == "StartUp":
        return "start-up", size, START_UP_MS, bare
    if kind == "RecordMove":
        return "record move (1,000 positions)", size, ACTION_MS, bare
    if kind == "LoadMovementPitches":
        return f"pitch display, {int(rest[0]):,} positions", size, ACTION_MS, bare
    if kind == "LoadTabulations":
        return f"tabulations, {int(rest[0]):,} positions", size, ACTION_MS, bare
    if kind == "SavePitches":
        edit = ["reordered (all rewritten)", "one pitch replaced", "one pitch appended", "last pitch deleted",
                "middle pitch deleted", "pitch inserted first"][int(rest[1])]
        # Edits that move every later position rewrite those rows: measured, but not held to the frame.
        target = ACTION_MS if rest[1] in ("1", "2", "3") else None
        if rest[0] == "0":
            return f"store 32,767, {edit}, durable", size, DURABLE_STORE_MS if target else None, bare
        return f"store 32,767, {edit}, no flush", size, target, bare
    if kind == "SubjectSearch":
        how = "wildcard" if rest[0] == "1" else "exact"
        hits = "common subject (about 9%)" if rest[1] == "1" else "10 matches"
        return f"subject search, {how}, {hits}", size, ACTION_MS, bare
    if kind in ("SubjectSearchReadingOrder", "SubjectSearchAllRows"):
        how = "wildcard" if rest[0] == "1" else "exact"
        hits = "common subject (about 9%)" if rest[1] == "1" else "10 matches"
        what = "order read from the file" if kind == "SubjectSearchReadingOrder" else "all rows (tool, export)"
        return f"subject search, {what}, {how}, {hits}", size, None, "/".join(["SubjectSearchBare"] + parts[1:])
    if kind == "SubjectSearchKeys":
        return "subject search, numbers read into memory (background)", size, None, None
    if kind == "SubjectList":
        return "search window opening (subject list)", size, ACTION_MS, bare
    if kind == "AppendPitch":
        return f"one pitch appended to {int(rest[0]):,} positions", size, ACTION_MS, None
    if kind == "FindMelody":
        mode = ["exact", "classes", "transposed"][int(rest[0])]
        return f"melodic search, {mode}", size, ACTION_MS, "/".join(["FindMelodyScan"] + parts[1:])
    if kind == "FindMelodyRead":
        mode = ["exact", "classes", "transposed"][int(rest[0])]
        # What the first search of a catalogue, and the first after a change, costs while the copy is read.
        return f"melodic search reading the catalogue, {mode}", size, None, None
    if kind == "KeepSequences":
        return "melodic search, copy read into memory (background)", size, None, None
    if kind == "FindMelodyScan":
        return None
    return name, size, None, None


def main():
    args = sys.argv[1:]
    plot = args and args[0] == "--plot-data"
    if plot:
        args = args[1:]
    with open(args[0]) as f:
        runs = json.load(f)["benchmarks"]
    times = {r["name"]: r["real_time"] for r in runs if r.get("run_type", "iteration") == "iteration"
             and "error_occurred" not in r}
    memory = {}
    with open(args[1]) as f:
        for line in f:
            size, program_kb, logic_kb, melody_kb = (line.split() + ["-1"])[:4]
            memory[int(size)] = (int(program_kb) / 1024.0, int(logic_kb) / 1024.0, int(melody_kb) / 1024.0)

    rows = []
    for name, ms in times.items():
        described = describe(name)
        if described is None:
            continue
        operation, size, target, bare = described
        rows.append((operation, size, ms, times.get(bare) if bare else None, target))

    if plot:
        operations = []
        for row in rows:
            if row[0] not in operations:
                operations.append(row[0])
        for operation in operations:
            print(f'"{operation}"')
            for row in sorted(r for r in rows if r[0] == operation):
                print(row[1], row[2])
            print("\n")
        return

    width = max([52] + [len(row[0]) for row in rows])
    header = f"{'operation':<{width}} {'movements':>9} {'ms':>9} {'bare ms':>9} {'ratio':>6}  {'target':>8}  result"
    print(header)
    print("-" * len(header))
    for operation, size, ms, bare, target in rows:
        ratio = ms / bare if bare else None
        verdicts = []
        if target is not None and size == 100000:
            verdicts.append("time ok" if ms <= target else f"time MISS (+{ms - target:.0f} ms)")
        if ratio is not None:
            verdicts.append("ratio ok" if ratio <= RATIO else f"ratio MISS ({ratio:.2f}x)")
        print(f"{operation:<{width}} {size:>9,} {ms:>9.2f} {bare if bare else float('nan'):>9.2f} "
              f"{ratio if ratio else float('nan'):>6.2f}  {'' if target is None else f'{target:.0f} ms':>8}  "
              f"{', '.join(verdicts)}")
    print()
    print(f"{'peak resident memory after start-up':<{width}} {'movements':>9} {'program':>9} {'logic':>9}  "
          f"{'target':>8}  result")
    for size in sorted(memory):
        program, logic, _ = memory[size]
        verdict = "" if size != 100000 else ("ok" if 0 < program <= MEMORY_MB else "MISS")
        print(f"{'':<{width}} {size:>9,} {program:>6.1f} MB {logic:>6.1f} MB  {MEMORY_MB:>5.0f} MB  {verdict}")
    # The search windows come on top (a common subject's rows, the copy of the sequences the melodic search keeps):
    # the program's figure plus what they added to the logic's peak.
    print(f"{'... and after subject and melodic searches':<{width}} {'movements':>9} {'program':>9} {'logic':>9}  "
          f"{'target':>8}  result")
    for size in sorted(memory):
        program, logic, melody = memory[size]
        if melody <= 0:
            continue
        estimate = program + melody - logic
        verdict = "" if size != 100000 else ("ok" if estimate <= MEMORY_MB else "MISS")
        print(f"{'':<{width}} {size:>9,} {estimate:>6.1f} MB {melody:>6.1f} MB  {MEMORY_MB:>5.0f} MB  {verdict}")


if __name__ == "__main__":
    main()
