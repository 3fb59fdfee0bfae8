"""Names and texts outside the machine's ANSI code page (1252 under Wine here).

Folders and files are made on the Unix side with UTF-8 names, which Wine shows
with the same letters; each INI file is written byte for byte in the encoding
an editor may have saved it in. Wine's trace lines are ANSI, so only ASCII
trace lines are compared; `reg query` prints in the OEM code page, so registry
strings are read through `reg export`.

Every case lives in one scenario folder, C:\\e2e\\names, and one launch each."""

import codecs
import re
import subprocess
import threading
import unittest
from dataclasses import dataclass
from pathlib import PureWindowsPath

import harness
from test_registration import CLASS, NOTE_KEY, RECORD_KEY, SERVER_KEY, TYPE_LIBRARY, TYPE_LIBRARY_KEY, control
from test_spine import SPLASH_HANDLE, SPLASH_SETTINGS

CYRILLIC = "Тест"
JAPANESE = "テスト"
LATIN = "Société"  # inside code page 1252
CONTROLS = "Контролы"
CONTROLS_LATIN = "Contrôles"
COMPANY = "Компания"
APPLICATION = "Игра"

ENCODINGS = {
    "UTF-16LE with BOM": lambda text: codecs.BOM_UTF16_LE + text.encode("utf-16-le"),
    "UTF-8 with BOM": lambda text: codecs.BOM_UTF8 + text.encode("utf-8"),
    "UTF-8": lambda text: text.encode("utf-8"),
    "code page 1252": lambda text: text.encode("cp1252"),
}

PROGRAM = "[Application]\nProgramName=GAME.EXE\n"

_scenario = None


def scenario():
    global _scenario
    if _scenario is None:
        _scenario = harness.Scenario("names")
    return _scenario


def write_ini(relative, text, encoding):
    target = scenario().path(relative)
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_bytes(ENCODINGS[encoding](text.replace("\n", "\r\n")))


def home_of(launcher):
    """The launcher's home folder, Windows style with its backslash."""
    return scenario().windows(launcher)[:-len(".EXE")] + "\\"


def short_name(folder):
    """Wine's 8.3 name of folder, the only folder in its parent. `cmd`'s %~s
    gives the long name back under Wine; `dir /x` lists the short one."""
    done = subprocess.run([harness.WINE, "cmd", "/c", "dir", "/x", harness.to_windows(folder.parent)],
                          env=harness.session().env, capture_output=True, timeout=harness.RUN_TIMEOUT,
                          stdin=subprocess.DEVNULL)
    names = [m.group(1) for m in re.finditer(r"<DIR>\s+(\S+)\s+\S+\s*$", done.stdout.decode("latin-1"), re.M)]
    if len(names) != 1:
        raise RuntimeError(f"no single short name in: {done.stdout!r}")
    return harness.to_windows(folder.parent) + "\\" + names[0]


@dataclass(frozen=True)
class Case:
    """One launch. launcher is below the scenario folder; ini (<home> stands
    for the home folder) None writes no file; program and cwd are relative to
    the home folder; box is the one message expected (caption, text with <ini>
    for the INI's path), and then nothing starts."""

    name: str
    launcher: str
    ini: str = PROGRAM
    encoding: str = "code page 1252"
    args: tuple = ()
    program: str = "GAME.EXE"
    cwd: str = ""
    by_short_name: bool = False
    box: tuple = None


def slow_load(folder, encoding):
    return Case(f"OcxPath={folder}, INI in {encoding}", r"ocx\SETUP.EXE",
                PROGRAM + f"[SystemOcx]\nOcxPath={folder}\n", encoding, ("/SlowLoad",), cwd=folder + "\\")


CASES = (
    Case("launcher folder inside the code page", LATIN + r"\SETUP.EXE"),
    Case("launcher folder in Cyrillic", rf"cyr\{CYRILLIC}\SETUP.EXE"),
    Case("launcher folder in Japanese", JAPANESE + r"\SETUP.EXE"),
    Case("Cyrillic launcher folder started by its 8.3 name", rf"cyr\{CYRILLIC}\SETUP.EXE", by_short_name=True),
    # In slow-load mode the application runs in the control folder, with it first on its Path.
    slow_load(CONTROLS, "UTF-16LE with BOM"),
    slow_load(CONTROLS, "UTF-8 with BOM"),
    slow_load(CONTROLS, "UTF-8"),
    slow_load(CONTROLS_LATIN, "UTF-8"),
    slow_load(CONTROLS_LATIN, "code page 1252"),
    # A ProgramName with a drive runs in its own folder.
    Case("ProgramName and the application's names in Cyrillic, INI in UTF-8", r"ocx\SETUP.EXE",
         f"[Application]\nCompanyName={COMPANY}\nApplicationName={APPLICATION}\n"
         f"ProgramName=<home>Программы\\{APPLICATION}.exe\n", "UTF-8", program=rf"Программы\{APPLICATION}.exe",
         cwd="Программы\\"),
    Case("missing INI in a Cyrillic folder", rf"cyr\{CYRILLIC}\NOINI.EXE", None,
         box=("GetIniFileName", "Failed to find configuration file: <ini>")),
    Case("missing label in a Cyrillic folder", rf"cyr\{CYRILLIC}\NOLABEL.EXE", "[Application]\nApplicationName=x\n",
         box=("GetPrivateProfileString", "Failed to find label: ProgramName in Section: Application\n INIFile: <ini>")),
)
APPLICATION_KEY = rf"HKLM\Software\{COMPANY}\{APPLICATION}\2.0"


