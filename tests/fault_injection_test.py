#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
"""Makes each system call of real runs of kun2wyt fail, one at a time, at each call, with each
error that call can really give (and writes come up short), and checks after every run that:
  - the input is never changed, and every file that changed is one of the run's outputs, empty;
  - status 0 comes exactly when the output exists, empty, and the report was written or tried;
  - a failing call gives status 1 with its message, unless it was the write of that message;
  - nothing goes to standard error, and the run neither crashes nor hangs.

usage: fault_injection_test.py KUN2WYT    (needs strace; exits 77, skipped, without it)
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

BINARY = os.path.abspath(sys.argv[1])
LEVEL_SCHEME = b"511.2 2 +\n"
INITIAL = {"in.kun": LEVEL_SCHEME, "old.wyt": b"stale\n", "b.KUN": LEVEL_SCHEME}

# glibc's poll() is the poll call where there is one, ppoll where there is not (and qemu makes
# ppoll for the aarch64 program it runs): both are named, one unknown to strace is passed over.
POLL = "?poll,ppoll"

# A file is opened by open or openat, and looked at by fstat or newfstatat, as the C library
# chooses: musl's x86-64 start takes the older calls, glibc the newer ones.
OPENS = ("open", "openat")
OPEN_ERRORS = ["ENOENT", "EACCES", "EIO", "EMFILE", "ENFILE", "ENOMEM", "ENOSPC", "EROFS", "EDQUOT"]

# The errors each call can really give; "short:N" makes a write take only N bytes, and
# "EAGAIN+poll:X" finds standard output full, then has the wait for it fail with X, or
# ("EAGAIN+poll:woken") return without the output being ready.
ERRORS = {
    "fcntl": ["EBADF"],
    "rt_sigaction": ["EINVAL"],
    "open": OPEN_ERRORS,
    "openat": OPEN_ERRORS,
    "fstat": ["EIO"],
    "newfstatat": ["EIO"],
    "ftruncate": ["EIO", "EPERM"],
    "writev": ["EIO", "ENOSPC", "EPIPE", "EAGAIN", "EINTR", "short:1", "short:16",
               "EAGAIN+poll:EINTR", "EAGAIN+poll:ENOMEM", "EAGAIN+poll:woken"],
    "close": ["EIO"],
}

USAGE = open(os.path.join(os.path.dirname(__file__), "usage.txt"), "rb").read()


def report(inp, out):
    return b"\n  Input file: " + inp + b"\n Output file: " + out + b"\n"


def input_error(name):
    return b"\nERROR: cannot open input file " + name + b" for reading...\n" + USAGE


def output_error(name):
    return b"\nERROR: cannot open output file " + name + b" for writing...\n"


# (name, arguments, the outputs it may create or empty, descriptors closed before the run)
RUNS = [
    ("derived name", ["in.kun"], ["in.wyt"], []),
    ("one -o", ["in.kun", "-o", "out.x"], ["out.x"], []),
    ("several -o", ["in.kun", "-o", "a.x", "-o", "b.x"], ["a.x", "b.x"], []),
    ("output with content", ["in.kun", "-o", "old.wyt"], ["old.wyt"], []),
    ("output is the input", ["in.kun", "-o", "in.kun"], [], []),
    ("output is another input", ["in.kun", "-o", "b.KUN"], [], []),
    ("missing input", ["none.kun"], [], []),
    ("stdin and stderr closed", ["in.kun"], ["in.wyt"], [0, 2]),
    ("all standard descriptors closed", ["in.kun", "-o", "out.x"], ["out.x"], [0, 1, 2]),
]

TRACE_LINE = re.compile(r"^(\w+)\((.*)\)\s+= (-?\d+|\?)")


def lay(folder):
    for name, content in INITIAL.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)


def snapshot(folder):
    files = {}
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            files[name] = f.read()
    return files


def launch(folder, args, closed, strace_args):
    """Runs kun2wyt under strace in `folder`; returns (status, stdout, stderr)."""
    err = tempfile.TemporaryFile()
    out_r, out_w = os.pipe()
    std = {0: subprocess.DEVNULL, 1: out_w, 2: err}

    def close_standard():
        for fd in closed:
            os.close(fd)

    # strace's own trace file is opened close-on-exec, so the closed numbers stay closed for the
    # program it starts.
    proc = subprocess.Popen(["strace", "-qq", *strace_args, BINARY, *args], cwd=folder,
                            stdin=std[0], stdout=std[1], stderr=std[2], preexec_fn=close_standard)
    os.close(out_w)
    with os.fdopen(out_r, "rb") as r:
        out = r.read()
    status = proc.wait(timeout=20)
    err.seek(0)
    return status, out, err.read()


def calls_of_the_program(trace_file):
    """The calls in the trace as (name, arguments, result, file), split where main's first call
    stands: what the loader and the C library do before it, and the program's own. `file` is
    (name, opened for writing) for the calls that open or act on a file."""
    calls = []
    files = {}  # descriptor -> file, as the trace opens them
    for line in open(trace_file, encoding="latin-1"):
        m = TRACE_LINE.match(line)
        if not m:
            continue
        name, arguments, result = m.groups()
        if name in OPENS:
            files[result] = (arguments.split('"')[1], "O_WRONLY" in arguments)
        target = files.get(result if name in OPENS else arguments.split(",")[0])
        # A coverage build's count files are written by its run-time at exit, not by the program.
        if target and target[0].endswith(".gcda"):
            continue
        calls.append((name, arguments, result, target))
    first = next(i for i, c in enumerate(calls) if c[:2] == ("fcntl", "0, F_GETFD"))
    return calls[:first], calls[first:]


def expected_message(call):
    """What a run must print when `call` fails: None when the run must go on as if it had not."""
    name, arguments, _, target = call
    if name not in (*OPENS, "fstat", "newfstatat", "ftruncate"):
        return None
    if target is None:  # a look at an output's name before it is opened: refused as its open would be
        target = (arguments.split('"')[1], True)
    if target[0] == "/dev/null":
        return None
    path, writing = target
    return output_error(path.encode()) if writing else input_error(path.encode())


def tampering(name, error, when):
    """strace's options that make the `when`th call `name` fail with `error`."""
    if error.startswith("short:"):  # the call is skipped and says it took N bytes
        return ["-e", f"trace={name}", "-e", f"inject={name}:retval={error[6:]}:when={when}"]
    if error.startswith("EAGAIN+poll:"):
        woken = error[12:]
        poll = "retval=1" if woken == "woken" else f"error={woken}"  # retval: no event set
        return ["-e", f"trace={name},{POLL}", "-e", f"inject={name}:error=EAGAIN:when={when}",
                "-e", f"inject={POLL}:{poll}:when=1"]
    return ["-e", f"trace={name}", "-e", f"inject={name}:error={error}:when={when}"]


