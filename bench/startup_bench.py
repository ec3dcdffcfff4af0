#!/usr/bin/env python3
"""Start-up of the application over a large local account, measured from outside.

Runs the real application offscreen on a home folder holding the account, watches its log file,
and at the moment the account's contacts are installed (the whole count is known) reads the
process's CPU time and peak memory from /proc. Then it ends the application with SIGTERM, the way
a session ending does. Several runs; the median is printed.

    startup_bench.py BUILD_DIR [--home DIR] [--contacts N] [--runs N] [--compare OTHER_BUILD_DIR]

The home folder is made on first use: the generator's contacts (../shared/peers/gen_contacts.py)
imported into the local account with peoplekeeper-cli. With --compare, the two builds run
alternately on the same home and the paired CPU ratios are printed too.
"""

import argparse
import os
import re
import signal
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(HERE, "..", "..", "shared", "peers", "gen_contacts.py")
TICKS = os.sysconf("SC_CLK_TCK")


def environment(home):
    # Its own runtime folder, so that a copy of the application running elsewhere does not take the
    # launch for a second one.
    runtime = os.path.join(home, "runtime")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    env = dict(os.environ)
    env["XDG_RUNTIME_DIR"] = runtime
    env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CACHE_HOME=os.path.join(home, "cache"), QT_QPA_PLATFORM="offscreen",
               QT_LOGGING_RULES="kq.store.nodes.debug=true")
    return env


def make_home(build, home, contacts):
    os.makedirs(home, exist_ok=True)
    card = os.path.join(home, "contacts.vcf")
    if not os.path.exists(card):
        subprocess.run([sys.executable, GENERATOR, str(contacts), os.path.join(home, "contacts")], check=True,
                       cwd=home, stdout=subprocess.DEVNULL)
    cli = os.path.join(build, "cli", "peoplekeeper-cli")
    subprocess.run([cli, "import", card, "--account", "On My Computer"], check=True, env=environment(home),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def peak_mib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return 0.0


def log_folder(home):
    return os.path.join(home, "cache", "Peoplekeeper", "Peoplekeeper")


def run_once(build, home, timeout=60):
    """CPU seconds, peak MiB, count and fetches of the account when its contacts are in; None on failure.

    The application writes its log to a new file in its cache folder; the bench reads that file as
    it grows."""
    app = os.path.join(build, "app", "peoplekeeper")
    folder = log_folder(home)
    before = set(os.listdir(folder)) if os.path.isdir(folder) else set()
    process = subprocess.Popen([app], env=environment(home), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    fetches = {}
    result = None
    deadline = time.monotonic() + timeout
    log = None
    text = ""
    try:
        while time.monotonic() < deadline and result is None and process.poll() is None:
            time.sleep(0.01)
            if log is None:
                new = sorted(set(os.listdir(folder)) - before) if os.path.isdir(folder) else []
                if not new:
                    continue
                log = open(os.path.join(folder, new[-1]), "rb")
            text += log.read().decode("utf-8", "replace")
            *lines, text = text.split("\n")
            for line in lines:
                fetch = re.search(r"fetching contacts of node (\S+)", line)
                if fetch:
                    fetches[fetch.group(1)] = fetches.get(fetch.group(1), 0) + 1
                installed = re.search(r"installed (\d+) contacts of node (\S+)", line)
                if installed and int(installed.group(1)) > 0:
                    result = [cpu_seconds(process.pid), peak_mib(process.pid), int(installed.group(1)),
                              fetches.get(installed.group(2), 0)]
                    break
        if result is not None:
            # Then until the application is idle (the list sorted, the search ready): a second
            # without a hundredth of a second of CPU.
            settle = time.monotonic() + 30
            last = cpu_seconds(process.pid)
            while time.monotonic() < settle:
                time.sleep(1.0)
                now = cpu_seconds(process.pid)
                if now - last < 0.01:
                    break
                last = now
            result += [cpu_seconds(process.pid), peak_mib(process.pid)]
    finally:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        if log is not None:
            log.close()
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--home", default="/tmp/peoplekeeper-startup-bench")
    parser.add_argument("--contacts", type=int, default=100000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--compare", help="a second build folder, run alternately with the first")
    args = parser.parse_args()

    if not os.path.exists(os.path.join(args.home, "data")):
        make_home(args.build, args.home, args.contacts)
    builds = [args.build] + ([args.compare] if args.compare else [])
    results = {build: [] for build in builds}
    for round_ in range(args.runs):
        order = builds if round_ % 2 == 0 else list(reversed(builds))
        for build in order:
            measured = run_once(build, args.home)
            if measured is None:
                print(f"{build}: the account's contacts were not installed", file=sys.stderr)
                return 1
            results[build].append(measured)

    print(f"start-up over {results[args.build][0][2]} contacts, {args.runs} runs, median")
    for build in builds:
        cpu = statistics.median(r[0] for r in results[build])
        peak = statistics.median(r[1] for r in results[build])
        fetches = max(r[3] for r in results[build])
        idle_cpu = statistics.median(r[4] for r in results[build])
        idle_peak = statistics.median(r[5] for r in results[build])
        print(f"  {build}: whole count after {cpu:.2f} CPU-s (goal <= 1.00) and {peak:.0f} MiB; "
              f"idle after {idle_cpu:.2f} CPU-s, peak {idle_peak:.0f} MiB (goal < 350); "
              f"account fetched {fetches} time(s)")
    if args.compare:
        ratios = [a[0] / b[0] for a, b in zip(results[args.build], results[args.compare]) if b[0] > 0]
        print(f"  CPU ratio {args.build} / {args.compare}: {statistics.median(ratios):.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
