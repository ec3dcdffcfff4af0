#!/usr/bin/env python3
"""Runs the vCard and store benchmarks and prints their table.

    bench/speed_table.py [--build build] [--before OTHER_BUILD] [--vcf FILE] [--rounds 5]

With --before (the build folder of an earlier commit, built with the same benchmark sources),
both builds run alternately on the same file (A B, then B A, ...) and each figure is the median
over the rounds; ratios are medians of the paired ratios. Times are CPU seconds of the process.
Without --vcf, the 100,000-contact test file is generated into a temporary folder with the
generator in ../shared/peers/ (next to the repository).
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

VCARD_PATTERNS = {
    "read_cpu": r"read CPU time: ([\d.]+) s",
    "write_cpu": r"write CPU time: ([\d.]+) s",
    "read_peak_mib": r"peak memory after reading: [\d.]+ MB = ([\d.]+) MiB",
    "read_peak_mb": r"peak memory after reading: ([\d.]+) MB",
    "contacts": r"read: (\d+) contacts",
}
STORE_PATTERNS = {
    "save_cpu": r"save:\s+CPU\s+([\d.]+) s",
    "save_rate": r"save:\s+CPU\s+[\d.]+ s \(\s*([\d.]+) contacts per CPU second",
    "fetch_cpu": r"fetch mainKeys:\s+CPU\s+([\d.]+) s",
    "floor_cpu": r"floor mainKeys:\s+CPU\s+([\d.]+) s",
}


def run(program, args, patterns):
    out = subprocess.run([program] + args, check=True, capture_output=True, text=True).stdout
    values = {}
    for key, pattern in patterns.items():
        match = re.search(pattern, out)
        if not match:
            sys.exit("%s printed no %s:\n%s" % (program, key, out))
        values[key] = float(match.group(1))
    return values


def interleaved(builds, program, args, patterns, rounds):
    """Runs program of each build alternately; returns {build: [values per round]}."""
    results = {b: [] for b in builds}
    for r in range(rounds):
        order = builds if r % 2 == 0 else list(reversed(builds))
        for b in order:
            results[b].append(run(os.path.join(b, "bench", program), args, patterns))
    return results


def median(rows, key):
    return statistics.median(row[key] for row in rows)


def paired(before, after, key, invert=False):
    ratios = [(a[key] / b[key]) if invert else (b[key] / a[key]) for a, b in zip(after, before)]
    return statistics.median(ratios)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    parser.add_argument("--before", help="build folder of the earlier commit to compare with")
    parser.add_argument("--vcf", help="vCard file to read (default: a generated 100,000-contact file)")
    parser.add_argument("--contacts", type=int, default=100000, help="contacts the store benchmark saves")
    parser.add_argument("--rounds", type=int, default=5)
    options = parser.parse_args()

    with tempfile.TemporaryDirectory() as scratch:
        vcf = options.vcf
        if not vcf:
            generator = os.path.join(REPO, "..", "shared", "peers", "gen_contacts.py")
            if not os.path.exists(generator):
                sys.exit("no --vcf given and no generator at %s" % generator)
            prefix = os.path.join(scratch, "contacts")
            subprocess.run([sys.executable, generator, "100000", prefix], check=True)
            vcf = prefix + ".vcf"

        builds = [options.build] + ([options.before] if options.before else [])

        def having(program):  # an earlier build may lack a benchmark
            return [b for b in builds if os.path.exists(os.path.join(b, "bench", program))]

        vcard = interleaved(having("vcard_bench"), "vcard_bench", [vcf], VCARD_PATTERNS, options.rounds)
        store = interleaved(having("store_bench"), "store_bench", [str(options.contacts)], STORE_PATTERNS,
                            max(1, (options.rounds + 1) // 2))

    after_v, after_s = vcard[options.build], store[options.build]
    before_v = vcard.get(options.before) if options.before else None
    before_s = store.get(options.before) if options.before else None

    print("vCard file: %s (%d contacts); %d rounds%s" % (
        vcf if options.vcf else "generated", median(after_v, "contacts"), options.rounds,
        ", interleaved with the earlier build" if options.before else ""))
    print()
    print("| measure | before | after | after against before |")
    print("|---|---|---|---|")

    def row(name, fmt, after, before=None, ratio=None):
        print("| %s | %s | %s | %s |" % (name, fmt % before if before is not None else "-", fmt % after,
                                         ratio if ratio else "-"))

    b = before_v
    row("vCard read, CPU s", "%.3f", median(after_v, "read_cpu"), b and median(b, "read_cpu"),
        b and "%.2fx faster" % paired(b, after_v, "read_cpu"))
    row("vCard read, peak MiB (MB)", "%s", "%.0f (%.0f)" % (median(after_v, "read_peak_mib"), median(after_v, "read_peak_mb")),
        b and "%.0f (%.0f)" % (median(b, "read_peak_mib"), median(b, "read_peak_mb")))
    row("vCard write without NOTE/PHOTO/UID, CPU s", "%.3f", median(after_v, "write_cpu"), b and median(b, "write_cpu"),
        b and "%.2fx faster" % paired(b, after_v, "write_cpu"))
    s = before_s
    ratio_after = statistics.median(r["fetch_cpu"] / r["floor_cpu"] for r in after_s)
    ratio_before = s and statistics.median(r["fetch_cpu"] / r["floor_cpu"] for r in s)
    row("store fetch, list keys, CPU s", "%.3f", median(after_s, "fetch_cpu"), s and median(s, "fetch_cpu"),
        s and "%.2fx faster" % paired(s, after_s, "fetch_cpu"))
    row("  its floor (same rows into Qt strings), CPU s", "%.3f", median(after_s, "floor_cpu"),
        s and median(s, "floor_cpu"))
    row("  fetch / floor", "%.2f", ratio_after, ratio_before)
    row("store batch save, contacts per CPU second", "%.0f", median(after_s, "save_rate"),
        s and median(s, "save_rate"), s and "%.2fx faster" % paired(s, after_s, "save_cpu"))


if __name__ == "__main__":
    main()