def printed_despite(error, call, own, base_out):
    """What reaches standard output when the write `call` fails with `error`: all the other
    writes; of this one, what a short write took is lost, an interrupted write or wait is done
    again, and a full descriptor is waited for; a wait that fails loses this write."""
    writes = [c for c in own if c[0] == "writev"]
    start = sum(int(c[2]) for c in writes[:writes.index(call)])
    retried = ("EAGAIN", "EINTR", "EAGAIN+poll:EINTR")
    lost = 0 if error in retried else {"short:1": 1, "short:16": 16}.get(error, int(call[2]))
    return base_out[:start] + base_out[start + lost:]


def check(run, call, own, error, result, baseline, failures):
    title, args, outputs, closed = run
    status, out, err, files = result
    base_status, base_out, base_files = baseline

    def fail(what):
        failures.append(f"{title}: {call[0]}({call[1][:40]}) {error}: {what}")

    if err:
        fail(f"wrote to stderr: {err!r}")
    if files.get("in.kun") != LEVEL_SCHEME:
        fail("the input changed")
    for name, content in files.items():
        if INITIAL.get(name) != content and (name not in outputs or content != b""):
            fail(f"{name} changed")
    if status == 0 and files != base_files:
        fail("status 0 without every output in place")

    captured = 1 not in closed
    message = expected_message(call)
    if message is None:
        if status != base_status or files != base_files:
            fail(f"status {status} and files differ from the run without the fault")
        wanted = printed_despite(error, call, own, base_out) if call[0] == "writev" else base_out
        if captured and out != wanted:
            fail(f"printed {out!r}, not {wanted!r}")
    else:
        if status != 1:
            fail(f"status {status} after a failed {call[0]}")
        if captured and out != message:
            fail(f"printed {out!r}, not {message!r}")


