"""Helpers for the end-to-end tests: the real exe under Wine.

Wine here may run under user-mode emulation, where booting a prefix takes
minutes and each process start seconds. So one prefix serves every test, a
persistent wineserver keeps Wine's own services alive between runs, and every
wait is bounded.

Run as a script, `python3 harness.py prepare` creates the prefix once.
"""

import atexit
import fcntl
import itertools
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
WIN32_BIN = Path(os.environ.get("PRELAUNCH_WIN32_BIN", REPO / "build" / "win32" / "bin"))
PREFIX = Path(os.environ.get("PRELAUNCH_WINEPREFIX", REPO / "build" / "wineprefix"))
WINE = os.environ.get("PRELAUNCH_WINE", "wine")
WINESERVER = os.environ.get("PRELAUNCH_WINESERVER", "wineserver")
DRIVE_C = PREFIX / "drive_c"
SCENARIO_ROOT = DRIVE_C / "e2e"

PREFIX_BOOT_TIMEOUT = 1800
RUN_TIMEOUT = 300
ANSWERER_READY_TIMEOUT = 180
ANSWERER_STOP_TIMEOUT = 60

_READY_MARK = PREFIX / ".prelaunch-prefix-ready"


def log(text):
    print(f"[e2e {time.strftime('%H:%M:%S')}] {text}", file=sys.stderr, flush=True)


# --- paths --------------------------------------------------------------------

def to_windows(path):
    """C:\\... for a path inside the prefix's drive C."""
    relative = Path(path).resolve().relative_to(DRIVE_C.resolve())
    return "C:\\" + "\\".join(relative.parts)


def to_unix(windows_path):
    if not re.match(r"^[cC]:\\", windows_path):
        raise ValueError(f"not a path on drive C: {windows_path!r}")
    pieces = [p for p in windows_path[3:].split("\\") if p]
    return DRIVE_C.joinpath(*pieces)


# --- Wine's debug output -------------------------------------------------------

_DEBUGSTR = re.compile(r'OutputDebugStringA "(.*)"(\.\.\.)?$')
_ESCAPE = re.compile(r"\\(x[0-9a-fA-F]{2}|.)")
_SIMPLE_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"'}


def unescape_debugstr(text):
    """Undoes Wine's debugstr quoting: \\n \\r \\t \\\\ \\" and \\xNN."""
    def one(match):
        code = match.group(1)
        if code[0] == "x" and len(code) == 3:
            return chr(int(code[1:], 16))
        return _SIMPLE_ESCAPES.get(code, "\\" + code)
    return _ESCAPE.sub(one, text)


def debug_strings(stderr_text):
    """Every OutputDebugStringA text in Wine's stderr, in order.
    Texts Wine cut short keep a trailing '...'."""
    texts = []
    for line in stderr_text.splitlines():
        match = _DEBUGSTR.search(line)
        if match:
            texts.append(unescape_debugstr(match.group(1)) + (match.group(2) or ""))
    return texts


# --- probe records --------------------------------------------------------------

@dataclass
class ProbeRecord:
    command_line: str = ""
    cwd: str = ""
    environment: list = field(default_factory=list)


def parse_probe_records(text):
    records, current = [], None
    for line in text.splitlines():
        word, _, rest = line.partition(" ")
        if word == "BEGIN":
            current = ProbeRecord()
        elif current is None:
            continue
        elif word == "CMDLINE":
            current.command_line = rest
        elif word == "CWD":
            current.cwd = rest
        elif word == "ENV":
            current.environment.append(rest)
        elif word == "END":
            records.append(current)
            current = None
    return records


# --- the session: display, prefix, wineserver ------------------------------------

class Session:
    """The X display and the Wine environment every run of one test process uses."""

    def __init__(self):
        self.xvfb = None
        self.env = None

    def start(self):
        env = dict(os.environ)
        env.update(WINEPREFIX=str(PREFIX), WINEARCH="win32", WINEDLLOVERRIDES="mscoree,mshtml=",
                   WINEDEBUG="-all,warn+debugstr")
        if not env.get("DISPLAY"):
            env["DISPLAY"] = self._start_xvfb()
        self.env = env
        ensure_prefix(env)
        # A persistent server keeps services and the desktop up between runs.
        subprocess.run([WINESERVER, "-p"], env=env, timeout=60, check=False)
        return self

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not report a display")
        return ":" + number

    def stop(self):
        if self.env is not None:
            # Wine's desktop is tied to the display: end Wine first, and leave no
            # persistent server behind.
            subprocess.run([WINESERVER, "-k"], env=self.env, timeout=60, check=False)
            subprocess.run([WINESERVER, "-w"], env=self.env, timeout=120, check=False)
            self.env = None
        if self.xvfb is not None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
            self.xvfb = None


_session = None


def session():
    global _session
    if _session is None:
        _session = Session()
        atexit.register(_session.stop)
        _session.start()
    return _session


def _prefix_looks_booted():
    system32 = DRIVE_C / "windows" / "system32"
    registry = PREFIX / "system.reg"
    return ((system32 / "kernel32.dll").exists() and (system32 / "user32.dll").exists()
            and registry.exists() and registry.stat().st_size > 100_000)


