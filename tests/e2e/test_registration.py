"""Control registration under Wine with real self-registering control files.

The fixtures control_*.ocx register type library {E2E...0001} and class
{E2E...0002} with their own path, and note every DllUnregisterServer call in
HKCR\\PrelaunchE2E\\Unregistered. Each class below is one scenario; the
registry is cleared of the fixtures' keys before each."""

import re
import subprocess
import time
import unittest
from pathlib import Path

import harness
import test_spine

TYPE_LIBRARY = "{E2E00000-0000-0000-0000-000000000001}"
CLASS = "{E2E00000-0000-0000-0000-000000000002}"
TYPE_LIBRARY_KEY = rf"HKCR\TypeLib\{TYPE_LIBRARY}\1.0\0\win32"
SERVER_KEY = rf"HKCR\CLSID\{CLASS}\InprocServer32"
RECORD_KEY = rf"{harness.APPLICATION_KEY}\{TYPE_LIBRARY}\1.0\0\win32"
NOTE_KEY = r"HKCR\PrelaunchE2E"


def trace_texts(result):
    return [line[len("CurrentTime: 00000000 "):-1] for line in result.traces]


def control(n, file_name, type_library=TYPE_LIBRARY, clsid=CLASS, version="3.0.0.0"):
    return (f"Ocx{n}={file_name}\nOcx{n}TypeLib={type_library}\\1.0\\0\\win32\nOcx{n}Clsid={clsid}\n"
            f"Ocx{n}Version={version}\n")


class RegistrationRun(test_spine.LauncherRun):
    """controls: (file name in home\\CTRL, built fixture or None for a text file)."""

    # Every scenario keeps its records below harness.APPLICATION_KEY.
    ini = "[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n"
    args = ("/Debug",)
    controls = ()
    folders = ("CTRL",)

    @classmethod
    def setUpClass(cls):
        harness.reg_delete(r"HKLM\Software\PrelaunchE2E", rf"HKCR\TypeLib\{TYPE_LIBRARY}", rf"HKCR\CLSID\{CLASS}",
                           NOTE_KEY)
        cls.prepare_registry()
        super().setUpClass()

    @classmethod
    def prepare_registry(cls):
        pass

    @classmethod
    def install_controls(cls):
        for name, fixture in cls.controls:
            target = harness.to_unix(cls.home + "CTRL\\" + name)
            target.parent.mkdir(parents=True, exist_ok=True)
            if fixture is None:
                target.write_text("not a library\n")
            else:
                target.write_bytes((harness.WIN32_BIN / fixture).read_bytes())

    @classmethod
    def configuration(cls):
        cls.install_controls()
        return super().configuration()

    def rerun(self):
        return harness.run_launcher(self.scenario, harness.to_unix(self.home.rstrip("\\") + ".EXE"), self.args)


class OlderRegistered(RegistrationRun):
    """Before the run the registry names home\\CTRL\\OLD.OCX for the control."""

    @classmethod
    def prepare_registry(cls):
        home = harness.to_windows(harness.SCENARIO_ROOT / f"spine.{cls.__name__}" / "SETUP") + "\\"
        cls.old = home + "CTRL\\OLD.OCX"
        harness.reg_set(TYPE_LIBRARY_KEY, None, "REG_SZ", cls.old)
        harness.reg_set(SERVER_KEY, None, "REG_SZ", cls.old)