class Launches(unittest.TestCase):
    """Each case's launcher runs once, in the order of the table; cases that
    share a home folder rewrite its INI."""

    @classmethod
    def setUpClass(cls):
        harness.reg_delete(rf"HKLM\Software\{COMPANY}")
        for folder in (CONTROLS, CONTROLS_LATIN, "Программы"):
            scenario().mkdir(rf"ocx\SETUP\{folder}")
        cls.outcomes = {case.name: cls.launch(case) for case in CASES}

    @classmethod
    def launch(cls, case):
        """(run result, the probe's records of this run, the homes the launcher may name)."""
        launcher_name = PureWindowsPath(case.launcher)
        stem = str(launcher_name.with_suffix(""))
        home = home_of(case.launcher)
        ini = f"{home}{launcher_name.stem}.ini"
        launcher = scenario().path(case.launcher)
        if not launcher.exists():
            scenario().install("prelaunch.exe", case.launcher)
        scenario().mkdir(stem)
        probe = scenario().path(stem + "\\" + case.program)
        if not probe.exists():
            scenario().install("probe.exe", stem + "\\" + case.program)
        if case.ini is not None:
            settings = SPLASH_SETTINGS + ("ApplicationName=names\n" if "ApplicationName=" not in case.ini else "")
            text = case.ini.replace("[Application]\n", "[Application]\n" + settings, 1).replace("<home>", home)
            write_ini(f"{stem}\\{launcher_name.stem}.ini", harness.with_identity(text), case.encoding)
        relative = str(probe.relative_to(scenario().root))
        before = len(scenario().probe_records(relative))
        homes = {home}
        if case.by_short_name:
            started = short_name(launcher.parent) + "\\" + launcher.name
            homes.add(started[:-len(".EXE")] + "\\")
        else:
            started = launcher
        result = harness.run_launcher(scenario(), started, case.args)
        return result, scenario().probe_records(relative)[before:], homes, ini

    def test_each_launch_ends_as_it_should(self):
        for case in CASES:
            result, _, _, ini = self.outcomes[case.name]
            with self.subTest(case.name):
                if case.box is None:
                    self.assertEqual((result.exit_code, result.boxes), (0, []))
                else:
                    self.assertEqual(result.exit_code, 1)
                    self.assertEqual([(box["caption"], box["text"], box["icon"]) for box in result.boxes],
                                     [(case.box[0], case.box[1].replace("<ini>", ini), True)])

    def test_the_application_starts_once_by_its_real_path_in_its_real_folder(self):
        for case in CASES:
            _, records, homes, _ = self.outcomes[case.name]
            with self.subTest(case.name):
                if case.box is not None:
                    self.assertEqual(records, [])
                    continue
                self.assertEqual(len(records), 1, "the application should have started exactly once")
                record = records[0]
                self.assertRegex(record.command_line, SPLASH_HANDLE + "$")
                # Windows reports a working directory without its trailing backslash.
                self.assertIn((record.command_line[:-len(" /00000000")], record.cwd),
                              {(home + case.program, (home + case.cwd).rstrip("\\")) for home in homes})

    def test_in_slow_load_mode_the_control_folder_leads_the_path(self):
        for case in CASES:
            _, records, homes, _ = self.outcomes[case.name]
            if "/SlowLoad" not in case.args:
                continue
            with self.subTest(case.name):
                self.assertEqual(len(records), 1)
                (home,) = homes
                self.assertEqual(harness.launcher_environment(records[0])[0], f"Path={home}{case.cwd};{home}")

    def test_the_application_key_carries_the_names_as_written(self):
        self.assertEqual(harness.reg_exported(APPLICATION_KEY, "KeysCreated"), ("REG_DWORD", 7))


