"""The launcher under Wine: configuration, starting the application, its failures.

Every wine run costs seconds, so each class runs the launcher once in
setUpClass and its tests look at different sides of that one run."""

import re
import unittest
from pathlib import Path

import harness

TRACE_LINE = re.compile(
    r"^CurrentTime: \d{8} (Application Start|SplashOn|SplashOn Exit|SplashOff|CheckCoreComponents"
    r"|WinExec|WinExec Process Started|Process Exited|Application Stop|CreateApplicationKeys"
    r"|Create Company Key: 0|SetValue: 0|IsAutoRunDisabled|RegisterOCXs|RegisterOCX Type: \w+"
    r"|UnRegisterOCXs|DeleteAppRegisteredOCX)\n$")
# The splash comes down before the application starts (SplashOffTime=0), but
# its handle still goes onto the command line.
SPLASH_HANDLE = r" /[0-9a-f]{8}"
SPLASH_SETTINGS = "SplashWaveFile=absent.wav\nSplashOffTime=0\n"


class LauncherRun(unittest.TestCase):
    """Lays out <root>\\<home>.EXE (the launcher) and <root>\\<home>\\<home>.ini, runs it once."""

    home_name = "SETUP"
    home_parent = ""
    ini = "[Application]\nApplicationName=<app>\nProgramName=GAME.EXE\n"
    write_ini = True
    args = ()
    probes = {"GAME.EXE": ""}  # where each probe goes, and its cfg
    folders = ()  # made inside home before the run

    @classmethod
    def setUpClass(cls):
        cls.scenario = harness.Scenario(f"spine.{cls.__name__}")
        parent = cls.home_parent + "\\" if cls.home_parent else ""
        cls.home = cls.scenario.windows(f"{parent}{cls.home_name}\\")
        cls.ini_path = cls.home + cls.home_name + ".ini"
        launcher = cls.scenario.install("prelaunch.exe", f"{parent}{cls.home_name}.EXE")
        cls.scenario.mkdir(f"{parent}{cls.home_name}")
        for folder in cls.folders:
            cls.scenario.mkdir(f"{parent}{cls.home_name}\\{folder}")
        if cls.write_ini:
            cls.scenario.write(f"{parent}{cls.home_name}\\{cls.home_name}.ini", cls.configuration())
        for where, cfg in cls.probes.items():
            exe = cls.probe_path(where)
            exe.parent.mkdir(parents=True, exist_ok=True)
            exe.write_bytes((harness.WIN32_BIN / "probe.exe").read_bytes())
            if cfg:
                exe.with_suffix(".probe.cfg").write_text(cfg)
        cls.result = cls.run_once(launcher)

    @classmethod
    def run_once(cls, launcher):
        return harness.run_launcher(cls.scenario, launcher, cls.args)

    @classmethod
    def expand(cls, text):
        return (text.replace("<root>", cls.scenario.windows().rstrip("\\")).replace("<home>", cls.home)
                .replace("<app>", f"spine.{cls.__name__}"))

    @classmethod
    def configuration(cls):
        """The scenario's INI with the splash settings every launch needs."""
        settings = SPLASH_SETTINGS
        if "ApplicationName=" not in cls.ini:
            settings += "ApplicationName=<app>\n"
        return harness.with_identity(cls.expand(cls.ini.replace("[Application]\n", "[Application]\n" + settings, 1)))

    @classmethod
    def probe_path(cls, where):
        """A probe's file: where is relative to home unless it starts at <root>."""
        expanded = cls.expand(where)
        return harness.to_unix(expanded if ":" in expanded else cls.home + expanded)

    def records(self, where="GAME.EXE"):
        relative = Path(self.probe_path(where)).relative_to(self.scenario.root)
        return self.scenario.probe_records(str(relative))

    def only_record(self, where="GAME.EXE"):
        records = self.records(where)
        self.assertEqual(len(records), 1, f"{where} should have started exactly once")
        return records[0]

    def assertCommandLine(self, record, program):
        self.assertRegex(record.command_line, "^" + re.escape(program) + SPLASH_HANDLE + "$")

    def assertCwd(self, record, folder):
        # Windows reports a working directory without its trailing backslash.
        self.assertEqual(record.cwd, folder.rstrip("\\"))

    def assertNoBox(self):
        self.assertEqual(self.result.boxes, [])

    def assertOneBox(self, caption, text, icon):
        self.assertEqual(len(self.result.boxes), 1, self.result.boxes)
        box = self.result.boxes[0]
        self.assertEqual((box["caption"], box["text"]), (caption, text))
        self.assertEqual(box["buttons"], ["OK"])
        self.assertEqual(box["icon"], icon)


