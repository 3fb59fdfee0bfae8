"""The splash window under Wine: its class, styles and place on two screen
sizes, its pixels on the screen, and the ways it comes down (the
application's close message, SplashOffTime 0 and a delay, a message box).

Every wine run costs seconds, so each class runs the launcher once and its
tests look at different sides of that run."""

import re
import struct
import unittest

import harness

# The answerer's start can take minutes on a loaded machine under emulation.
harness.ANSWERER_READY_TIMEOUT = max(harness.ANSWERER_READY_TIMEOUT, 600)

SPLASH_BMP = harness.REPO / "resources" / "splash.bmp"
CHIME = harness.REPO / "examples" / "DEMO" / "chime.wav"
WIDTH, HEIGHT = 450, 300
# Corners, the disc, its arrow, the word and the background between.
POINTS = [(0, 0), (449, 0), (0, 299), (449, 299), (225, 78), (190, 78), (60, 160), (300, 250)]


def bitmap_colour(x, y):
    """The splash bitmap's own colour at (x, y), top-left origin, as rrggbb."""
    data = SPLASH_BMP.read_bytes()
    offset, = struct.unpack_from("<I", data, 10)
    row = (WIDTH + 3) // 4 * 4
    index = data[offset + (HEIGHT - 1 - y) * row + x]
    blue, green, red = data[54 + 4 * index:54 + 4 * index + 3]
    return f"{red:02x}{green:02x}{blue:02x}"


def parse_watch(text):
    record = {"PIXEL": {}}
    for line in text.splitlines():
        word, _, rest = line.partition(" ")
        if word == "PIXEL":
            x, y, colour = rest.split()
            record["PIXEL"][(int(x), int(y))] = colour
        else:
            record[word] = rest
    return record


class SplashRun(unittest.TestCase):
    """<root>\\SETUP.EXE with SETUP\\SETUP.ini, SETUP\\chime.wav and the watcher as GAME.EXE."""

    ini = "[Application]\nProgramName=GAME.EXE\nSplashWaveFile=chime.wav\n"
    watch_cfg = ""
    desktop = None  # "800x600": run inside a Wine virtual desktop of that size
    answers = ()
    controls = ()  # (file name in SETUP, built fixture)
    registry_keys = ()  # deleted before the run, so that its controls register

    @classmethod
    def setUpClass(cls):
        if cls.registry_keys:
            harness.reg_delete(*cls.registry_keys)
        cls.scenario = harness.Scenario(f"splash.{cls.__name__}")
        launcher = cls.scenario.install("prelaunch.exe", "SETUP.EXE")
        for name, fixture in cls.controls:
            cls.scenario.install(fixture, "SETUP\\" + name)
        # The guard needs the application's name: one of its own per scenario.
        cls.scenario.write("SETUP\\SETUP.ini", harness.with_identity(cls.ini.replace(
            "[Application]\n", f"[Application]\nApplicationName=splash.{cls.__name__}\n", 1)))
        cls.scenario.path("SETUP\\chime.wav").write_bytes(CHIME.read_bytes())
        cls.scenario.install("splashwatch.exe", "SETUP\\GAME.EXE")
        cls.scenario.write("SETUP\\GAME.splash.cfg", cls.watch_cfg)
        if cls.desktop:
            cls.result = harness.run_launcher(
                cls.scenario, "C:\\windows\\explorer.exe",
                (f"/desktop=splash{cls.desktop},{cls.desktop}", harness.to_windows(launcher), "/Debug"),
                cls.answers)
        else:
            cls.result = harness.run_launcher(cls.scenario, launcher, ("/Debug",), cls.answers)
        watch = cls.scenario.path("SETUP\\GAME.splash.txt")
        cls.watch = parse_watch(watch.read_text("latin-1")) if watch.exists() else {}

    def steps(self):
        steps = [line[len("CurrentTime: 00000000 "):-1] for line in self.result.traces]
        return [step for step in steps if step not in harness.REGISTRATION_TRACES]

    def assertWatched(self):
        self.assertIn("END", self.watch, "the application did not record what it saw")

    def assertSplashAt(self, left, top):
        self.assertWatched()
        self.assertNotEqual(int(self.watch["HANDLE"], 16), 0)
        self.assertEqual(self.watch["FOUND"], self.watch["HANDLE"], "the handle names the splash")
        self.assertEqual(self.watch["CLASS"], "SplashLogo")
        ex_style, style = int(self.watch["EXSTYLE"], 16), int(self.watch["STYLE"], 16)
        self.assertEqual(ex_style & 0x88, 0x88, "WS_EX_TOOLWINDOW | WS_EX_TOPMOST")
        self.assertEqual(ex_style & 0x40000, 0, "no taskbar button (WS_EX_APPWINDOW)")
        self.assertEqual(style & 0x90000000, 0x90000000, "WS_POPUP | WS_VISIBLE")
        self.assertEqual(style & 0x00CF0000, 0, "no caption, border, frame or system menu")
        self.assertEqual(self.watch["RECT"], f"{left} {top} {left + WIDTH} {top + HEIGHT}")