class RegisteredWhenMissing(RegistrationRun):
    ini = "[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n[SystemOcx]\nOcxPath=CTRL\n" + control(1, "NEW.OCX")
    controls = (("NEW.OCX", "control_new.ocx"),)

    def test_the_control_is_registered_and_the_application_starts(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertNoBox()
        self.only_record()
        path = self.home + "CTRL\\NEW.OCX"
        self.assertEqual(harness.reg_value(TYPE_LIBRARY_KEY), ("REG_SZ", path))
        self.assertEqual(harness.reg_value(SERVER_KEY), ("REG_SZ", path))
        texts = trace_texts(self.result)
        first = texts.index("IsRegistered: NEW.OCX Clsid: 0 Version: 0 TypeLib: 0")
        self.assertGreater(texts.index("IsRegistered: NEW.OCX Clsid: 1 Version: 1 TypeLib: 1"), first)
        # Every level was made by this run, and lasts.
        self.assertEqual(harness.reg_value(harness.APPLICATION_KEY, "KeysCreated"), ("REG_DWORD", "0x7"))
        self.assertIn("SetValue: 0", texts)

        # The next run finds it current and registers nothing.
        again = self.rerun()
        self.assertEqual(again.exit_code, 0)
        texts = trace_texts(again)
        self.assertIn("IsRegistered: NEW.OCX Clsid: 1 Version: 1 TypeLib: 1", texts)
        self.assertNotIn("SupportsSelfRegister", texts)
        self.assertNotIn("SetValue: 0", texts)


class OlderControlReplaced(OlderRegistered):
    """OLD.OCX (1.0) is registered; NEW.OCX (3.0) is required. A record left
    by a launcher that was killed names OLD2.OCX."""

    ini = "[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n[SystemOcx]\nOcxPath=CTRL\n" + control(1, "NEW.OCX")
    controls = (("NEW.OCX", "control_new.ocx"), ("OLD.OCX", "control_old.ocx"), ("OLD2.OCX", "control_old.ocx"))
    left_record = rf"{harness.APPLICATION_KEY}\{{E2E00000-0000-0000-0000-000000000009}}\1.0\0\win32"

    @classmethod
    def prepare_registry(cls):
        super().prepare_registry()
        cls.old2 = cls.old[:-len("OLD.OCX")] + "OLD2.OCX"
        harness.reg_set(cls.left_record, None, "REG_SZ", cls.old2)

    def test_the_newer_file_is_registered(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertNoBox()
        self.assertEqual(harness.reg_value(SERVER_KEY), ("REG_SZ", self.home + "CTRL\\NEW.OCX"))

    def test_the_older_file_is_recorded_then_unregistered_after_the_application(self):
        texts = trace_texts(self.result)
        self.assertIn("IsRegistered: NEW.OCX Clsid: 1 Version: 0 TypeLib: 1", texts)
        self.assertIn("CreateOCXKey", texts)
        exited = texts.index("Process Exited")
        # The walk names each recorded file before it unregisters it.
        self.assertGreater(texts.index(self.old), exited)
        self.assertGreater(texts.index(self.old2), exited)
        # Both records were emptied to the empty string (their keys stay).
        self.assertEqual(harness.reg_value(RECORD_KEY), ("REG_SZ", ""))
        self.assertEqual(harness.reg_value(self.left_record), ("REG_SZ", ""))
        self.assertIn(harness.reg_value(NOTE_KEY + r"\Unregistered"), {("REG_SZ", self.old), ("REG_SZ", self.old2)})

    def test_the_next_run_passes_the_emptied_records_by(self):
        again = self.rerun()
        texts = trace_texts(again)
        self.assertEqual(again.exit_code, 0)
        self.assertNotIn(self.old, texts)
        self.assertNotIn(self.old2, texts)


class KilledWhileTheApplicationRuns(OlderRegistered):
    """A launcher killed while the application runs leaves its record filled;
    the next launcher's exit unregisters the recorded file."""

    ini = "[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n[SystemOcx]\nOcxPath=CTRL\n" + control(1, "NEW.OCX")
    controls = (("NEW.OCX", "control_new.ocx"), ("OLD.OCX", "control_old.ocx"))
    app_alive_ms = 3000
    probes = {"GAME.EXE": f"sleep_ms={app_alive_ms}\n"}


    @classmethod
    def run_once(cls, launcher):
        killed = subprocess.Popen([harness.WINE, harness.to_windows(launcher), *cls.args], env=harness.session().env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while not cls.records() and time.monotonic() < deadline:
            time.sleep(0.2)
        killed.kill()
        killed.wait()
        cls.record_after_kill = harness.reg_value(RECORD_KEY)
        cls.unregistered_after_kill = harness.reg_value(NOTE_KEY + r"\Unregistered")
        time.sleep(cls.app_alive_ms / 1000 + 1)  # the first application ends by itself
        return harness.run_launcher(cls.scenario, launcher, cls.args)

    @classmethod
    def records(cls, where="GAME.EXE"):
        relative = Path(cls.probe_path(where)).relative_to(cls.scenario.root)
        return cls.scenario.probe_records(str(relative))

    def test_the_killed_launcher_left_its_record_filled(self):
        self.assertEqual(self.record_after_kill, ("REG_SZ", self.old))
        self.assertIsNone(self.unregistered_after_kill)

    def test_the_next_launcher_unregisters_the_recorded_file_at_its_exit(self):
        self.assertEqual(self.result.exit_code, 0)
        texts = trace_texts(self.result)
        self.assertGreater(texts.index(self.old), texts.index("Process Exited"))
        self.assertEqual(harness.reg_value(RECORD_KEY), ("REG_SZ", ""))
        self.assertEqual(harness.reg_value(NOTE_KEY + r"\Unregistered"), ("REG_SZ", self.old))


class RegistrationFailures(RegistrationRun):
    """Four controls that cannot be registered, each with its message; the launch goes on."""

    args = ()
    ini = ("[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n[SystemOcx]\nOcxPath=CTRL\n"
           + control(1, "FAILS.OCX", "{E2E00000-0000-0000-0000-000000000011}", "{E2E00000-0000-0000-0000-000000000012}")
           + control(2, "NOENTRY.OCX", "{E2E00000-0000-0000-0000-000000000013}", "{E2E00000-0000-0000-0000-000000000014}")
           + control(3, "MISSING.OCX", "{E2E00000-0000-0000-0000-000000000015}", "{E2E00000-0000-0000-0000-000000000016}")
           + control(4, "TEXT.OCX", "{E2E00000-0000-0000-0000-000000000017}", "{E2E00000-0000-0000-0000-000000000018}"))
    controls = (("FAILS.OCX", "control_fails.ocx"), ("NOENTRY.OCX", "control_no_entry.ocx"), ("TEXT.OCX", None))

    def test_each_failure_shows_its_message_and_the_application_still_starts(self):
        ctrl = self.home + "CTRL\\"
        seen = [(box["caption"], box["text"], box["icon"], box["buttons"]) for box in self.result.boxes]
        self.assertEqual(seen, [
            ("DLLRegisterServer error", f"{ctrl}FAILS.OCX returned: 80004005", False, ["OK"]),
            ("Function Look Failure", f"{ctrl}NOENTRY.OCX", False, ["OK"]),
            ("LoadLibrary Failed", f"LoadLibrary on {ctrl}MISSING.OCX returned: 7e", False, ["OK"]),
            ("LoadLibrary Failed", f"LoadLibrary on {ctrl}TEXT.OCX returned: c1", False, ["OK"]),
        ])
        self.assertEqual(self.result.exit_code, 0)
        self.only_record()


class FailedReplacementKeepsTheOlderFile(OlderRegistered):
    """OLD.OCX (1.0) is registered; the configured NEW.OCX (3.0) refuses to
    register, so OLD.OCX stays the machine's only registration."""

    ini = "[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n[SystemOcx]\nOcxPath=CTRL\n" + control(1, "NEW.OCX")
    controls = (("NEW.OCX", "control_fails.ocx"), ("OLD.OCX", "control_old.ocx"))


    def test_the_failure_is_shown_and_the_application_still_runs(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertOneBox("DLLRegisterServer error", self.home + "CTRL\\NEW.OCX returned: 80004005", False)
        self.only_record()

    def test_the_older_file_is_not_unregistered_at_exit(self):
        texts = trace_texts(self.result)
        self.assertIn("IsRegistered: NEW.OCX Clsid: 1 Version: 0 TypeLib: 1", texts)
        self.assertNotIn(self.old, texts)
        self.assertIsNone(harness.reg_value(NOTE_KEY + r"\Unregistered"))
        self.assertEqual(harness.reg_value(TYPE_LIBRARY_KEY), ("REG_SZ", self.old))
        self.assertEqual(harness.reg_value(SERVER_KEY), ("REG_SZ", self.old))
        # The record the probe wrote is emptied again, as a later run expects.
        self.assertEqual(harness.reg_value(RECORD_KEY), ("REG_SZ", ""))


class ImportBesideTheControl(RegistrationRun):
    """HELPED.OCX imports CTLHELP.DLL; both lie in the home folder while the
    working directory is the control folder CTRL and the launcher lies above."""

    args = ()
    ini = ("[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n[SystemOcx]\nOcxPath=CTRL\n"
           "[ApplicationOcx]\n" + control(1, "HELPED.OCX"))

    @classmethod
    def install_controls(cls):
        for name, fixture in (("HELPED.OCX", "control_helped.ocx"), ("CTLHELP.DLL", "ctlhelp.dll")):
            target = harness.to_unix(cls.home + name)
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes((harness.WIN32_BIN / fixture).read_bytes())

    def test_the_control_finds_its_import_and_registers(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertNoBox()
        self.assertEqual(harness.reg_value(SERVER_KEY), ("REG_SZ", self.home + "HELPED.OCX"))
        self.only_record()


class FolderPartTooLongToSplit(RegistrationRun):
    long_name = "D" * 256 + "\\X"
    args = ()
    ini = "[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n[SystemOcx]\nOcxPath=CTRL\n" + control(1, long_name)

    def test_the_message_shows_the_path_as_written(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertOneBox("LoadLibrary Failed", f"LoadLibrary on {self.long_name} returned: ce", False)
        self.only_record()


class CodeAfterAPathNearItsLimit(RegistrationRun):
    """A missing control whose full path would leave no room in the message
    for the error code: the path gives way, the code shows."""

    args = ()
    name = "N" * 100 + ".OCX"

    @classmethod
    def configuration(cls):
        # A control folder of 250 characters, in parts of at most 40.
        room = 250 - len(cls.home)
        parts = []
        while room > 0:
            parts.append("F" * min(40, room))
            room -= len(parts[-1]) + 1
        cls.folder = "\\".join(parts)
        harness.to_unix(cls.home + cls.folder).mkdir(parents=True, exist_ok=True)
        cls.ini = ("[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n[SystemOcx]\n"
                   f"OcxPath={cls.folder}\n" + control(1, cls.name))
        return super().configuration()

    def test_the_message_ends_in_the_code_after_the_cut_path(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertEqual(len(self.result.boxes), 1, self.result.boxes)
        box = self.result.boxes[0]
        self.assertEqual(box["caption"], "LoadLibrary Failed")
        match = re.fullmatch(r"LoadLibrary on (.+) returned: [0-9a-f]+", box["text"], re.S)
        self.assertIsNotNone(match, box["text"])
        full = self.home + self.folder + "\\" + self.name
        self.assertGreater(len("LoadLibrary on ") + len(full) + len(" returned: 7e"), 359)
        self.assertTrue(full.upper().startswith(match.group(1).upper()), box["text"])
        self.assertEqual(len(box["text"]), 359)
        self.only_record()


class ExpandableQuotedPaths(RegistrationRun):
    """The registry names NEW.OCX as "%SystemDrive%\\...\\NEW.OCX" (REG_EXPAND_SZ, in quotes)."""

    ini = "[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n[SystemOcx]\nOcxPath=CTRL\n" + control(1, "NEW.OCX")
    controls = (("NEW.OCX", "control_new.ocx"),)

    @classmethod
    def prepare_registry(cls):
        home = harness.to_windows(harness.SCENARIO_ROOT / f"spine.{cls.__name__}" / "SETUP") + "\\"
        cls.stored = '"%SystemDrive%' + home[2:] + 'CTRL\\NEW.OCX"'
        harness.reg_set(TYPE_LIBRARY_KEY, None, "REG_EXPAND_SZ", cls.stored)
        harness.reg_set(SERVER_KEY, None, "REG_EXPAND_SZ", cls.stored)

    def test_the_control_counts_as_registered_and_is_left_as_it_is(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertNoBox()
        texts = trace_texts(self.result)
        self.assertIn("IsRegistered: NEW.OCX Clsid: 1 Version: 1 TypeLib: 1", texts)
        self.assertNotIn("SupportsSelfRegister", texts)
        self.assertEqual(harness.reg_value(SERVER_KEY), ("REG_EXPAND_SZ", self.stored))


class EmptyExpandableServer(RegistrationRun):
    """The type library names NEW.OCX (REG_EXPAND_SZ); the class's server is an empty REG_EXPAND_SZ."""

    ini = ExpandableQuotedPaths.ini
    controls = ExpandableQuotedPaths.controls

    @classmethod
    def prepare_registry(cls):
        home = harness.to_windows(harness.SCENARIO_ROOT / f"spine.{cls.__name__}" / "SETUP") + "\\"
        harness.reg_set(TYPE_LIBRARY_KEY, None, "REG_EXPAND_SZ", '"%SystemDrive%' + home[2:] + 'CTRL\\NEW.OCX"')
        harness.reg_set(SERVER_KEY, None, "REG_EXPAND_SZ", "")

    def test_an_empty_expansion_names_no_file_and_the_control_registers_again(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertNoBox()
        self.assertEqual(harness.reg_value(SERVER_KEY), ("REG_SZ", self.home + "CTRL\\NEW.OCX"))


class AutoRunDisabledDword(RegistrationRun):
    @classmethod
    def prepare_registry(cls):
        harness.reg_set(harness.APPLICATION_KEY, "AutoRunDisabled", "REG_DWORD", "1")

    def test_the_launcher_ends_at_once_without_a_message(self):
        self.assertEqual(self.result.exit_code, 1)
        self.assertNoBox()
        self.assertEqual(self.records(), [])


class AutoRunDisabledText(RegistrationRun):
    @classmethod
    def prepare_registry(cls):
        harness.reg_set(harness.APPLICATION_KEY, "AutoRunDisabled", "REG_SZ", "1")

    def test_the_text_one_does_not_stop_the_launcher(self):
        self.assertEqual(self.result.exit_code, 0)
        self.only_record()


if __name__ == "__main__":
    unittest.main()
