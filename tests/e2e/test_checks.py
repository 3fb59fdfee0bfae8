"""Host checks under Wine: a second launcher of a running application, several
launchers at once, and too little memory.

Wine process starts cost seconds each, so every class runs its launchers once
in setUpClass and the tests look at different sides of those runs."""

import re
import subprocess
import time
import unittest

import harness

GAME_CLASS = "PrelaunchGame"
GAME_TITLE = "The Game probe"
QUESTION = "Would you like to try running it anyway ?"
START_TIMEOUT = harness.RUN_TIMEOUT  # a wine start can take minutes on an emulating machine
ANSWERER_READY_TIMEOUT = harness.ANSWERER_READY_TIMEOUT
LAUNCHERS_AT_ONCE = 8 if harness.ARCH == "win64" else 4  # eight take too long under emulation

MEMORY_MESSAGE = (
    "There are currently not enough system resources to run this application reliably.\n"
    "Tip: To free system resources you can:\n"
    "\tExit other application(s)\n"
    "\tEmpty Recycle Bin\n"
    "\tFree up disk space\n"
    "Please consult your system help for additional tips on making more memory available.\n"
    "Select OK to run this application anyway or Cancel to exit.")


class Watch:
    """One box answerer over several launchers of one scenario running side by side."""

    def __init__(self, scenario, answers=()):
        self.scenario = scenario
        self.env = harness.session().env
        self.box_log = scenario.path("_boxes.jsonl")
        self.stop_file = scenario.path("_stop_answerer")
        answerer = scenario.install("mbanswer.exe", "_mbanswer.exe")
        self.answerer = subprocess.Popen(
            [harness.WINE, harness.to_windows(answerer), harness.to_windows(self.box_log),
             ",".join(answers), harness.to_windows(self.stop_file), str(harness.RUN_TIMEOUT * 4)],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.runs = []
        try:
            harness.wait_for(lambda: self.box_log.exists() or self.answerer.poll() is not None,
                              ANSWERER_READY_TIMEOUT, "the box answerer")
            if not self.box_log.exists():
                raise RuntimeError("box answerer exited early")
        except Exception:
            self.stop()
            raise

    def start(self, exe, args=()):
        stderr = open(self.scenario.path(f"_stderr{len(self.runs)}.txt"), "wb")
        process = subprocess.Popen([harness.WINE, harness.to_windows(exe), *args], env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=stderr)
        self.runs.append((process, stderr))
        return process

    def finish(self, process, timeout=harness.RUN_TIMEOUT):
        """Exit status and trace texts of one launcher."""
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise
        for started, stderr in self.runs:
            if started is process:
                stderr.close()
                with open(stderr.name, "rb") as written:
                    text = written.read().decode("latin-1")
                return process.returncode, harness.debug_strings(text)
        raise ValueError("not started here")

    def boxes(self):
        return harness.read_boxes(self.box_log)

    def stop(self):
        for process, stderr in self.runs:
            if process.poll() is None:
                process.kill()
                process.wait()
            stderr.close()
        self.stop_file.write_bytes(b"")
        try:
            self.answerer.wait(timeout=harness.ANSWERER_STOP_TIMEOUT)
        except subprocess.TimeoutExpired:
            self.answerer.kill()
            self.answerer.wait()


def lay_out(scenario, ini, probe_cfg):
    """<root>\\SETUP.EXE with SETUP\\SETUP.ini and the probe as SETUP\\GAME.EXE."""
    launcher = scenario.install("prelaunch.exe", "SETUP.EXE")
    scenario.write("SETUP\\SETUP.ini", harness.with_identity(ini))
    scenario.install("probe.exe", "SETUP\\GAME.EXE")
    scenario.write("SETUP\\GAME.probe.cfg", probe_cfg)
    return launcher


def ini_for(name, extra=""):
    return (f"[Application]\nApplicationName={name}\nWinClass={GAME_CLASS}\nWinText=Game probe\n"
            f"ProgramName=GAME.EXE\nSplashWaveFile=absent.wav\nSplashOffTime=0\n{extra}")


def probe_cfg(scenario, window, stop_name="_stop_game", nudge=True):
    cfg = f"wait_for_file={scenario.windows(stop_name)}\n"
    if window:
        cfg += f"window_class={GAME_CLASS}\nwindow_title={GAME_TITLE}\n"
    if window and nudge:
        cfg += "nudge_parent=1\n"
    return cfg


class CheckRun(unittest.TestCase):
    def records(self):
        return self.scenario.probe_records("SETUP\\GAME.EXE")


class SecondLauncherRun:
    """Mixed into a CheckRun: a first launcher's application shows its window; once it is up a second
    launcher runs, with at most second_timeout seconds (its status is None
    when it had to be killed); then the application ends."""

    name = ""
    probe_extra = ""
    nudge = True  # the application wakes its launcher's wait
    second_args = ()
    second_timeout = harness.RUN_TIMEOUT

    @classmethod
    def setUpClass(cls):
        cls.scenario = harness.Scenario(cls.name)
        launcher = lay_out(cls.scenario, ini_for(cls.name),
                           probe_cfg(cls.scenario, window=True, nudge=cls.nudge) + cls.probe_extra)
        watch = Watch(cls.scenario)
        try:
            first = watch.start(launcher)
            harness.wait_for(lambda: cls.scenario.path("SETUP\\GAME.ready").exists(), START_TIMEOUT,
                              "the application's window")
            if cls.nudge:
                time.sleep(2)  # the first launcher's wait takes the nudge
            if first.poll() is not None:
                raise RuntimeError("the first launcher ended before the second started")
            try:
                cls.second_status, cls.second_traces = watch.finish(watch.start(launcher, cls.second_args),
                                                                    timeout=cls.second_timeout)
            except subprocess.TimeoutExpired:
                cls.second_status, cls.second_traces = None, []
            cls.scenario.write("_stop_game", "")
            cls.first_status, _ = watch.finish(first)
            cls.boxes = watch.boxes()
        finally:
            watch.stop()
        cls.window_state = cls.scenario.path("SETUP\\GAME.window.txt").read_text().strip()

    def test_the_second_launcher_ends_with_one_and_no_message(self):
        self.assertIsNotNone(self.second_status, f"still running after {self.second_timeout} s")
        self.assertEqual(self.second_status, 1)
        self.assertEqual(self.boxes, [])

    def test_the_application_ran_once_and_the_first_launcher_ended_normally(self):
        self.assertEqual(len(self.records()), 1)
        self.assertEqual(self.first_status, 0)


class SecondLauncherWhileTheWindowIsUp(SecondLauncherRun, CheckRun):
    """The first launcher's application shows its window minimised; a second
    launcher with /Debug brings it back and ends."""

    name = "checks.WindowUp"
    probe_extra = "minimized=1\n"
    second_args = ("/Debug",)

    def test_the_match_is_traced(self):
        pattern = (r"^CurrentTime: \d{8} ShowWindow hwnd: [0-9a-f]{8} ClassName: " + GAME_CLASS +
                   r"\n WinText: " + GAME_TITLE + r"\n\n$")
        matches = [line for line in self.second_traces if re.match(pattern, line)]
        self.assertEqual(len(matches), 1, self.second_traces)

    def test_the_window_was_restored_and_brought_forward(self):
        self.assertEqual(self.window_state, "iconic=0 foreground=1")


class SecondLauncherWithNothingToWakeTheFirst(SecondLauncherRun, CheckRun):
    """SplashOffTime=0 and an application that never touches the first
    launcher's queue: a second launcher still finds the running window."""

    name = "checks.NoWake"
    nudge = False

    def test_the_window_was_brought_forward(self):
        self.assertEqual(self.window_state, "iconic=0 foreground=1")


class SecondLauncherWhileTheApplicationIsFrozen(SecondLauncherRun, CheckRun):
    """The application shows its window minimised, then stops serving its
    queue: a second launcher must not wait for it."""

    name = "checks.Frozen"
    nudge = False
    probe_extra = "minimized=1\nfreeze=1\n"
    second_timeout = 60 if harness.ARCH == "win64" else 600

    def test_the_window_comes_back_once_the_application_recovers(self):
        self.assertTrue(self.window_state.startswith("iconic=0"), self.window_state)


class SecondLauncherBeforeTheWindow(CheckRun):
    """The first launcher's application has no window: a second launcher gets
    the prompt. Cancel ends it; Retry goes on once the first has ended."""

    @classmethod
    def setUpClass(cls):
        cls.scenario = harness.Scenario("checks.Prompt")
        launcher = lay_out(cls.scenario, ini_for("checks.Prompt"), probe_cfg(cls.scenario, window=False))
        # The first box is the cancelling launcher's; the retrying one answers the rest.
        watch = Watch(cls.scenario, ["Cancel"] + ["Retry"] * 150)
        try:
            first = watch.start(launcher)
            harness.wait_for(lambda: cls.scenario.path("SETUP\\GAME.ready").exists(), START_TIMEOUT,
                              "the application")
            cls.cancel_status, _ = watch.finish(watch.start(launcher))
            cls.boxes_after_cancel = watch.boxes()
            retrying = watch.start(launcher)
            harness.wait_for(lambda: len(watch.boxes()) > len(cls.boxes_after_cancel), START_TIMEOUT,
                              "the retrying launcher's prompt")
            cls.scenario.write("_stop_game", "")
            cls.first_status, _ = watch.finish(first)
            cls.retry_status, _ = watch.finish(retrying)
            cls.boxes = watch.boxes()
        finally:
            watch.stop()

    def test_the_prompt_names_the_application_and_asks(self):
        self.assertEqual(len(self.boxes_after_cancel), 1)
        box = self.boxes_after_cancel[0]
        self.assertEqual(box["caption"], "Error")
        self.assertEqual(box["text"], f"checks.Prompt is already running.\n{QUESTION}")
        self.assertEqual(box["buttons"], ["Retry", "Cancel"])
        self.assertEqual(box["default"], "Cancel")
        self.assertTrue(box["icon"])

    def test_cancel_ends_the_second_launcher_with_one(self):
        self.assertEqual(self.cancel_status, 1)

    def test_retry_after_the_first_has_ended_goes_on(self):
        retried = self.boxes[len(self.boxes_after_cancel):]
        self.assertTrue(retried)
        self.assertTrue(all(box["pressed"] == "Retry" for box in retried), retried)
        self.assertEqual(self.retry_status, 0)
        self.assertEqual(self.first_status, 0)
        self.assertEqual(len(self.records()), 2)


class SecondLauncherBeforeAnyApplicationOfItsFile(CheckRun):
    """A launcher of the application runs, but no launcher of SETUP2.EXE has
    started it (that file's thread slot still holds 0, as during a slow
    start), while another program shows a window of the application's class
    and title: the second launcher asks instead of bringing that window forward."""

    @classmethod
    def setUpClass(cls):
        name = "checks.EmptySlot"
        cls.scenario = harness.Scenario(name)
        launcher = lay_out(cls.scenario, ini_for(name), probe_cfg(cls.scenario, window=False))
        second = cls.scenario.install("prelaunch.exe", "SETUP2.EXE")
        cls.scenario.write("SETUP2\\SETUP2.ini", harness.with_identity(ini_for(name)))
        other = cls.scenario.install("probe.exe", "OTHER\\OTHER.EXE")
        cls.scenario.write("OTHER\\OTHER.probe.cfg", probe_cfg(cls.scenario, window=True, nudge=False))
        watch = Watch(cls.scenario, ["Cancel"])
        try:
            other_process = watch.start(other)
            harness.wait_for(lambda: cls.scenario.path("OTHER\\OTHER.ready").exists(), START_TIMEOUT,
                              "the other program's window")
            first = watch.start(launcher)
            harness.wait_for(lambda: cls.scenario.path("SETUP\\GAME.ready").exists(), START_TIMEOUT,
                              "the application")
            cls.second_status, cls.second_traces = watch.finish(watch.start(second, ("/Debug",)))
            cls.boxes = watch.boxes()
            cls.scenario.write("_stop_game", "")
            cls.first_status, _ = watch.finish(first)
            watch.finish(other_process)
        finally:
            watch.stop()

    def test_the_second_launcher_asks_and_cancel_ends_it(self):
        self.assertEqual([(box["caption"], box["text"]) for box in self.boxes],
                         [("Error", f"checks.EmptySlot is already running.\n{QUESTION}")])
        self.assertEqual(self.second_status, 1)
        self.assertEqual(self.first_status, 0)

    def test_no_window_was_matched(self):
        self.assertFalse([line for line in self.second_traces if "ShowWindow hwnd:" in line],
                         self.second_traces)


class LaunchersAtTheSameMoment(CheckRun):
    @classmethod
    def setUpClass(cls):
        cls.scenario = harness.Scenario("checks.Together")
        launcher = lay_out(cls.scenario, ini_for("checks.Together"), probe_cfg(cls.scenario, window=True))
        watch = Watch(cls.scenario)
        try:
            launchers = [watch.start(launcher) for _ in range(LAUNCHERS_AT_ONCE)]
            harness.wait_for(lambda: sum(p.poll() is not None for p in launchers) >= LAUNCHERS_AT_ONCE - 1,
                              harness.RUN_TIMEOUT * 2, "all launchers but one to end")
            cls.scenario.write("_stop_game", "")
            cls.statuses = sorted(watch.finish(p)[0] for p in launchers)
            cls.boxes = watch.boxes()
        finally:
            watch.stop()

    def test_the_application_runs_exactly_once(self):
        self.assertEqual(len(self.records()), 1)
        self.assertEqual(self.statuses, [0] + [1] * (LAUNCHERS_AT_ONCE - 1))

    def test_any_message_is_the_already_running_prompt(self):
        for box in self.boxes:
            self.assertEqual(box["caption"], "Error")
            self.assertEqual(box["text"], f"checks.Together is already running.\n{QUESTION}")


class TooLittleMemory(CheckRun):
    """A MegRequired no machine has: Cancel ends the launcher, OK goes on."""

    @classmethod
    def setUpClass(cls):
        cls.scenario = harness.Scenario("checks.Memory")
        launcher = lay_out(cls.scenario, ini_for("checks.Memory", "MegRequired=4000000\n"), "")
        cls.cancelled = harness.run_launcher(cls.scenario, launcher, answers=["Cancel"])
        cls.records_after_cancel = len(cls.scenario.probe_records("SETUP\\GAME.EXE"))
        cls.accepted = harness.run_launcher(cls.scenario, launcher, answers=["OK"])

    def test_the_memory_message_offers_ok_and_cancel(self):
        self.assertEqual(len(self.cancelled.boxes), 1)
        box = self.cancelled.boxes[0]
        self.assertEqual((box["caption"], box["text"]), ("Information", MEMORY_MESSAGE))
        self.assertEqual(box["buttons"], ["OK", "Cancel"])
        self.assertEqual(box["default"], "Cancel")
        self.assertTrue(box["icon"])

    def test_cancel_ends_the_launcher(self):
        self.assertEqual(self.cancelled.exit_code, 1)
        self.assertEqual(self.records_after_cancel, 0)

    def test_ok_runs_the_application(self):
        self.assertEqual([box["pressed"] for box in self.accepted.boxes], ["OK"], self.accepted.boxes)
        self.assertEqual(self.accepted.exit_code, 0)
        self.assertEqual(len(self.records()), 1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