class RelativeProgramWithDebug(LauncherRun):
    args = ("/Debug",)
    app_alive_ms = 1500
    probes = {"GAME.EXE": f"sleep_ms={app_alive_ms}\nexit_code=7\n"}

    def test_a_relative_program_name_starts_from_the_home_directory(self):
        self.assertCommandLine(self.only_record(), f"{self.home}GAME.EXE")

    def test_the_application_runs_in_the_home_directory(self):
        self.assertCwd(self.only_record(), self.home)

    def test_the_launcher_ends_with_zero_whatever_the_application_returned(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertNoBox()

    def test_the_launcher_waits_for_the_application_to_end(self):
        elapsed = {line[22:-1]: int(line[13:21]) for line in self.result.traces}
        self.assertGreaterEqual(elapsed["Process Exited"] - elapsed["WinExec"], self.app_alive_ms)

    def test_the_application_inherits_the_environment(self):
        names = {entry.split("=", 1)[0].upper() for entry in self.only_record().environment}
        self.assertTrue({"PATH", "WINDIR", "TEMP"} <= names, names)

    def test_debug_traces_each_step_in_order(self):
        for line in self.result.traces:
            self.assertRegex(line, TRACE_LINE)
        steps = [line[len("CurrentTime: 00000000 "):-1] for line in self.result.traces]
        collapsed = [s for i, s in enumerate(steps) if i == 0 or s != steps[i - 1]]
        # KeysCreated is written only by the run that made the application key.
        collapsed = [s for s in collapsed if s != "SetValue: 0"]
        self.assertEqual(collapsed, ["Application Start", "CreateApplicationKeys", "Create Company Key: 0",
                                     "IsAutoRunDisabled", "SplashOn", "SplashOn Exit",
                                     "CheckCoreComponents", "RegisterOCXs", "RegisterOCX Type: SystemOcx",
                                     "RegisterOCX Type: ApplicationOcx", "SplashOff", "WinExec",
                                     "WinExec Process Started", "Process Exited", "UnRegisterOCXs",
                                     "DeleteAppRegisteredOCX", "Application Stop"])
        times = [int(line[13:21]) for line in self.result.traces]
        self.assertEqual(times, sorted(times), "elapsed times never go back")


class ProgramNameWithDrive(LauncherRun):
    ini = "[Application]\nApplicationName=<app>\nProgramName=<root>\\APP\\GAME.EXE\n"
    probes = {"<root>\\APP\\GAME.EXE": ""}

    def test_the_command_line_is_the_named_path(self):
        record = self.only_record("<root>\\APP\\GAME.EXE")
        self.assertCommandLine(record, self.expand("<root>\\APP\\GAME.EXE"))

    def test_the_application_runs_in_its_own_folder(self):
        self.assertCwd(self.only_record("<root>\\APP\\GAME.EXE"), self.expand("<root>\\APP\\"))

    def test_without_debug_nothing_is_traced(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertEqual(self.result.traces, [])
        self.assertNoBox()


class SlowLoadEnvironment:
    """Shared checks of a /SlowLoad start; control_folder is relative to home."""

    args = ("/SlowLoad",)
    control_folder = ""

    def test_the_environment_holds_only_path_and_tmp_besides_systemroot(self):
        # Wine puts its own SystemRoot into any block, so whether the launcher
        # passed one on shows only on the host.
        environment = harness.launcher_environment(self.only_record())
        self.assertEqual(len(environment), 2, environment)
        self.assertEqual(environment[0], f"Path={self.home}{self.control_folder};{self.home}")
        self.assertTrue(environment[1].startswith("Tmp="), environment)

    def test_tmp_names_an_existing_temp_folder(self):
        temp = harness.launcher_environment(self.only_record())[1][len("Tmp="):]
        self.assertRegex(temp, r"^[A-Za-z]:\\.*\\$")
        self.assertTrue(harness.to_unix(temp).is_dir(), temp)

    def test_the_application_runs_in_the_control_folder(self):
        self.assertCwd(self.only_record(), self.home + self.control_folder)

    def test_the_command_line_is_unchanged(self):
        self.assertCommandLine(self.only_record(), f"{self.home}GAME.EXE")
        self.assertEqual(self.result.exit_code, 0)


class SlowLoadWithoutOcxPath(SlowLoadEnvironment, LauncherRun):
    pass


class SlowLoadWithOcxPath(SlowLoadEnvironment, LauncherRun):
    ini = "[Application]\nApplicationName=<app>\nProgramName=GAME.EXE\n[SystemOcx]\nOcxPath=FILES\\OCX\n"
    control_folder = "FILES\\OCX\\"
    folders = ("FILES\\OCX",)


class BlankInHomeFolder(LauncherRun):
    home_parent = "My Games"
    probes = {"GAME.EXE": "", "<root>\\My.exe": ""}

    def test_the_command_line_is_quoted(self):
        self.assertCommandLine(self.only_record(), f'"{self.home}GAME.EXE"')

    def test_a_program_at_the_first_blank_never_runs(self):
        self.assertEqual(self.records("<root>\\My.exe"), [])
        self.assertEqual(self.result.exit_code, 0)


class MissingIni(LauncherRun):
    write_ini = False
    probes = {"GAME.EXE": ""}

    def test_the_missing_file_is_named_and_the_launcher_stops(self):
        self.assertOneBox("GetIniFileName", f"Failed to find configuration file: {self.ini_path}",
                          icon=True)
        self.assertEqual(self.result.exit_code, 1)
        self.assertEqual(self.records(), [])


class ConfigurationPathTooLong(LauncherRun):
    """The launcher's own path fits 259 characters; its configuration file's does not."""

    probes = {}

    @classmethod
    def setUpClass(cls):
        root = harness.to_windows(harness.SCENARIO_ROOT / f"spine.{cls.__name__}")
        # <root>\<parent>\SETUP.EXE is 256 characters, <root>\<parent>\SETUP\SETUP.ini 262.
        cls.home_parent = "p" * (256 - len(root) - len("\\SETUP.EXE") - 1)
        super().setUpClass()

    def test_the_path_is_named_as_far_as_it_fits_and_the_launcher_stops(self):
        self.assertEqual(len(self.ini_path), 262)
        self.assertOneBox("GetIniFileName", f"Failed to find configuration file: {self.ini_path}", icon=True)
        self.assertEqual(self.result.exit_code, 1)


class NamesTooLongForTheRegistryKey(LauncherRun):
    """100 + 100 + 60 characters: Software\\<names>\\ would pass 259 characters."""

    company = "C" * 100
    version = "V" * 60
    ini = f"[Application]\nCompanyName={company}\nApplicationVersion={version}\nProgramName=GAME.EXE\n"

    @classmethod
    def setUpClass(cls):
        cls.application = ("spine.NamesTooLongForTheRegistryKey." + "A" * 100)[:100]
        cls.ini = cls.ini.replace("[Application]\n", f"[Application]\nApplicationName={cls.application}\n")
        harness.reg_delete(rf"HKLM\Software\{cls.company}")
        super().setUpClass()

    def test_one_message_names_them_and_the_launch_goes_on(self):
        self.assertEqual(len(self.result.boxes), 1, self.result.boxes)
        box = self.result.boxes[0]
        self.assertEqual(box["caption"], "CreateApplicationKeys")
        self.assertEqual(box["text"], "CompanyName, ApplicationName and ApplicationVersion together may hold at "
                         f"most 247 characters:\nSoftware\\{self.company}\\{self.application}\\"
                         f"{self.version}\\"[:359])
        self.assertEqual(self.result.exit_code, 0)
        self.only_record()

    def test_no_key_is_made(self):
        self.assertIsNone(harness.reg_value(rf"HKLM\Software\{self.company}"))
        code, _ = harness.reg("query", rf"HKLM\Software\{self.company}")
        self.assertNotEqual(code, 0)


class MissingProgramName(LauncherRun):
    ini = "[Application]\nApplicationName=<app>\nProgram=GAME.EXE\n"

    def test_the_missing_label_is_named_and_the_launcher_stops(self):
        self.assertOneBox(
            "GetPrivateProfileString",
            f"Failed to find label: ProgramName in Section: Application\n INIFile: {self.ini_path}",
            icon=True)
        self.assertEqual(self.result.exit_code, 1)
        self.assertEqual(self.records(), [])


class ProgramFolderMissing(LauncherRun):
    ini = "[Application]\nApplicationName=<app>\nProgramName=<root>\\NOWHERE\\GAME.EXE\n"
    probes = {}

    def test_the_folder_is_named_and_the_launcher_stops(self):
        self.assertOneBox("GetPrivateProfileString",
                          self.expand("Could not set cwd to <root>\\NOWHERE\\"), icon=True)
        self.assertEqual(self.result.exit_code, 1)


class ProgramMissing(LauncherRun):
    ini = "[Application]\nApplicationName=<app>\nProgramName=ABSENT.EXE\n"

    def test_the_refused_command_line_is_shown_and_the_launcher_ends_normally(self):
        self.assertEqual(len(self.result.boxes), 1, self.result.boxes)
        box = self.result.boxes[0]
        self.assertEqual(box["caption"], "WinExecAndWait")
        self.assertRegex(box["text"], "^Failed to Create Process " + re.escape(f"{self.home}ABSENT.EXE")
                         + SPLASH_HANDLE + "\n$")
        self.assertEqual((box["buttons"], box["icon"]), (["OK"], False))
        self.assertEqual(self.result.exit_code, 0)
        self.assertEqual(self.records(), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
