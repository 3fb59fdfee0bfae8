"""Core components under Wine: component libraries with chosen file versions in
the prefix's system directory decide the launch mode.

One launcher run per class (with /Debug); the tests read the probe's record
and the trace lines of that run."""

import unittest

import harness
import test_spine

SYSTEM32 = harness.DRIVE_C / "windows" / "system32"
SYSTEM_DIRECTORY = "C:\\windows\\system32\\"
PREFIX = "PLVER_"  # our files in the shared system directory


def trace_texts(result):
    texts = [line[len("CurrentTime: 00000000 "):-1] for line in result.traces]
    return [text for text in texts if text not in harness.REGISTRATION_TRACES]


class CoreRun(test_spine.LauncherRun):
    """components: (key ordinal text, file name, built fixture or None for absent, required version)."""

    args = ("/Debug",)
    components = ()

    @classmethod
    def setUpClass(cls):
        lines = ["[Application]", "ProgramName=GAME.EXE", "[CoreComponent]"]
        for ordinal, name, fixture, required in cls.components:
            lines += [f"Core{ordinal}={PREFIX}{name}", f"Core{ordinal}Version={required}"]
            target = SYSTEM32 / f"{PREFIX}{name}"
            target.unlink(missing_ok=True)
            if fixture is not None:
                target.write_bytes((harness.WIN32_BIN / fixture).read_bytes())
                # Runs even when the launcher run in setUpClass fails.
                cls.addClassCleanup(target.unlink, missing_ok=True)
        cls.ini = "\n".join(lines) + "\n"
        super().setUpClass()

    def compared(self):
        """The files CompareFileVersion was asked about, in order."""
        mark = "CompareFileVersion: "
        return [t[len(mark):] for t in trace_texts(self.result) if t.startswith(mark)]

    def assertNormalMode(self):
        record = self.only_record()
        names = {entry.split("=", 1)[0].upper() for entry in record.environment}
        self.assertTrue({"PATH", "WINDIR", "TEMP"} <= names, names)
        self.assertCwd(record, self.home)

    def assertSlowLoadMode(self):
        record = self.only_record()
        environment = harness.launcher_environment(record)
        self.assertEqual(len(environment), 2, environment)
        self.assertEqual(environment[0], f"Path={self.home};{self.home}")
        self.assertTrue(environment[1].startswith("Tmp="), environment)


class AllCurrentNineEntries(CoreRun):
    # Equal, newer and short versions; the ninth entry is Core10 and Core9 is never read.
    components = (
        ("1", "EQUAL.DLL", "component_2_10_0_5.dll", "2.10.0.5"),
        ("2", "NEWER2.DLL", "component_2_10_0_5.dll", "2.9.9.9"),
        ("3", "NEWER1.DLL", "component_3_0_0_0.dll", "2.10.0.5"),
        ("4", "SHORT.DLL", "component_2_10_0_5.dll", "2.10"),
        ("5", "NOVERSION.DLL", "component_1_0_0_0.dll", ""),
        ("6", "E6.DLL", "component_2_10_0_5.dll", "1.99.99.99"),
        ("7", "E7.DLL", "component_2_10_0_5.dll", "2.10.0.4"),
        ("8", "E8.DLL", "component_2_10_0_5.dll", "02.010.0.5"),
        ("9", "ABSENT9.DLL", None, "1.0.0.0"),
        ("10", "NINTH.DLL", "component_3_0_0_0.dll", "3.0.0.0"),
    )

    def test_the_application_starts_in_normal_mode(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertNoBox()
        self.assertNormalMode()

    def test_core1_to_core8_then_core10_are_compared_in_order(self):
        expected = [SYSTEM_DIRECTORY + PREFIX + name
                    for ordinal, name, _, _ in self.components if ordinal != "9"]
        self.assertEqual([path.lower() for path in self.compared()], [p.lower() for p in expected])

    def test_each_comparison_reports_the_file_version_and_result(self):
        results = [t for t in trace_texts(self.result) if t.startswith("Version: ")]
        self.assertEqual(results, [
            "Version: 2.10.0.5 INIVersion: 2.10.0.5 Result: 1",
            "Version: 2.10.0.5 INIVersion: 2.9.9.9 Result: 1",
            "Version: 3.0.0.0 INIVersion: 2.10.0.5 Result: 1",
            "Version: 2.10.0.5 INIVersion: 2.10 Result: 1",
            "Version: 1.0.0.0 INIVersion:  Result: 1",
            "Version: 2.10.0.5 INIVersion: 1.99.99.99 Result: 1",
            "Version: 2.10.0.5 INIVersion: 2.10.0.4 Result: 1",
            "Version: 2.10.0.5 INIVersion: 02.010.0.5 Result: 1",
            "Version: 3.0.0.0 INIVersion: 3.0.0.0 Result: 1",
        ])

    def test_the_check_comes_before_the_launch(self):
        texts = trace_texts(self.result)
        self.assertLess(texts.index("CheckCoreComponents"), texts.index("WinExec"))


class OneMissing(CoreRun):
    components = (
        ("1", "PRESENT.DLL", "component_2_10_0_5.dll", "2.10.0.5"),
        ("2", "MISSING.DLL", None, "1.0.0.0"),
        ("3", "AFTER.DLL", "component_2_10_0_5.dll", "1.0.0.0"),
    )

    def test_the_application_starts_in_slow_load_mode(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertNoBox()
        self.assertSlowLoadMode()

    def test_the_walk_stops_at_the_missing_file(self):
        texts = trace_texts(self.result)
        missing = (SYSTEM_DIRECTORY + PREFIX + "MISSING.DLL").lower()
        self.assertEqual([p.lower() for p in self.compared()][-1], missing)
        at = [t.lower() for t in texts].index("comparefileversion: " + missing)
        self.assertEqual(texts[at + 1], "FileVersionInfoSize zip")
        self.assertEqual(texts[at + 2:at + 4], ["SplashOff", "WinExec"])


class OneOlder(CoreRun):
    components = (
        ("1", "OLDER.DLL", "component_1_0_0_0.dll", "2.10.0.5"),
        ("2", "AFTER.DLL", "component_2_10_0_5.dll", "1.0.0.0"),
    )

    def test_an_older_file_starts_the_application_in_slow_load_mode(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertSlowLoadMode()
        self.assertIn("Version: 1.0.0.0 INIVersion: 2.10.0.5 Result: 0", trace_texts(self.result))
        self.assertEqual(len(self.compared()), 1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
