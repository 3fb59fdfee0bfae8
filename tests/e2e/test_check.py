"""/Check under Wine: the launch read-only, reported instead of done.

One configuration holds a control to register, an older registered control
and a missing core component. The dry run must report each, leave the
registry exactly as it was, start nothing, and leave its report file. The
harness hands every run a standard output (Wine maps the Unix one), so the
report goes there and no box shows; /Debug traces the summary, which names
the report file."""

import unittest

import harness

TYPE_LIBRARY = "{E2E00000-0000-0000-0000-000000000001}"
CLASS = "{E2E00000-0000-0000-0000-000000000002}"
# A second control nobody has registered.
NEW_TYPE_LIBRARY = "{E2E00000-0000-0000-0000-0000000000C1}"
NEW_CLASS = "{E2E00000-0000-0000-0000-0000000000C2}"
COMPARED_KEYS = (r"HKLM\Software", r"HKCR\TypeLib", r"HKCR\CLSID")


def control(n, file_name, type_library, clsid, version):
    return (f"Ocx{n}={file_name}\nOcx{n}TypeLib={type_library}\\1.0\\0\\win32\nOcx{n}Clsid={clsid}\n"
            f"Ocx{n}Version={version}\n")


class CheckRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        harness.reg_delete(r"HKLM\Software\PrelaunchE2E", rf"HKCR\TypeLib\{TYPE_LIBRARY}",
                           rf"HKCR\CLSID\{CLASS}", rf"HKCR\TypeLib\{NEW_TYPE_LIBRARY}",
                           rf"HKCR\CLSID\{NEW_CLASS}")
        cls.scenario = harness.Scenario("check.Configuration")
        cls.home = cls.scenario.windows("SETUP\\")
        launcher = cls.scenario.install("prelaunch.exe", "SETUP.EXE")
        for name, fixture in (("OLD.OCX", "control_old.ocx"), ("NEW.OCX", "control_new.ocx"),
                              ("OTHER.OCX", "control_new.ocx")):
            cls.scenario.install(fixture, f"SETUP\\CTRL\\{name}")
        cls.scenario.install("probe.exe", "SETUP\\GAME.EXE")
        cls.scenario.write("SETUP\\intro.wav", "RIFF")
        cls.old = cls.home + "CTRL\\OLD.OCX"
        harness.reg_set(rf"HKCR\TypeLib\{TYPE_LIBRARY}\1.0\0\win32", None, "REG_SZ", cls.old)
        harness.reg_set(rf"HKCR\CLSID\{CLASS}\InprocServer32", None, "REG_SZ", cls.old)
        cls.scenario.write("SETUP\\SETUP.ini", harness.with_identity(
            "[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n"
            "[SystemOcx]\nOcxPath=CTRL\n"
            + control(1, "NEW.OCX", TYPE_LIBRARY, CLASS, "3.0.0.0")
            + control(2, "OTHER.OCX", NEW_TYPE_LIBRARY, NEW_CLASS, "3.0.0.0")
            + "Ocx9=NINTH.OCX\n"
            "[CoreComponent]\nCore1=PRELAUNCH_ABSENT.DLL\nCore1Version=1.0.0.0\n"))
        cls.before = cls.export_registry()
        cls.result = harness.run_launcher(cls.scenario, launcher, ("/Check", "/Debug"))
        cls.after = cls.export_registry()

    @classmethod
    def export_registry(cls):
        exported = {}
        for n, key in enumerate(COMPARED_KEYS):
            target = cls.scenario.path(f"_export{n}.reg")
            target.unlink(missing_ok=True)
            code, output = harness.reg("export", key, harness.to_windows(target), "/y")
            if code != 0:
                raise RuntimeError(f"reg export {key} failed with {code}: {output}")
            exported[key] = target.read_bytes()
        return exported

    def summary(self):
        lines = [t for t in self.result.traces if " lines: " in t]
        self.assertEqual(len(lines), 1, self.result.traces)
        return lines[0][len("CurrentTime: 00000000 "):].rstrip("\n")

    def report(self):
        summary = self.summary()
        path = summary[summary.index(" lines: ") + len(" lines: "):]
        self.assertTrue(path.endswith("\\SETUP-check.txt"), summary)
        return harness.to_unix(path).read_bytes().decode("latin-1")

    def test_reports_problems_with_status_2_on_its_standard_output(self):
        self.assertEqual(self.result.exit_code, 2)
        self.assertRegex(self.summary(), r"^1 problems, \d+ lines: .*\\SETUP-check\.txt$")
        self.assertEqual(self.result.boxes, [])

    def test_writes_nothing_to_the_registry(self):
        for key in COMPARED_KEYS:
            self.assertEqual(self.before[key], self.after[key], key)

    def test_starts_nothing(self):
        self.assertEqual(self.scenario.probe_records("SETUP\\GAME.EXE"), [])

    def test_the_report_says_what_a_real_run_would_do(self):
        report = self.report()
        home = self.home
        for line in (
                f"[SystemOcx] Ocx1=NEW.OCX: {home}CTRL\\NEW.OCX, version 3.0.0.0, registers itself",
                f"  registered: type library yes, class yes, file {self.old}, required 3.0.0.0: "
                "a real run does record the older file, then register it",
                f"[SystemOcx] Ocx2=OTHER.OCX: {home}CTRL\\OTHER.OCX, version 3.0.0.0, registers itself",
                "  registered: type library no, class no, file none, required 3.0.0.0: "
                "a real run does register it",
                "Launch mode: slow-load (Core1 is not current)",
                "Problem: [SystemOcx] Ocx9 is never read: numbers are written in base 9",
        ):
            self.assertIn(line, report)
        self.assertRegex(report, r"Core1: .*PRELAUNCH_ABSENT\.DLL, required 1\.0\.0\.0: missing or without a version\r\n")
        self.assertIn(f"Environment: Path={home}CTRL\\;{home}\r\n", report)
        self.assertTrue(report.endswith("\r\n"))


