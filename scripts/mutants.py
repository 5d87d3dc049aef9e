#!/usr/bin/env python3
"""Measures how many small faults in the production code the test suites catch.

Takes a seeded sample of small changes ("mutants") to the sources in src/ (or the folders
given): a comparison flipped, a condition inverted, a statement or call dropped, an integer
constant changed by one, a function returning at once. Each is applied alone to a scratch
copy of the sources (build/mutants/tree; the working tree is never written to), the copy's
build is brought up to date and the test suites that link the changed file run with a time
limit. A mutant is killed when a test fails (the report names which), survived when every
test passes, and left out of the score when it does not compile.

    scripts/mutants.sh [--count N] [--seed S] [--folders src/protocol src/serial ...]
                       [--timeout SECONDS] [--all-suites] [--first N] [--list]

The report goes to standard output and, one mutant a line, to build/mutants/report.tsv.
"""

import argparse
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "build" / "mutants"
TREE = WORK / "tree"
BUILD = TREE / "build" / "mutants"

# The copy is configured as the default build is, without benchmarks: what it compiles is
# mostly found in the compiler cache.
CONFIGURE = [
    "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
    "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Werror",
    "-DDRAVOLIN_BUILD_BENCHMARKS=OFF",
]

KEYWORDS_NOT_DROPPED = (
    "return", "break", "continue", "case", "default", "using", "typedef", "static_assert",
    "namespace", "template", "public", "private", "protected", "goto", "throw", "co_return",
    "else", "do", "struct", "class", "enum", "friend", "extern", "const", "constexpr",
    "static", "inline", "auto", "explicit", "virtual", "override",
)


class Mutant:
    def __init__(self, path, line, kind, before, after):
        self.path = path  # relative to the repository
        self.line = line  # 1-based
        self.kind = kind
        self.before = before  # the whole line
        self.after = after

    def describe(self):
        return f"{self.path}:{self.line} {self.kind}: {self.before.strip()}  ->  {self.after.strip()}"


# --- finding the mutants -----------------------------------------------------------------


def code_mask(lines):
    """For each line, the set of character positions that are code: not in a comment, a
    string or a character literal, and not a preprocessor line."""
    masks = []
    in_block = False
    for text in lines:
        code = [False] * len(text)
        if not in_block and text.lstrip().startswith("#"):
            masks.append(code)
            continue
        i = 0
        while i < len(text):
            if in_block:
                end = text.find("*/", i)
                if end < 0:
                    i = len(text)
                else:
                    i = end + 2
                    in_block = False
                continue
            if text.startswith("//", i):
                break
            if text.startswith("/*", i):
                in_block = True
                i += 2
                continue
            if text[i] in "\"'":
                # A raw string stays on one line in this code base or is skipped wholly.
                quote = text[i]
                j = i + 1
                while j < len(text) and text[j] != quote:
                    j += 2 if text[j] == "\\" else 1
                i = j + 1
                continue
            code[i] = True
            i += 1
        masks.append(code)
    return masks


def all_code(mask, start, end):
    return end <= len(mask) and all(mask[start:end])


COMPARISONS = [
    (re.compile(r" == "), " != "),
    (re.compile(r" != "), " == "),
    (re.compile(r" <= "), " < "),
    (re.compile(r" >= "), " > "),
    (re.compile(r" < "), " <= "),
    (re.compile(r" > "), " >= "),
    (re.compile(r" && "), " || "),
    (re.compile(r" \|\| "), " && "),
]
INTEGER = re.compile(r"(?<![\w.])(\d+)(?![\w.'])")
CONDITION = re.compile(r"\b(if|while) \(")
FUNCTION_START = re.compile(
    r"^(void|bool) [\w:~]+\([^;]*\)( const)?( noexcept)? \{$")
STATEMENT = re.compile(r"^\s*[\w:.\->\[\]()*&!~]+(\(.*\)|\s*(=|\+=|-=|\|=|&=|\+\+|--).*|\+\+|--);$")