def ensure_prefix(env):
    """Boots the shared prefix once; parallel test processes wait on the lock."""
    PREFIX.parent.mkdir(parents=True, exist_ok=True)
    with open(str(PREFIX) + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if _READY_MARK.exists():
            return
        log(f"creating Wine prefix {PREFIX} (minutes under emulation)")
        started = time.monotonic()
        # Under emulation the first loader may fail while the boot it started goes
        # on; what counts is the prefix once the server is idle.
        subprocess.run([WINE, "wineboot", "-i"], env=env, timeout=PREFIX_BOOT_TIMEOUT,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-w"], env=env, timeout=PREFIX_BOOT_TIMEOUT, check=False)
        if not _prefix_looks_booted():
            raise RuntimeError(f"booting the Wine prefix {PREFIX} failed")
        _READY_MARK.write_text("booted\n")
        log(f"prefix ready after {time.monotonic() - started:.0f} s")


# --- scenarios --------------------------------------------------------------------

_counter = itertools.count()


class Scenario:
    """A fresh folder C:\\e2e\\<name> for one scenario."""

    def __init__(self, name):
        safe = re.sub(r"[^A-Za-z0-9_.-]+", "_", name)
        self.root = SCENARIO_ROOT / safe
        if self.root.exists():
            shutil.rmtree(self.root)
        self.root.mkdir(parents=True)

    def path(self, relative=""):
        pieces = [p for p in re.split(r"[\\/]", relative) if p]
        return self.root.joinpath(*pieces)

    def windows(self, relative=""):
        text = to_windows(self.path(relative))
        return text + "\\" if relative.endswith(("\\", "/")) or not relative else text

    def mkdir(self, relative):
        self.path(relative).mkdir(parents=True, exist_ok=True)
        return self.path(relative)

    def write(self, relative, text):
        target = self.path(relative)
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(text.replace("\n", "\r\n").encode("latin-1"))
        return target

    def install(self, built_exe, relative):
        """Copies build/win32/bin/<built_exe> to a path in the scenario."""
        target = self.path(relative)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(WIN32_BIN / built_exe, target)
        return target

    def probe_records(self, exe_relative):
        """What the probe installed at exe_relative recorded, one record per start."""
        stem = self.path(exe_relative)
        record_file = stem.with_name(stem.stem + ".probe.txt")
        if not record_file.exists():
            return []
        return parse_probe_records(record_file.read_bytes().decode("latin-1"))


# --- running the launcher -----------------------------------------------------------

@dataclass
class RunResult:
    exit_code: int
    stderr: str
    traces: list
    boxes: list
    seconds: float


def _read_boxes(log_file):
    if not log_file.exists():
        return []
    lines = log_file.read_text(encoding="ascii").splitlines()
    return [json.loads(line) for line in lines if line.strip()]


def _wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise TimeoutError(f"gave up waiting for {what} after {timeout} s")
        time.sleep(0.1)


def run_launcher(scenario, exe, args=(), answers=(), timeout=RUN_TIMEOUT):
    """Runs exe (a Windows path, or a path in the prefix) with the box answerer watching.

    The answerer starts first and is stopped after the launcher ends, so every box
    the launcher shows is recorded and pressed."""
    env = session().env
    if not isinstance(exe, str) or not re.match(r"^[A-Za-z]:\\", exe):
        exe = to_windows(exe)
    run = next(_counter)
    box_log = scenario.path(f"_boxes{run}.jsonl")
    stop_file = scenario.path(f"_stop{run}")
    answerer = scenario.install("mbanswer.exe", f"_mbanswer{run}.exe")
    started = time.monotonic()
    watcher = subprocess.Popen(
        [WINE, to_windows(answerer), to_windows(box_log), ",".join(answers), to_windows(stop_file)],
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        _wait_for(lambda: box_log.exists() or watcher.poll() is not None, ANSWERER_READY_TIMEOUT,
                  "the box answerer")
        if not box_log.exists():
            raise RuntimeError(f"box answerer exited early with {watcher.returncode}")
        ready = time.monotonic()
        launcher = subprocess.Popen([WINE, exe, *args], env=env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.PIPE)
        try:
            _, stderr = launcher.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            launcher.kill()
            launcher.communicate()
            raise
        finished = time.monotonic()
    finally:
        stop_file.write_bytes(b"")
        try:
            watcher.wait(timeout=ANSWERER_STOP_TIMEOUT)
        except subprocess.TimeoutExpired:
            watcher.send_signal(signal.SIGKILL)
            watcher.wait()
    stderr_text = stderr.decode("latin-1")
    log(f"{scenario.root.name}: answerer ready in {ready - started:.1f} s, "
        f"launcher ran {finished - ready:.1f} s, answerer stopped after "
        f"{time.monotonic() - finished:.1f} s")
    return RunResult(exit_code=launcher.returncode, stderr=stderr_text,
                     traces=debug_strings(stderr_text), boxes=_read_boxes(box_log),
                     seconds=finished - ready)


if __name__ == "__main__":
    if sys.argv[1:] == ["prepare"]:
        session()
        sys.exit(0)
    print("usage: harness.py prepare", file=sys.stderr)
    sys.exit(2)