class CheckUtf8Configuration(unittest.TestCase):
    """A configuration in UTF-8 behind its byte order mark, [Application] first:
    the launcher reads it itself, so its names come through in UTF-8 (Wine would
    hand them over in its code page) and the mark hides no section."""

    @classmethod
    def setUpClass(cls):
        cls.scenario = harness.Scenario("check.Utf8Configuration")
        cls.home = cls.scenario.windows("SETUP\\")
        launcher = cls.scenario.install("prelaunch.exe", "SETUP.EXE")
        cls.scenario.install("probe.exe", "SETUP\\GAME.EXE")
        cls.scenario.write("SETUP\\intro.wav", "RIFF")
        ini = ("\ufeff[Application]\r\nCompanyName=PrelaunchE2E\r\nApplicationName=Société\r\n"
               "ApplicationVersion=1.0\r\nProgramName=GAME.EXE\r\nSplashWaveFile=intro.wav\r\n")
        cls.scenario.path("SETUP\\SETUP.ini").write_bytes(ini.encode("utf-8"))
        cls.result = harness.run_launcher(cls.scenario, launcher, ("/Check", "/Debug"))

    def test_the_first_section_is_read_in_utf8(self):
        self.assertEqual(self.result.exit_code, 0, self.result.traces)
        summary = [t for t in self.result.traces if " lines: " in t]
        self.assertEqual(len(summary), 1, self.result.traces)
        path = summary[0][summary[0].index(" lines: ") + len(" lines: "):].rstrip("\n")
        report = harness.to_unix(path).read_bytes()
        self.assertIn("Application key: HKEY_LOCAL_MACHINE\\Software\\PrelaunchE2E\\Société\\1.0 "
                      .encode("utf-8"), report)
        self.assertIn(f"Program: {self.home}GAME.EXE (found)".encode("latin-1"), report)
        self.assertEqual(self.scenario.probe_records("SETUP\\GAME.EXE"), [])


if __name__ == "__main__":
    unittest.main()