def matching_paren(text, open_at):
    depth = 0
    for k in range(open_at, len(text)):
        if text[k] == "(":
            depth += 1
        elif text[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def mutants_of_file(rel, text):
    lines = text.split("\n")
    masks = code_mask(lines)
    found = []
    for n, (line, mask) in enumerate(zip(lines, masks), start=1):
        if not any(mask):
            continue
        stripped = line.strip()
        for pattern, replacement in COMPARISONS:
            for m in pattern.finditer(line):
                if all_code(mask, m.start(), m.end()) and "<=>" not in line:
                    after = line[: m.start()] + replacement + line[m.end():]
                    found.append(Mutant(rel, n, "flip comparison", line, after))
        for m in CONDITION.finditer(line):
            open_at = m.end() - 1
            close_at = matching_paren(line, open_at)
            if close_at < 0 or not all_code(mask, m.start(), m.end()):
                continue
            inner = line[open_at + 1 : close_at]
            if ";" in inner or inner.startswith("const") or " : " in inner:
                continue
            after = line[: open_at + 1] + "!(" + inner + ")" + line[close_at:]
            found.append(Mutant(rel, n, "invert condition", line, after))
        for m in INTEGER.finditer(line):
            if not all_code(mask, m.start(), m.end()):
                continue
            before_text = line[: m.start()]
            if re.search(r"\[\s*$", before_text) and stripped.startswith(("std::array", "char ")):
                continue
            if m.group(1).startswith("0") and len(m.group(1)) > 1:
                continue  # an octal mode, say
            value = int(m.group(1))
            new = value + 1 if (value + n) % 2 == 0 or value == 0 else value - 1
            after = line[: m.start()] + str(new) + line[m.end():]
            found.append(Mutant(rel, n, "constant by one", line, after))
        for word, other in (("true", "false"), ("false", "true")):
            for m in re.finditer(rf"\b{word}\b", line):
                if all_code(mask, m.start(), m.end()):
                    after = line[: m.start()] + other + line[m.end():]
                    found.append(Mutant(rel, n, "invert condition", line, after))
        previous = next((lines[k].strip() for k in range(n - 2, -1, -1) if lines[k].strip()), "")
        starts_statement = previous.endswith((";", "{", "}", ":")) or previous.startswith("//")
        if (
            starts_statement
            and STATEMENT.match(line)
            and all(mask[len(line) - len(line.lstrip()):])
            and not stripped.startswith(KEYWORDS_NOT_DROPPED)
            and not re.match(r"^[\w:<>]+\s+[\w]+\s*(=|\(|\{)", stripped)  # a declaration
        ):
            indent = line[: len(line) - len(line.lstrip())]
            found.append(Mutant(rel, n, "drop statement", line, indent + ";"))
        m = FUNCTION_START.match(line)
        if m and all(mask):
            early = " return;" if m.group(1) == "void" else " return false;"
            found.append(Mutant(rel, n, "return early", line, line + early))
    return found


def candidate_files(folders):
    files = []
    for folder in folders:
        base = ROOT / folder
        if not base.is_dir():
            sys.exit(f"mutants: no folder {folder}")
        for path in sorted(base.rglob("*")):
            # The Windows twins are built and tested by the Windows step only: here a change
            # in them could never be caught, and would only lower the score.
            windows_twin = path.stem.endswith("_win32")
            if path.suffix in (".cpp", ".h") and path.is_file() and not windows_twin:
                files.append(path)
    return files


def part_of(rel, folders):
    """The part a source belongs to for sampling: its folder under one of those given
    (src/protocol for src given), or the given folder itself."""
    for folder in folders:
        if rel.startswith(folder + "/"):
            rest = rel[len(folder) + 1 :].split("/")
            return folder + "/" + rest[0] if len(rest) > 1 else folder
    return ""


def sample_mutants(folders, count, seed):
    """An even share of the sample from each part (folder) of the code, chosen at random
    (seeded) there."""
    by_part = {}
    for path in candidate_files(folders):
        rel = str(path.relative_to(ROOT))
        by_part.setdefault(part_of(rel, folders), []).extend(mutants_of_file(rel, path.read_text()))
    rng = random.Random(seed)
    parts = sorted(by_part)
    pools = {part: rng.sample(by_part[part], len(by_part[part])) for part in parts}
    chosen = []
    while len(chosen) < count and any(pools.values()):
        for part in parts:
            if pools[part] and len(chosen) < count:
                chosen.append(pools[part].pop())
    return chosen


# --- the scratch copy and its build ------------------------------------------------------


def tracked_files():
    out = subprocess.run(
        ["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
        cwd=ROOT, check=True, capture_output=True).stdout
    return [name for name in out.decode().split("\0") if name and (ROOT / name).is_file()]


def sync_copy():
    """Makes the copy hold exactly the working tree's files; a file already the same keeps
    its time, so the copy's build stays incremental."""
    TREE.mkdir(parents=True, exist_ok=True)
    names = set(tracked_files())
    for name in names:
        source, target = ROOT / name, TREE / name
        data = source.read_bytes()
        if not target.is_file() or target.read_bytes() != data:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            shutil.copymode(source, target)
    for path in TREE.rglob("*"):
        rel = path.relative_to(TREE)
        if rel.parts[0] == "build" or not path.is_file():
            continue
        if str(rel) not in names:
            path.unlink()


def run(command):
    """Runs a command in a process group of its own, which ends with it however this
    script ends (a build leaves no compiler behind)."""
    process = subprocess.Popen(command, text=True, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, start_new_session=True)
    try:
        output, _ = process.communicate()
    except BaseException:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        raise
    return subprocess.CompletedProcess(command, process.returncode, output, "")


def build(jobs, targets=None):
    command = ["cmake", "--build", str(BUILD), "-j", str(jobs)]
    if targets:
        command += ["--target", *targets]
    return run(command)


def test_programs():
    """The gtest programs of the copy's build: name -> (program, what it links or runs)."""
    programs = {}
    for link in sorted((BUILD / "tests").rglob("CMakeFiles/*.dir/link.txt")):
        name = link.parent.name[: -len(".dir")]
        command = link.read_text()
        # The rig's programs run inside its virtual machine only (tests/rig/rig_test.sh).
        if "gtest" not in command or "/tests/rig/" in str(link):
            continue
        flags = (link.parent / "flags.make").read_text()
        program = link.parent.parent.parent / name
        programs[name] = (program, command + flags)
    return programs


def targets_of(rel):
    """The library and program targets that compile the source `rel`."""
    source = str(TREE / rel)
    found = set()
    for entry in json.loads((BUILD / "compile_commands.json").read_text()):
        if entry["file"] == source:
            match = re.search(r"CMakeFiles/([^/ ]+)\.dir/", entry["command"])
            if match:
                found.add(match.group(1))
    return found


def runs_program(uses, program):
    return re.search(rf'/{re.escape(program)}\\?"', uses) is not None


def suites_for(rel, programs, all_suites):
    """The suites that link a library built from `rel` or run a program that does."""
    if all_suites or rel.endswith(".h"):
        return sorted(programs)
    targets = targets_of(rel)
    links = {}
    for link in BUILD.rglob("CMakeFiles/*.dir/link.txt"):
        links[link.parent.name[: -len(".dir")]] = link.read_text()
    built_into = set(targets)
    for name, command in links.items():
        if any(f"lib{target}.a" in command for target in targets):
            built_into.add(name)
    chosen = set()
    for name, (_, uses) in programs.items():
        if name in built_into:
            chosen.add(name)
        for program in built_into:
            if program in links and not program.startswith("lib") and runs_program(uses, program):
                chosen.add(name)
    return sorted(chosen) or sorted(programs)


def failing_tests(programs, suites, limit, jobs):
    """Runs the suites (a few at once) and returns (names of failed tests, timed out)."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    failed = set()
    deadline = time.monotonic() + limit
    pending = list(suites)
    running = []
    with tempfile.TemporaryDirectory() as scratch:
        try:
            while pending or running:
                while pending and len(running) < jobs:
                    name = pending.pop(0)
                    report = Path(scratch) / f"{name}.json"
                    process = subprocess.Popen(
                        [str(programs[name][0]), f"--gtest_output=json:{report}"],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env,
                        start_new_session=True)
                    running.append((name, process, report))
                for entry in [e for e in running if e[1].poll() is not None]:
                    running.remove(entry)
                    name, process, report = entry
                    failed |= failures_in(report, name, process.returncode)
                if time.monotonic() > deadline:
                    failed |= {f"{name} (time limit)" for name, _, _ in running}
                    return failed, bool(running)
                time.sleep(0.2)
        finally:
            for _, process, _ in running:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
    return failed, False


def failures_in(report, suite, status):
    failed = set()
    try:
        data = json.loads(report.read_text())
        for group in data.get("testsuites", []):
            for case in group.get("testsuite", []):
                if case.get("failures"):
                    failed.add(f"{group['name']}.{case['name']}")
    except (OSError, ValueError):
        pass
    if status != 0 and not failed:
        failed.add(f"{suite} (exit {status})")
    return failed


# --- applying one mutant at a time -------------------------------------------------------


class Applied:
    """A mutant written into the copy, and the original put back however this ends."""

    def __init__(self, mutant):
        self.path = TREE / mutant.path
        self.original = self.path.read_text()
        lines = self.original.split("\n")
        if lines[mutant.line - 1] != mutant.before:
            raise RuntimeError(f"{mutant.path}:{mutant.line} is not the line sampled")
        lines[mutant.line - 1] = mutant.after
        self.mutated = "\n".join(lines)

    def __enter__(self):
        self.path.write_text(self.mutated)
        return self

    def __exit__(self, *exc):
        self.path.write_text(self.original)
        return False


def raise_on_term(signum, frame):
    raise KeyboardInterrupt


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--count", type=int, default=20, help="mutants to try (20)")
    parser.add_argument("--seed", type=int, default=1, help="seed of the sample (1)")
    parser.add_argument("--folders", nargs="+", default=["src"],
                        help="folders to mutate; each of their folders gets an even share (src)")
    parser.add_argument("--timeout", type=int, default=300,
                        help="seconds the suites of one mutant may take (300)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2,
                        help="compilers and suites at once (processors)")
    parser.add_argument("--all-suites", action="store_true",
                        help="run every suite, not only those that link the changed file")
    parser.add_argument("--first", type=int, default=1,
                        help="go on from this mutant of the sample, as after a stopped run (1)")
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    args = parser.parse_args()

    folders = [f.rstrip("/") for f in args.folders]
    mutants = sample_mutants(folders, args.count, args.seed)
    if not mutants:
        sys.exit("mutants: nothing to mutate in " + " ".join(folders))
    # The sample is drawn whole and then cut, so a run that goes on from mutant N tries the
    # same changes a whole run would have tried from there.
    numbered = list(enumerate(mutants, 1))[max(args.first, 1) - 1:]
    if args.list:
        for i, mutant in numbered:
            print(f"{i:4} {mutant.describe()}")
        return 0

    signal.signal(signal.SIGTERM, raise_on_term)
    print(f"mutants: {len(mutants)} (seed {args.seed}) in {' '.join(folders)}; "
          f"scratch copy {TREE.relative_to(ROOT)}", flush=True)
    sync_copy()
    if not (BUILD / "CMakeCache.txt").exists():
        configured = run(["cmake", "-S", str(TREE), "-B", str(BUILD), *CONFIGURE])
        if configured.returncode != 0:
            sys.exit("mutants: configuring the copy failed:\n" + configured.stdout[-3000:])
    built = build(args.jobs)
    if built.returncode != 0:
        sys.exit("mutants: the unchanged copy does not build:\n" + built.stdout[-3000:])
    programs = test_programs()
    needed = sorted({suite for _, mutant in numbered
                     for suite in suites_for(mutant.path, programs, args.all_suites)})
    print(f"mutants: the suites without a mutant: {' '.join(needed)}", flush=True)
    already, _ = failing_tests(programs, needed, args.timeout * 3, args.jobs)
    if already:
        print("mutants: these fail without a mutant and are not counted: "
              + ", ".join(sorted(already)), flush=True)

    rows = []
    WORK.mkdir(parents=True, exist_ok=True)
    try:
        for i, mutant in numbered:
            started = time.monotonic()
            suites = suites_for(mutant.path, programs, args.all_suites)
            with Applied(mutant):
                built = build(args.jobs, suites)
                if built.returncode != 0:
                    outcome, killers = "did not compile", []
                else:
                    failed, timed_out = failing_tests(programs, suites, args.timeout, args.jobs)
                    killers = sorted(failed - already)
                    outcome = "killed" if killers else "survived"
            seconds = time.monotonic() - started
            rows.append((mutant, outcome, killers, seconds))
            print(f"[{i}/{len(mutants)}] {outcome}: {mutant.describe()}"
                  + (f"\n      by {', '.join(killers[:6])}" + (" ..." if len(killers) > 6 else "")
                     if killers else "")
                  + f"  ({seconds:.0f} s)", flush=True)
    except KeyboardInterrupt:
        print("mutants: interrupted; the copy holds the original sources again", flush=True)
    # The copy's objects built from the last mutant are older than its restored source, so
    # the next build (of a run or by hand) makes them again from the original.
    write_report(rows)
    return 0


def write_report(rows):
    with open(WORK / "report.tsv", "w") as report:
        report.write("file\tline\tkind\toutcome\tkilled_by\tmutated\n")
        for mutant, outcome, killers, _ in rows:
            report.write(f"{mutant.path}\t{mutant.line}\t{mutant.kind}\t{outcome}\t"
                         f"{','.join(killers)}\t{mutant.after.strip()}\n")
    killed = sum(1 for row in rows if row[1] == "killed")
    survived = sum(1 for row in rows if row[1] == "survived")
    stillborn = sum(1 for row in rows if row[1] == "did not compile")
    scored = killed + survived
    score = f"{100 * killed / scored:.1f} %" if scored else "none"
    print(f"mutants: {killed} killed, {survived} survived, {stillborn} did not compile; "
          f"score {killed}/{scored} = {score}")
    print(f"mutants: report in {(WORK / 'report.tsv').relative_to(ROOT)}")


if __name__ == "__main__":
    sys.exit(main())