class RegistrationInJapaneseFolder(unittest.TestCase):
    """<root>\\テスト\\REG.EXE, OcxPath=CTRL. The registry names REG\\CTRL\\OLD.OCX
    (a control whose unregistration deletes the keys whatever file they name);
    NEW.OCX is required. A record left by an earlier launcher names
    REG\\Старые\\OLD2.OCX. The application stays until the test has read the
    record the launcher made."""

    @classmethod
    def setUpClass(cls):
        harness.reg_delete(r"HKLM\Software\PrelaunchE2E", rf"HKCR\TypeLib\{TYPE_LIBRARY}", rf"HKCR\CLSID\{CLASS}",
                           NOTE_KEY)
        launcher = scenario().install("prelaunch.exe", JAPANESE + r"\REG.EXE")
        cls.home = home_of(JAPANESE + r"\REG.EXE")
        cls.old, cls.old2, cls.new = (cls.home + r"CTRL\OLD.OCX", cls.home + r"Старые\OLD2.OCX",
                                      cls.home + r"CTRL\NEW.OCX")
        for path, fixture in ((cls.old, "control_old_wipes.ocx"), (cls.old2, "control_old.ocx"),
                              (cls.new, "control_new.ocx"), (cls.home + "GAME.EXE", "probe.exe")):
            target = harness.to_unix(path)
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes((harness.WIN32_BIN / fixture).read_bytes())
        cls.release = scenario().path("_release_application")
        harness.to_unix(cls.home + "GAME.probe.cfg").write_text(f"wait_for_file={harness.to_windows(cls.release)}\n")
        write_ini(JAPANESE + r"\REG\REG.ini", harness.with_identity(
            f"[Application]\nApplicationName=Product\n{SPLASH_SETTINGS}ProgramName=GAME.EXE\n"
            "[SystemOcx]\nOcxPath=CTRL\n" + control(1, "NEW.OCX")), "code page 1252")
        cls.left_record = rf"{harness.APPLICATION_KEY}\{{E2E00000-0000-0000-0000-000000000009}}\1.0\0\win32"
        harness.reg_set(TYPE_LIBRARY_KEY, None, "REG_SZ", cls.old)
        harness.reg_set(SERVER_KEY, None, "REG_SZ", cls.old)
        harness.reg_set(cls.left_record, None, "REG_SZ", cls.old2)
        cls.result = cls.run_reading_the_record(launcher)

    @classmethod
    def run_reading_the_record(cls, launcher):
        outcome = {}

        def run():
            try:
                outcome["result"] = harness.run_launcher(scenario(), launcher, ("/Debug",))
            except BaseException as error:  # handed to the test's thread
                outcome["error"] = error

        ready = harness.to_unix(cls.home + "GAME.ready")
        thread = threading.Thread(target=run)
        thread.start()
        try:
            harness.wait_for(lambda: ready.exists() or not thread.is_alive(), harness.RUN_TIMEOUT,
                             "the application's start")
            cls.record_while_running = harness.reg_exported(RECORD_KEY) if ready.exists() else None
        finally:
            cls.release.write_bytes(b"")
            thread.join()
        if "error" in outcome:
            raise outcome["error"]
        return outcome["result"]

    def traces(self):
        return [line[len("CurrentTime: 00000000 "):-1] for line in self.result.traces if line.isascii()]

    def test_the_launch_ends_without_a_message(self):
        self.assertEqual((self.result.exit_code, self.result.boxes), (0, []))

    def test_the_application_starts_by_its_real_path(self):
        records = scenario().probe_records(JAPANESE + r"\REG\GAME.EXE")
        self.assertEqual(len(records), 1)
        self.assertRegex(records[0].command_line, "^" + re.escape(self.home + "GAME.EXE") + SPLASH_HANDLE + "$")
        self.assertEqual(records[0].cwd, self.home.rstrip("\\"))

    def test_the_older_file_is_recorded_by_its_real_path(self):
        texts = self.traces()
        self.assertIn("IsRegistered: NEW.OCX Clsid: 1 Version: 0 TypeLib: 1", texts)
        self.assertIn("CreateOCXKey", texts)
        self.assertEqual(self.record_while_running, ("REG_SZ", self.old))

    def test_the_newer_file_is_registered_by_its_real_path_and_kept(self):
        # OLD.OCX's unregistration at exit deleted the keys; NEW.OCX registered again.
        self.assertIn("IsRegistered: NEW.OCX Clsid: 1 Version: 1 TypeLib: 1", self.traces())
        self.assertEqual(harness.reg_exported(SERVER_KEY), ("REG_SZ", self.new))
        self.assertEqual(harness.reg_exported(TYPE_LIBRARY_KEY), ("REG_SZ", self.new))

    def test_both_older_files_are_unregistered_at_exit_and_their_records_emptied(self):
        # A record is emptied only once its file's DllUnregisterServer has run.
        self.assertEqual(harness.reg_exported(RECORD_KEY), ("REG_SZ", ""))
        self.assertEqual(harness.reg_exported(self.left_record), ("REG_SZ", ""))
        self.assertIn(harness.reg_exported(NOTE_KEY + r"\Unregistered"), {("REG_SZ", self.old), ("REG_SZ", self.old2)})


if __name__ == "__main__":
    unittest.main(verbosity=2)
