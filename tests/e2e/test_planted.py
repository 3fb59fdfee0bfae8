"""Planted libraries under Wine: a version.dll and a winmm.dll lying beside the
launcher and in the control folder must never serve the launcher.

The stand-ins (fixtures planted_*.dll, laid down as version.dll and winmm.dll)
note each load and each call, with the module that made it, in planted.log
beside themselves, and forward every call to the system's own library. Wine
loads its builtin version.dll and winmm.dll first, unlike Windows; the override
below makes it search the exe's folder first, as Windows does.

Wine's own user32 imports version.dll, so under that override any program with
a window loads a version.dll lying beside it: that load, and user32's calls into
it, are Wine's and allowed. What counts is a call made from the launcher's own
module, any load of a winmm.dll, and any load from the control folder."""

import shutil
import unittest

import harness
import test_registration
import test_versions

# Windows' search order for the two libraries, in place of Wine's builtin-first.
SEARCH_LIKE_WINDOWS = "version,winmm=n,b"
STAND_INS = (("version.dll", "planted_version.dll"), ("winmm.dll", "planted_winmm.dll"))
CORE_FILE = test_versions.PREFIX + "PLANTED.DLL"
CORE_VERSION = "2.10.0.5"


def planted_log(folder):
    """(word, first, second) of each line in planted.log of a folder (a path in the prefix)."""
    log_file = folder / "planted.log"
    if not log_file.exists():
        return []
    lines = log_file.read_bytes().decode("latin-1").splitlines()
    return [tuple(line.split(" ", 2)) for line in lines if line.strip()]


class FullLaunchBesidePlantedLibraries(test_registration.RegistrationRun):
    """A control to register, a core component to check and a sound to play,
    with the stand-ins beside the launcher and in the control folder."""

    ini = ("[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n"
           f"[CoreComponent]\nCore1={CORE_FILE}\nCore1Version={CORE_VERSION}\n"
           "[SystemOcx]\nOcxPath=CTRL\n" + test_registration.control(1, "NEW.OCX"))
    controls = (("NEW.OCX", "control_new.ocx"),)

    @classmethod
    def setUpClass(cls):
        core = test_versions.SYSTEM32 / CORE_FILE
        core.write_bytes((harness.WIN32_BIN / "component_2_10_0_5.dll").read_bytes())
        # Runs even when the launcher run in setUpClass fails.
        cls.addClassCleanup(core.unlink, missing_ok=True)
        super().setUpClass()

    @classmethod
    def configuration(cls):
        # The spine's settings name an absent sound; this launch plays one.
        return super().configuration().replace("SplashWaveFile=absent.wav\n", "SplashWaveFile=chime.wav\n")

    @classmethod
    def run_once(cls, launcher):
        shutil.copyfile(harness.REPO / "examples" / "DEMO" / "chime.wav", harness.to_unix(cls.home + "chime.wav"))
        cls.launcher_folder = launcher.parent
        cls.control_folder = harness.to_unix(cls.home + "CTRL")
        for folder in (cls.launcher_folder, cls.control_folder):
            for name, fixture in STAND_INS:
                shutil.copyfile(harness.WIN32_BIN / fixture, folder / name)
        cls.launcher_path = harness.to_windows(launcher)
        overrides = harness.session().env["WINEDLLOVERRIDES"] + ";" + SEARCH_LIKE_WINDOWS
        return harness.run_launcher(cls.scenario, launcher, cls.args, environment={"WINEDLLOVERRIDES": overrides})

    @classmethod
    def entries(cls):
        return planted_log(cls.launcher_folder) + planted_log(cls.control_folder)

    def test_the_launch_itself_succeeds(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertNoBox()
        self.only_record()
        self.assertEqual(harness.reg_value(test_registration.SERVER_KEY), ("REG_SZ", self.home + "CTRL\\NEW.OCX"))
        texts = test_registration.trace_texts(self.result)
        self.assertIn("IsRegistered: NEW.OCX Clsid: 1 Version: 1 TypeLib: 1", texts)
        # The core component's version was read, so version information was had.
        self.assertIn(f"Version: {CORE_VERSION} INIVersion: {CORE_VERSION} Result: 1", texts)

    def test_wine_searched_the_launchers_folder(self):
        # Without this the checks below would pass for a run that never saw
        # the stand-ins (user32's import of version.dll makes this load).
        loads = [entry for entry in planted_log(self.launcher_folder) if entry[0] == "LOAD"]
        self.assertTrue(any(entry[1].lower().endswith("\\version.dll") for entry in loads), self.entries())

    def test_the_launcher_calls_no_planted_library(self):
        called = {entry[1] for entry in self.entries()
                  if entry[0] == "CALL" and entry[2].lower() == self.launcher_path.lower()}
        self.assertEqual(sorted(called), [], "functions the launcher called in a planted library")

    def test_no_planted_winmm_is_loaded(self):
        loads = [entry for entry in self.entries()
                 if entry[0] == "LOAD" and entry[1].lower().endswith("\\winmm.dll")]
        self.assertEqual(loads, [])

    def test_nothing_is_loaded_from_the_control_folder(self):
        loads = [entry for entry in planted_log(self.control_folder) if entry[0] == "LOAD"]
        self.assertEqual(loads, [])



class ThemingBesideTheLauncher(test_registration.RegistrationRun):
    """A uxtheme.dll beside the launcher. Wine's user32 loads uxtheme.dll by its
    bare name when the launcher makes its first window (the splash), long after
    the exe's imports were resolved: only the launcher's own narrowing of the
    search keeps the planted one out. A control registers too, so its load runs
    with the control folder in the search."""

    ini = ("[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n"
           "[SystemOcx]\nOcxPath=CTRL\n" + test_registration.control(1, "NEW.OCX"))
    controls = (("NEW.OCX", "control_new.ocx"),)

    @classmethod
    def run_once(cls, launcher):
        cls.launcher_folder = launcher.parent
        shutil.copyfile(harness.WIN32_BIN / "planted_uxtheme.dll", cls.launcher_folder / "uxtheme.dll")
        overrides = harness.session().env["WINEDLLOVERRIDES"] + ";uxtheme=n,b"
        return harness.run_launcher(cls.scenario, launcher, cls.args, environment={
            "WINEDLLOVERRIDES": overrides, "WINEDEBUG": harness.session().env["WINEDEBUG"] + ",+loaddll"})

    def uxtheme_loads(self):
        return [line for line in self.result.stderr.splitlines()
                if "loaddll" in line and " Loaded " in line and "uxtheme.dll" in line.lower()]

    def test_the_launch_itself_succeeds(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertNoBox()
        self.assertEqual(harness.reg_value(test_registration.SERVER_KEY), ("REG_SZ", self.home + "CTRL\\NEW.OCX"))

    def test_theming_comes_from_the_system_folder(self):
        # Without this load the check below would pass for a run that never
        # looked for uxtheme.dll at all.
        loads = self.uxtheme_loads()
        self.assertTrue(any("\\\\system32\\\\uxtheme.dll" in line.lower() for line in loads), loads)

    def test_the_planted_theming_library_is_never_loaded(self):
        self.assertEqual(planted_log(self.launcher_folder), [])
        folder = harness.to_windows(self.launcher_folder).lower()
        self.assertEqual([line for line in self.uxtheme_loads() if folder.replace("\\", "\\\\") in line.lower()], [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
