"""Helpers for the end-to-end tests: the real exe under Wine.

The 32-bit Wine here comes from scripts/i386/runner.sh and may run under
user-mode emulation, where booting a prefix takes a minute and each process
start seconds. So one prefix serves every test, a persistent wineserver keeps
Wine's own services alive between runs, and every wait is bounded.

Run as a script: `prepare` creates the prefix once and leaves a display and a
warm server for the test scripts, `finish` ends them, and `env` does what
`prepare` does and prints the environment as shell exports, so that the demo
and benchmark scripts run Wine set up exactly as the tests do.
"""

import atexit
import fcntl
import itertools
import json
import os
import re
import shutil
import shlex
import signal
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
# win32 runs the product itself, under the 32-bit Wine of scripts/i386/runner.sh;
# win64 runs the same sources built for 64-bit Windows under the host's Wine,
# only where that runner cannot work.
ARCH = os.environ.get("PRELAUNCH_E2E_ARCH", "win32")
_BITS = "64" if ARCH == "win64" else ""
WIN32_BIN = Path(os.environ.get("PRELAUNCH_WIN32_BIN", REPO / "build" / ARCH / "bin"))
PREFIX = Path(os.environ.get("PRELAUNCH_WINEPREFIX", REPO / "build" / f"wineprefix{_BITS}"))
_I386 = REPO / "scripts" / "i386"
WINE = os.environ.get("PRELAUNCH_WINE", "/usr/lib/wine/wine64" if _BITS else str(_I386 / "wine"))
WINESERVER = os.environ.get("PRELAUNCH_WINESERVER",
                            "/usr/lib/wine/wineserver64" if _BITS else str(_I386 / "wineserver"))
DRIVE_C = PREFIX / "drive_c"
SCENARIO_ROOT = DRIVE_C / "e2e"

PREFIX_BOOT_TIMEOUT = 1200
# Native 64-bit runs take seconds; emulated 32-bit ones several times as long.
RUN_TIMEOUT = 120 if _BITS else 300
# A new server's first process also starts Wine's services.
SESSION_START_TIMEOUT = 120 if _BITS else 600
ANSWERER_READY_TIMEOUT = 120 if _BITS else 300
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


# Wine hands every process a few entries of its own, even one started with an
# explicit environment block (a SystemRoot given in the block is replaced by
# its own); they are not told apart from the launcher's.
_WINE_OWN_ENTRIES = re.compile(r"^(WINE[A-Z0-9_]*|SystemDrive|SystemRoot)=")


