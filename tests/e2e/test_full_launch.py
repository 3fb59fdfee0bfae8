"""One whole launch under Wine: a control that is not yet registered, the
splash with its sound, /Debug, the application started from the home folder,
and the launcher waiting for it.

The 32-bit product runs this where Wine's 32-bit half is emulated and every
process takes minutes, so the launcher runs once and the registry is cleared
and read by one Wine process each."""

import unittest

import harness
import test_registration
import test_splash

LINGER_MS = 1500
# Wine's audio drivers, left out of the launch: the test needs the sound asked
# for, not heard. (Under emulation the sound's thread itself cannot start.)
AUDIO_DRIVERS_OFF = "winealsa.drv,winepulse.drv,wineoss.drv="
# The trace's milestones in the order they must come; other lines may lie between.
MILESTONES = ["Application Start", "CreateApplicationKeys", "IsAutoRunDisabled", "SplashOn", "SplashOn Exit",
              "CheckCoreComponents", "RegisterOCXs", "RegisterOCX Type: SystemOcx",
              "IsRegistered: NEW.OCX Clsid: 0 Version: 0 TypeLib: 0",
              "IsRegistered: NEW.OCX Clsid: 1 Version: 1 TypeLib: 1",
              "WinExec", "WinExec Process Started", "SplashOff", "Process Exited", "UnRegisterOCXs",
              "Application Stop"]


class FullLaunch(unittest.TestCase):
    """<root>\\SETUP.EXE; SETUP\\ holds SETUP.ini, chime.wav, CTRL\\NEW.OCX and the
    splash watcher as GAME.EXE, which closes the splash and stays a little."""

    @classmethod
    def setUpClass(cls):
        harness.reg_delete(r"HKLM\Software\PrelaunchE2E", rf"HKCR\TypeLib\{test_registration.TYPE_LIBRARY}",
                           rf"HKCR\CLSID\{test_registration.CLASS}")
        cls.scenario = harness.Scenario("full_launch")
        cls.home = cls.scenario.windows("SETUP\\")
        launcher = cls.scenario.install("prelaunch.exe", "SETUP.EXE")
        cls.scenario.write("SETUP\\SETUP.ini", harness.with_identity(
            "[Application]\nApplicationName=Product\nProgramName=GAME.EXE\nSplashWaveFile=chime.wav\n"
            "[SystemOcx]\nOcxPath=CTRL\n" + test_registration.control(1, "NEW.OCX")))
        cls.scenario.path("SETUP\\chime.wav").write_bytes(test_splash.CHIME.read_bytes())
        cls.scenario.install("control_new.ocx", "SETUP\\CTRL\\NEW.OCX")
        cls.scenario.install("splashwatch.exe", "SETUP\\GAME.EXE")
        cls.scenario.write("SETUP\\GAME.splash.cfg", f"close=1\nwatch_ms=120000\nlinger_ms={LINGER_MS}\n")
        overrides = harness.session().env["WINEDLLOVERRIDES"] + ";" + AUDIO_DRIVERS_OFF
        # The application's start is one more emulated process inside the run.
        cls.result = harness.run_launcher(cls.scenario, launcher, ("/Debug",), timeout=2 * harness.RUN_TIMEOUT,
                                          environment={"WINEDLLOVERRIDES": overrides})
        watch = cls.scenario.path("SETUP\\GAME.splash.txt")
        cls.watch = test_splash.parse_watch(watch.read_text("latin-1")) if watch.exists() else {}
        cls.steps = test_registration.trace_texts(cls.result)

    def assertWatched(self):
        self.assertIn("END", self.watch, "the application did not run to its end")

    def test_the_launch_ends_with_zero_and_no_message(self):
        self.assertEqual(self.result.exit_code, 0, self.result.stderr[-3000:])
        self.assertEqual(self.result.boxes, [])

    def test_debug_traces_every_milestone_in_order(self):
        for line in self.result.traces:
            self.assertRegex(line, r"^CurrentTime: \d{8} .*\n$")
        times = [int(line[13:21]) for line in self.result.traces]
        self.assertEqual(times, sorted(times), "elapsed times never go back")
        rest = iter(self.steps)
        self.assertEqual([step for step in MILESTONES if step not in rest], [], self.steps)

    def test_the_splash_is_up_when_the_application_starts(self):
        self.assertWatched()
        handle = int(self.watch["HANDLE"], 16)
        self.assertNotEqual(handle, 0)
        self.assertEqual(self.watch["FOUND"], self.watch["HANDLE"], "the handle names the splash")
        self.assertEqual(self.watch["CLASS"], "SplashLogo")
        self.assertEqual(int(self.watch["STYLE"], 16) & 0x10000000, 0x10000000, "WS_VISIBLE")
        self.assertIn("GONE_AFTER_MS", self.watch, "the close message takes it down")

    def test_the_application_starts_from_home_with_its_command_line(self):
        self.assertWatched()
        self.assertEqual(self.watch["CMDLINE"], f"{self.home}GAME.EXE /{self.watch['HANDLE'].lower()}")
        # Windows reports a working directory without its trailing backslash.
        self.assertEqual(self.watch["CWD"], self.home.rstrip("\\"))

    def test_the_launcher_waits_for_the_application_to_end(self):
        self.assertWatched()
        elapsed = {line[22:-1]: int(line[13:21]) for line in self.result.traces}
        self.assertGreaterEqual(elapsed["Process Exited"] - elapsed["WinExec"], LINGER_MS)

    def test_the_control_is_registered_afterwards(self):
        # The launcher's own check after registering found the type library too
        # (a trace milestone); one query from outside is the cheap witness.
        path = self.home + "CTRL\\NEW.OCX"
        self.assertEqual(harness.reg_value(test_registration.SERVER_KEY), ("REG_SZ", path))


if __name__ == "__main__":
    unittest.main(verbosity=2)