def main():
    if not shutil.which("strace"):
        print("SKIPPED: strace is not installed")
        return 77
    failures = []
    table = {}
    runs_done = failed_runs = 0
    with tempfile.TemporaryDirectory(prefix="kun2wyt-faults-") as top:
        folder = os.path.join(top, "run")
        trace = os.path.join(top, "trace")

        def fresh():
            shutil.rmtree(folder, ignore_errors=True)
            os.mkdir(folder)
            lay(folder)

        for run in RUNS:
            title, args, outputs, closed = run
            fresh()
            status, out, _ = launch(folder, args, closed, ["-o", trace])
            baseline = (status, out, snapshot(folder))
            before, own = calls_of_the_program(trace)
            for index, call in enumerate(own):
                if call[0] not in ERRORS:
                    continue
                # strace counts each call from the start of the process, the loader's included.
                when = sum(1 for c in before + own[:index] if c[0] == call[0]) + 1
                for error in ERRORS[call[0]]:
                    fresh()
                    runs_done += 1
                    try:
                        result = launch(folder, args, closed,
                                        ["-o", "/dev/null", *tampering(call[0], error, when)])
                    except subprocess.TimeoutExpired:
                        failures.append(f"{title}: {call[0]} {error}: hung")
                        failed_runs += 1
                        continue
                    failures_before = len(failures)
                    check(run, call, own, error, (*result, snapshot(folder)), baseline, failures)
                    row = table.setdefault((call[0], error), [0, 0, set()])
                    row[0] += 1
                    row[1] += len(failures) - failures_before
                    failed_runs += len(failures) > failures_before
                    row[2].add(title)

        # No /dev/null at all (a chroot without /dev): every attempt to hold a descriptor fails.
        # With standard output closed too, the report must go nowhere, not into the output file.
        for closed, args, output in (([0, 2], ["in.kun"], "in.wyt"), ([0, 1, 2], ["in.kun", "-o", "out.x"], "out.x")):
            fresh()
            launch(folder, args, closed, ["-o", trace])
            before, own = calls_of_the_program(trace)
            opener = next(c[0] for c in own if c[0] in OPENS)
            first = sum(1 for c in before if c[0] == opener) + 1
            status, out, err = launch(folder, args, closed,
                                      ["-o", "/dev/null", "-e", f"trace={opener}",
                                       "-e", f"inject={opener}:error=ENOENT:when={first}..{first + len(closed) - 1}"])
            runs_done += 1
            printed = b"" if 1 in closed else report(b"in.kun", output.encode())
            files = snapshot(folder)
            if (status, out, err) != (0, printed, b"") or files.get(output) != b"" or files["in.kun"] != LEVEL_SCHEME:
                failures.append(f"no /dev/null, {closed} closed: status {status}, printed {out!r}, "
                                f"{output} holds {files.get(output)!r}")
                failed_runs += 1

    print(f"{'call':<14}{'error':<20}{'runs':>6}{'violations':>12}  runs covered")
    for (call, error), (count, bad, titles) in sorted(table.items()):
        print(f"{call:<14}{error:<20}{count:>6}{bad:>12}  {len(titles)}")
    for failure in failures:
        print("FAIL", failure)
    print(f"{runs_done - failed_runs} passed, {failed_runs} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
