#!/usr/bin/env python3
"""Mutation testing of the product code against the Qt Test suites.

Each mutant in scripts/mutants.txt names a source file, a piece of text that
occurs exactly once in it and its replacement. The mutants are applied one at
a time to the source tree; the non-sanitized build is rebuilt incrementally
and the suites of the mutated folder and of the folders that use it run. A
failing suite kills the mutant; a mutant that does not compile is invalid and
counts neither way. The source is restored after every mutant, also when the
run is interrupted.
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Who links whom: a mutant in a folder runs the suites of these folders, the
# folder's own first (CTest keeps the order in which tests are defined).
USERS = {
    # The library's callers; the windows above them add minutes per mutant and
    # see the library only through these.
    "camlib": ["camlib", "camera", "hotpixel"],
    "camera": ["camera", "hotpixel", "controls", "detection", "display", "genicam", "app"],
    "genicam": ["genicam", "app"],
    "hotpixel": ["hotpixel", "detection", "display", "app"],
    "controls": ["controls", "detection", "app"],
    "detection": ["detection", "app"],
    "display": ["display", "app"],
    "app": ["app"],
}


def read_mutants(path):
    mutants = []
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        parts = [p.strip() for p in line.rstrip("\n").split("@@")]
        if len(parts) != 3:
            sys.exit(f"{path}:{number}: expected 'file @@ text @@ replacement'")
        mutants.append((number, *parts))
    return mutants


# Fails every library call of the main sequence in turn and waits out the
# program's retries after each: minutes per run, so scripts/test.sh runs it and
# the mutants do not.
SKIPPED = {"tst_faultinjection"}


def suite_names(folder):
    """Test names registered in tests/<folder>/CMakeLists.txt."""
    cmake = os.path.join(ROOT, "tests", folder, "CMakeLists.txt")
    if not os.path.exists(cmake):
        return []
    names = re.findall(r"speckwright_add_test\((\w+)", open(cmake, encoding="utf-8").read())
    return [n for n in names if n not in SKIPPED]


# The GenICam suites search and talk GigE Vision; as in scripts/test.sh they
# run in a network namespace of their own that has only the loopback
# interface, with the second address their second fake camera uses. Outside
# one they fail whatever the mutant, which would count as a kill.
LOOPBACK_ONLY = ["unshare", "-n", "sh", "-c",
                 'ip link set lo up && ip addr add 127.0.0.2/8 dev lo && exec "$0" "$@"']

running = []


def run(cmd, timeout=None):
    """Runs cmd in a session of its own, so that an interrupt or the time limit
    ends the build or the tests with everything they started. Return code None:
    the time ran out."""
    with subprocess.Popen(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, start_new_session=True) as process:
        running.append(process)
        try:
            output = process.communicate(timeout=timeout)[0]
            code = process.returncode
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            output = process.communicate()[0]
            code = None
        running.remove(process)
    return subprocess.CompletedProcess(cmd, code, output)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "mutate"))
    parser.add_argument("--mutants", default=os.path.join(ROOT, "scripts", "mutants.txt"))
    parser.add_argument("--only", default="", help="regex on 'file text' selecting mutants")
    parser.add_argument("--from", dest="first", type=int, default=0,
                        help="start at this line of the mutant list")
    parser.add_argument("--timeout", type=int, default=60,
                        help="seconds per test; four times that for all suites of a mutant")
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()

    if not os.path.exists(os.path.join(args.build, "CMakeCache.txt")):
        subprocess.run(["cmake", "-S", ROOT, "-B", args.build, "-DCMAKE_BUILD_TYPE=Debug",
                        "-DSPECKWRIGHT_BUILD_BENCH=OFF",
                        "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
                        "-DCMAKE_C_COMPILER_LAUNCHER=ccache"], check=True,
                       stdout=subprocess.DEVNULL)

    mutants = [m for m in read_mutants(args.mutants)
               if m[0] >= args.first and re.search(args.only, f"{m[1]} {m[2]}")]
    original = {}

    def restore():
        for path, text in original.items():
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        original.clear()

    def interrupted(signum, frame):
        for process in running:
            os.killpg(process.pid, signal.SIGTERM)
        restore()
        sys.exit(128 + signum)

    signal.signal(signal.SIGINT, interrupted)
    signal.signal(signal.SIGTERM, interrupted)
    os.environ["QT_QPA_PLATFORM"] = "offscreen"

    counts = {"killed": 0, "survived": 0, "invalid": 0}
    survivors = []
    try:
        for number, file, text, replacement in mutants:
            path = os.path.join(ROOT, file)
            source = open(path, encoding="utf-8").read()
            if source.count(text) != 1:
                print(f"line {number}: '{text}' occurs {source.count(text)} times in {file}")
                counts["invalid"] += 1
                continue
            folder = file.split("/")[0]
            suites = [s for f in USERS.get(folder, [folder, "app"]) for s in suite_names(f)]
            original[path] = source
            with open(path, "w", encoding="utf-8") as f:
                f.write(source.replace(text, replacement))
            started = time.time()
            build = run(["cmake", "--build", args.build, "-j", str(args.jobs), "--target", *suites])
            if build.returncode != 0:
                result, killer = "invalid", "does not compile"
            else:
                # The suites' own TIMEOUT property outranks ctest's --timeout, so a
                # mutant that makes a suite hang is bounded here; a hang kills it.
                ctest = ["ctest", "--test-dir", args.build, "--stop-on-failure",
                         "--timeout", str(args.timeout), "-j", str(args.jobs),
                         "-R", "^(" + "|".join(suites) + ")$"]
                tests = run(LOOPBACK_ONLY + ctest, timeout=args.timeout * 4)
                failed = re.findall(r"\d+ - (\w+) \((?:Failed|Timeout|SEGFAULT|Subprocess aborted|"
                                    r"Child aborted|Exception|OTHER_FAULT|Not Run)", tests.stdout)
                if tests.returncode is None:
                    result, killer = "killed", "hangs"
                elif tests.returncode != 0:
                    result, killer = "killed", ",".join(failed) or "ctest failed"
                else:
                    result, killer = "survived", ""
            restore()
            counts[result] += 1
            if result == "survived":
                survivors.append(number)
            print(f"{result.upper():8} line {number:3} {file}: {text}  ->  {replacement}"
                  f"  [{killer}] {time.time() - started:.0f}s", flush=True)
    finally:
        restore()

    valid = counts["killed"] + counts["survived"]
    rate = 100.0 * counts["killed"] / valid if valid else 0.0
    print(f"\n{counts['killed']} killed, {counts['survived']} survived, "
          f"{counts['invalid']} invalid; kill rate {rate:.1f} %")
    if survivors:
        print("survivors at mutants.txt lines: " + " ".join(map(str, survivors)))


if __name__ == "__main__":
    main()