def launcher_environment(record):
    """The entries of a probe's environment that the launcher put there."""
    return [entry for entry in record.environment if not _WINE_OWN_ENTRIES.match(entry)]


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
    """The X display and the Wine environment every run of one test process uses.

    Each new wineserver reinitialises the session (a minute under emulation), so
    `harness.py prepare` can leave a display and a warm persistent server for all
    test scripts, recorded in a state file; `harness.py finish` ends them. A test
    process that finds them uses them and leaves them running."""

    def __init__(self):
        self.xvfb = None
        self.env = None
        self.owns_wine = True

    def start(self, detach=False):
        env = dict(os.environ)
        env.update(WINEPREFIX=str(PREFIX), WINEARCH=ARCH, WINEDLLOVERRIDES="mscoree,mshtml=",
                   WINEDEBUG="-all,warn+debugstr")
        if _BITS:
            env.update(WINELOADER=WINE, WINESERVER=WINESERVER)
        shared = _read_shared_session()
        if shared is not None and not detach:
            self.owns_wine = False
            env["DISPLAY"] = shared  # the display Wine's desktop already lives on
        elif not env.get("DISPLAY"):
            env["DISPLAY"] = self._start_xvfb(detach)
        self.env = env
        ensure_prefix(env)
        # A persistent server keeps services and the desktop up between runs.
        subprocess.run([WINESERVER, "-p"], env=env, timeout=60, check=False,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self

    def _start_xvfb(self, detach):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=detach)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not report a display")
        return ":" + number

    def share(self):
        """Leaves the display and a warm server for later test processes."""
        subprocess.run([WINE, "cmd", "/c", "exit"], env=self.env, timeout=SESSION_START_TIMEOUT, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        xvfb_pid = self.xvfb.pid if self.xvfb is not None else 0
        _SESSION_FILE.write_text(f"{self.env['DISPLAY']} {xvfb_pid}\n")
        self.xvfb = None
        self.env = None

    def stop(self):
        if self.env is not None and self.owns_wine:
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


_SESSION_FILE = Path(str(PREFIX) + ".session")


def _read_shared_session():
    """The shared display (or '' when none was needed), or None without a live shared session."""
    try:
        display, pid = _SESSION_FILE.read_text().split()
        if int(pid):
            os.kill(int(pid), 0)
        return display
    except (OSError, ValueError):
        return None


# The host's binfmt_misc entries, noted by `prepare` and held against what
# `finish` finds: the 32-bit runner registers qemu only in namespaces of its own.
_BINFMT = Path("/proc/sys/fs/binfmt_misc")
_BINFMT_NOTE = Path(str(PREFIX) + ".binfmt.json")


def host_binfmt():
    """Each entry of the host's binfmt_misc with its settings; {} where none is mounted."""
    if not (_BINFMT / "status").exists():
        return {}
    return {entry.name: entry.read_text() for entry in sorted(_BINFMT.iterdir())
            if entry.name != "register"}


def binfmt_changes():
    """What changed in the host's binfmt_misc since `prepare`, or '' when nothing did."""
    if not _BINFMT_NOTE.exists():
        return ""
    before, now = json.loads(_BINFMT_NOTE.read_text()), host_binfmt()
    return "; ".join(f"{name}: {before.get(name)!r} -> {now.get(name)!r}"
                     for name in sorted(set(before) | set(now)) if before.get(name) != now.get(name))


def finish_shared_session():
    shared = _read_shared_session()
    if shared is None:
        return
    env = dict(os.environ, WINEPREFIX=str(PREFIX))
    subprocess.run([WINESERVER, "-k"], env=env, timeout=60, check=False)
    subprocess.run([WINESERVER, "-w"], env=env, timeout=120, check=False)
    pid = int(_SESSION_FILE.read_text().split()[1])
    if pid:
        os.kill(pid, signal.SIGTERM)
    _SESSION_FILE.unlink()


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
        if _prefix_looks_booted():  # booted by the scripts, or copied in
            _READY_MARK.write_text("found booted\n")
            return
        log(f"creating Wine prefix {PREFIX} (a minute or two under emulation)")
        started = time.monotonic()
        # Wine's words go into a file, not a pipe: the services the boot starts keep its stderr.
        boot_log = Path(str(PREFIX) + ".boot.log")
        # Now and then a first boot ends at once with the prefix half made; a
        # second one finishes it.
        for attempt in (1, 2):
            # The loader may give up waiting for the boot under emulation while
            # the boot goes on: wait for the server to go idle too.
            with open(boot_log, "wb") as errors:
                result = subprocess.run([WINE, "wineboot", "-i"], env=env, timeout=PREFIX_BOOT_TIMEOUT,
                                        stdout=subprocess.DEVNULL, stderr=errors)
            left = PREFIX_BOOT_TIMEOUT - (time.monotonic() - started)
            subprocess.run([WINESERVER, "-w"], env=env, timeout=max(left, 60), check=False)
            if _prefix_looks_booted():
                break
            log(f"boot {attempt} of {PREFIX} left it unfinished (wineboot: {result.returncode}): "
                f"{boot_log.read_text('latin-1')[-2000:]}")
        else:
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
        return parse_probe_records(record_file.read_bytes().decode("utf-8"))


# --- the application's identity and the registry -----------------------------------

# Names of the application registry key (HKLM\Software\PrelaunchE2E\Product\2.0).
IDENTITY = "CompanyName=PrelaunchE2E\nApplicationName=Product\nApplicationVersion=2.0\n"
APPLICATION_KEY = r"HKLM\Software\PrelaunchE2E\Product\2.0"


# Trace lines of the registry and registration steps, which other topics' checks pass by.
REGISTRATION_TRACES = {"CreateApplicationKeys", "Create Company Key: 0", "SetValue: 0", "IsAutoRunDisabled",
                       "RegisterOCXs", "RegisterOCX Type: SystemOcx", "RegisterOCX Type: ApplicationOcx",
                       "UnRegisterOCXs", "DeleteAppRegisteredOCX"}


def with_identity(ini):
    """The configuration with each of the application's names it leaves out."""
    missing = "".join(line + "\n" for line in IDENTITY.splitlines()
                      if line.split("=")[0].lower() + "=" not in ini.lower())
    if "[Application]\n" not in ini:
        return ini + "[Application]\n" + missing
    return ini.replace("[Application]\n", "[Application]\n" + missing, 1)


def reg(*args):
    """Runs `wine reg` in the session; returns (exit code, output)."""
    done = subprocess.run([WINE, "reg", *args], env=session().env, capture_output=True,
                          timeout=RUN_TIMEOUT, stdin=subprocess.DEVNULL)
    return done.returncode, done.stdout.decode("latin-1")


_REG_VALUE = re.compile(r"^\s+(\S.*?)\s+(REG_[A-Z_]+)(?:\s+(.*?))?\s*$")


def reg_value(key, name=None):
    """(type, data as `reg query` shows it) of a value (None: the default value), or None."""
    code, output = reg("query", key, *(["/ve"] if name is None else ["/v", name]))
    if code != 0:
        return None
    for line in output.splitlines():
        match = _REG_VALUE.match(line)
        if match:
            return match.group(2), match.group(3) or ""
    return None


def reg_set(key, name, kind, data):
    """Sets a value (name None: the default value) with its exact registry type."""
    arguments = ("add", key, *(["/ve"] if name is None else ["/v", name]), "/t", kind, "/d", data, "/f")
    code, output = reg(*arguments)
    if code != 0:
        # Seen once: a `wine reg` that failed without a word; a second try tells a real failure.
        log(f"reg add {key} failed with {code}, trying once more")
        code, output = reg(*arguments)
    if code != 0:
        raise RuntimeError(f"reg add {key} failed with {code}: {output}")


_ROOT_NAMES = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCR": "HKEY_CLASSES_ROOT", "HKCU": "HKEY_CURRENT_USER"}

# `reg query` prints in the console's OEM code page, where other letters turn
# into '?'; `reg export` writes UTF-16. Data after `hex(n):` by registry type.
_EXPORT_VALUE = re.compile(r'^(?:@|"((?:[^"\\]|\\.)*)")=(.*)$')
_EXPORT_ESCAPE = re.compile(r"\\(.)")
_EXPORT_ESCAPES = {"n": "\n", "r": "\r", "0": "\0"}
_EXPORT_TEXT_TYPES = {1: "REG_SZ", 2: "REG_EXPAND_SZ"}


def _export_unescape(text):
    return _EXPORT_ESCAPE.sub(lambda match: _EXPORT_ESCAPES.get(match.group(1), match.group(1)), text)


def _export_data(text):
    """(type, data) of one exported value: texts as str, REG_DWORD as int, others as bytes."""
    if text.startswith('"') and text.endswith('"'):
        return "REG_SZ", _export_unescape(text[1:-1])
    if text.startswith("dword:"):
        return "REG_DWORD", int(text[6:], 16)
    kind, _, data = text.partition(":")
    number = int(kind[4:-1], 16) if kind.startswith("hex(") else 3
    raw = bytes(int(byte, 16) for byte in data.split(",") if byte.strip())
    if number in _EXPORT_TEXT_TYPES:
        return _EXPORT_TEXT_TYPES[number], raw.decode("utf-16-le").split("\0")[0]
    return ("REG_BINARY" if number == 3 else f"hex({number:x})"), raw


def reg_exported(key, name=None):
    """(type, data) of a value (None: the default value) exactly as stored, or
    None when the key or value is missing. Texts come back as str, REG_DWORD as
    int, other types as bytes."""
    target = SCENARIO_ROOT / f"_export{next(_counter)}.reg"
    target.parent.mkdir(parents=True, exist_ok=True)
    code, _ = reg("export", key, to_windows(target), "/y")
    if code != 0 or not target.exists():
        return None
    text = target.read_bytes().decode("utf-16")
    target.unlink()
    root, _, rest = key.partition("\\")
    wanted = f"[{_ROOT_NAMES.get(root.upper(), root)}\\{rest}]".lower()
    inside = False
    for line in re.sub(r",\\\r?\n\s*", ",", text).splitlines():
        if line.startswith("["):
            inside = line.lower() == wanted
            continue
        match = _EXPORT_VALUE.match(line) if inside else None
        if match and ((name is None and line.startswith("@")) or
                      (name is not None and line.startswith('"') and _export_unescape(match.group(1)) == name)):
            return _export_data(match.group(2))
    return None


def reg_delete(*keys):
    """Deletes keys and everything below them; a missing key is fine. Several
    keys go in one regedit import: under emulation every Wine process costs seconds."""
    if len(keys) == 1:
        reg("delete", keys[0], "/f")
        return
    lines = ["REGEDIT4", ""]
    for key in keys:
        root, _, rest = key.partition("\\")
        lines.append(f"[-{_ROOT_NAMES[root]}\\{rest}]")
    script = SCENARIO_ROOT / "_delete.reg"
    script.parent.mkdir(parents=True, exist_ok=True)
    script.write_bytes("\r\n".join(lines + [""]).encode("latin-1"))
    subprocess.run([WINE, "regedit", "/s", to_windows(script)], env=session().env, timeout=RUN_TIMEOUT,
                   check=False, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# --- running the launcher -----------------------------------------------------------

@dataclass
class RunResult:
    exit_code: int
    stderr: str
    traces: list
    boxes: list
    seconds: float


def read_boxes(log_file):
    if not log_file.exists():
        return []
    lines = log_file.read_text(encoding="ascii").splitlines()
    return [json.loads(line) for line in lines if line.strip()]


def _launchers_boxes(scenario, exe, log_file):
    """The boxes the launcher showed. The answerer presses every box on Wine's
    desktop; one another program showed is logged, not counted."""
    boxes = []
    for box in read_boxes(log_file):
        owner = box.get("owner", "")
        if owner and owner.lower() != exe.lower():
            log(f"{scenario.root.name}: a box of another program, not counted: {box}")
        else:
            boxes.append(box)
    return boxes


def wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise TimeoutError(f"gave up waiting for {what} after {timeout} s")
        time.sleep(0.1)


def run_launcher(scenario, exe, args=(), answers=(), timeout=RUN_TIMEOUT, environment=None):
    """Runs exe (a Windows path, or a path in the prefix) with the box answerer watching.

    The answerer starts first and is stopped after the launcher ends, so every box
    the launcher shows is recorded and pressed. environment: entries that replace
    the session's for the launcher (and so for what it starts), not the answerer."""
    env = session().env
    if not isinstance(exe, str) or not re.match(r"^[A-Za-z]:\\", exe):
        exe = to_windows(exe)
    run = next(_counter)
    box_log = scenario.path(f"_boxes{run}.jsonl")
    stop_file = scenario.path(f"_stop{run}")
    answerer = scenario.install("mbanswer.exe", f"_mbanswer{run}.exe")
    started = time.monotonic()
    watcher = subprocess.Popen(
        [WINE, to_windows(answerer), to_windows(box_log), ",".join(answers), to_windows(stop_file),
         str(ANSWERER_READY_TIMEOUT + timeout + ANSWERER_STOP_TIMEOUT)],
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_for(lambda: box_log.exists() or watcher.poll() is not None, ANSWERER_READY_TIMEOUT,
                 "the box answerer")
        if not box_log.exists():
            raise RuntimeError(f"box answerer exited early with {watcher.returncode}")
        ready = time.monotonic()
        launcher = subprocess.Popen([WINE, exe, *args], env=dict(env, **(environment or {})),
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
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
                     traces=debug_strings(stderr_text), boxes=_launchers_boxes(scenario, exe, box_log),
                     seconds=finished - ready)


if __name__ == "__main__":
    command = sys.argv[1:]
    if command in (["prepare"], ["env"]):
        finish_shared_session()
        _BINFMT_NOTE.parent.mkdir(parents=True, exist_ok=True)
        _BINFMT_NOTE.write_text(json.dumps(host_binfmt()))
        shared = Session()
        try:
            shared.start(detach=True)
            env = shared.env
            shared.share()
        finally:
            shared.stop()
        if command == ["env"]:
            names = ("WINEPREFIX", "WINEARCH", "WINELOADER", "WINESERVER", "WINEDLLOVERRIDES",
                     "WINEDEBUG", "DISPLAY")
            for name in (n for n in names if n in env):
                print(f"export {name}={shlex.quote(env[name])}")
            print(f"export PRELAUNCH_WINE={shlex.quote(WINE)}")
        sys.exit(0)
    if command == ["finish"]:
        finish_shared_session()
        changes = binfmt_changes()
        if changes:
            print(f"the host's binfmt_misc entries changed while Wine ran: {changes}", file=sys.stderr)
        sys.exit(1 if changes else 0)
    print("usage: harness.py prepare|env|finish", file=sys.stderr)
    sys.exit(2)