class ClosedByTheApplication(SplashRun):
    # Its own desktop: a smaller virtual desktop of an earlier run would linger.
    desktop = "1024x768"
    watch_cfg = "".join(f"pixel={x},{y}\n" for x, y in POINTS) + "close=1\nwatch_ms=60000\n"

    def test_the_splash_is_the_bitmap_centred_and_topmost(self):
        self.assertEqual(self.watch.get("SCREEN"), "1024 768")
        self.assertSplashAt(287, 234)

    def test_the_screen_shows_the_bitmaps_own_pixels(self):
        self.assertWatched()
        expected = {point: bitmap_colour(*point) for point in POINTS}
        self.assertEqual(self.watch["PIXEL"], expected)

    def test_the_application_gets_the_handle_last_on_its_command_line(self):
        self.assertWatched()
        self.assertTrue(self.watch["CMDLINE"].endswith(" /" + self.watch["HANDLE"].lower()))

    def test_the_close_message_takes_the_splash_down_while_the_launcher_waits(self):
        self.assertWatched()
        self.assertIn("GONE_AFTER_MS", self.watch)
        steps = self.steps()
        self.assertIn("SplashOff", steps)
        self.assertLess(steps.index("WinExec"), steps.index("SplashOff"))
        self.assertLess(steps.index("SplashOff"), steps.index("Process Exited"))

    def test_the_launch_goes_on_as_usual(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertEqual(self.result.boxes, [])
        self.assertEqual(self.steps()[:3], ["Application Start", "SplashOn", "SplashOn Exit"])


class ClosedByItsDelayOnASmallerScreen(SplashRun):
    delay_ms = 12000
    ini = SplashRun.ini + f"SplashOffTime={delay_ms}\n"
    desktop = "800x600"
    watch_cfg = "close=1\nwatch_ms=60000\n"  # the close message must change nothing

    def test_the_splash_is_centred_on_the_smaller_screen(self):
        self.assertEqual(self.watch.get("SCREEN"), "800 600")
        self.assertSplashAt(175, 150)

    def test_the_delay_takes_it_down_after_the_application_started(self):
        self.assertWatched()
        self.assertIn("GONE_AFTER_MS", self.watch)
        steps = self.steps()
        self.assertLess(steps.index("SplashOff"), steps.index("WinExec"))


class GoneBeforeTheApplicationStarts(SplashRun):
    ini = SplashRun.ini + "SplashOffTime=0\n"

    def test_the_application_finds_no_splash(self):
        self.assertWatched()
        self.assertEqual(int(self.watch["FOUND"], 16), 0)
        steps = self.steps()
        self.assertLess(steps.index("SplashOff"), steps.index("WinExec"))
        self.assertEqual(self.result.exit_code, 0)

    def test_the_application_gets_eight_zeros_not_the_gone_splash(self):
        self.assertWatched()
        self.assertTrue(self.watch["CMDLINE"].endswith(" /00000000"), self.watch["CMDLINE"])


class AMessageBoxTakesItDown(SplashRun):
    ini = "[Application]\nProgramName=GAME.EXE\n"
    answers = ("OK",)

    def test_the_missing_sound_is_reported_with_the_splash_gone(self):
        self.assertEqual(len(self.result.boxes), 1, self.result.boxes)
        box = self.result.boxes[0]
        self.assertEqual(box["caption"], "GetPrivateProfileString")
        self.assertTrue(box["text"].startswith("Failed to find label: SplashWaveFile in Section: Application"))
        steps = self.steps()
        self.assertEqual(steps[:4], ["Application Start", "SplashOn", "SplashOff", "SplashOn Exit"])

    def test_the_application_gets_eight_zeros_and_no_splash(self):
        self.assertWatched()
        self.assertTrue(self.watch["CMDLINE"].endswith(" /00000000"))
        self.assertEqual(int(self.watch["FOUND"], 16), 0)
        self.assertEqual(self.result.exit_code, 0)


class AFailedStartTakesDownADelayedSplash(SplashRun):
    """The box must not sit under the topmost splash while its delay runs."""
    delay_ms = 60000
    ini = f"[Application]\nProgramName=NOGAME.EXE\nSplashWaveFile=chime.wav\nSplashOffTime={delay_ms}\n"
    answers = ("OK",)

    def test_the_box_shows_with_the_splash_gone(self):
        self.assertEqual(len(self.result.boxes), 1, self.result.boxes)
        box = self.result.boxes[0]
        self.assertEqual(box["caption"], "WinExecAndWait")
        self.assertTrue(box["text"].startswith("Failed to Create Process "), box["text"])
        self.assertFalse(box["splash_up"])

    def test_the_launcher_ends_promptly(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertLess(self.result.seconds, self.delay_ms / 1000 / 2)
        steps = self.steps()
        self.assertIn("SplashOff", steps[steps.index("WinExec"):])


BOX_TYPE_LIBRARY = "{E2E00000-0000-0000-0000-0000000000B1}"
BOX_CLASS = "{E2E00000-0000-0000-0000-0000000000B2}"


class AControlsOwnBoxComesAboveTheSplash(SplashRun):
    """BOX.OCX shows a box of its own from its DllRegisterServer."""
    ini = (SplashRun.ini + f"[SystemOcx]\nOcx1=BOX.OCX\nOcx1TypeLib={BOX_TYPE_LIBRARY}\\1.0\\0\\win32\n"
           f"Ocx1Clsid={BOX_CLASS}\nOcx1Version=3.0.0.0\n")
    answers = ("OK",)
    controls = (("BOX.OCX", "control_box.ocx"),)
    registry_keys = (rf"HKCR\TypeLib\{BOX_TYPE_LIBRARY}", rf"HKCR\CLSID\{BOX_CLASS}")

    def test_the_splash_steps_aside_for_the_box(self):
        self.assertEqual(len(self.result.boxes), 1, self.result.boxes)
        box = self.result.boxes[0]
        self.assertEqual(box["caption"], "Control setup")
        self.assertTrue(box["splash_up"])
        self.assertFalse(box["splash_topmost"])
        self.assertFalse(box["splash_above"], "the splash covers the box")

    def test_the_control_registers_and_the_splash_is_topmost_again(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertEqual(harness.reg_value(rf"HKCR\TypeLib\{BOX_TYPE_LIBRARY}\1.0\0\win32"),
                         ("REG_SZ", self.scenario.windows("SETUP\\BOX.OCX")))
        self.assertWatched()
        self.assertEqual(int(self.watch["FOUND"], 16), int(self.watch["HANDLE"], 16))
        self.assertEqual(int(self.watch["EXSTYLE"], 16) & 0x88, 0x88, "WS_EX_TOOLWINDOW | WS_EX_TOPMOST")


if __name__ == "__main__":
    unittest.main()
