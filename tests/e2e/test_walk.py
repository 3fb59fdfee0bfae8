"""The walk at exit over the records of replaced controls, under Wine.

A record names the older file a run replaced; the walk unregisters it once the
application has ended. Real controls' DllUnregisterServer deletes the keys
whichever file they name, so the walk must never unregister the file the
machine's registration names, and must put a newer registration back when the
older file's unregistration took it away. Fixtures and keys as in
test_registration."""

import unittest

import harness
from test_registration import (NOTE_KEY, RECORD_KEY, SERVER_KEY, TYPE_LIBRARY_KEY, OlderRegistered, control,
                               trace_texts)

UNREGISTERED = NOTE_KEY + r"\Unregistered"
INI = "[Application]\nApplicationName=Product\nProgramName=GAME.EXE\n[SystemOcx]\nOcxPath=CTRL\n"


class RecordOfTheRegisteredFile(OlderRegistered):
    """A run killed inside NEW.OCX's DllRegisterServer left a record naming
    OLD.OCX, which is still what the registry names. This run's NEW.OCX fails
    to register again."""

    ini = INI + control(1, "NEW.OCX")
    controls = (("NEW.OCX", "control_fails.ocx"), ("OLD.OCX", "control_old_wipes.ocx"))

    @classmethod
    def prepare_registry(cls):
        super().prepare_registry()
        harness.reg_set(RECORD_KEY, None, "REG_SZ", cls.old)

    def test_the_failure_is_shown_and_the_application_still_runs(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertOneBox("DLLRegisterServer error", self.home + "CTRL\\NEW.OCX returned: 80004005", False)
        self.only_record()

    def test_the_registered_file_is_never_unregistered(self):
        self.assertEqual(harness.reg_value(TYPE_LIBRARY_KEY), ("REG_SZ", self.old))
        self.assertEqual(harness.reg_value(SERVER_KEY), ("REG_SZ", self.old))
        self.assertIsNone(harness.reg_value(UNREGISTERED))

    def test_the_record_is_kept_and_the_walk_says_why(self):
        self.assertEqual(harness.reg_value(RECORD_KEY), ("REG_SZ", self.old))
        texts = trace_texts(self.result)
        left = "Still registered, left alone: " + self.old
        self.assertIn(left, texts)
        self.assertGreater(texts.index(left), texts.index("Process Exited"))


class DebugFindsTheNewerFileTooOld(OlderRegistered):
    """/Debug, OLD.OCX registered, and the INI asks 4.0.0.0 of NEW.OCX, which is
    3.0.0.0: the second look after the registration stops the launch. The INI
    is then put right and the launcher runs again."""

    ini = INI + control(1, "NEW.OCX", version="4.0.0.0")
    controls = (("NEW.OCX", "control_new.ocx"), ("OLD.OCX", "control_old.ocx"))

    @classmethod
    def run_once(cls, launcher):
        first = harness.run_launcher(cls.scenario, launcher, cls.args)
        cls.record_after_first = harness.reg_value(RECORD_KEY)
        cls.server_after_first = harness.reg_value(SERVER_KEY)
        cls.started_by_first = harness.to_unix(cls.home + "GAME.probe.txt").exists()
        ini = harness.to_unix(cls.ini_path)
        ini.write_bytes(ini.read_bytes().replace(b"Ocx1Version=4.0.0.0", b"Ocx1Version=3.0.0.0"))
        cls.second = harness.run_launcher(cls.scenario, launcher, cls.args)
        return first

    def test_the_first_run_stops_on_the_newer_file(self):
        self.assertEqual(self.result.exit_code, 1)
        self.assertOneBox("IsRegistered", "Error in INI file Section SystemOcx\n OCX: NEW.OCX", True)
        self.assertFalse(self.started_by_first)
        self.assertEqual(self.server_after_first, ("REG_SZ", self.home + "CTRL\\NEW.OCX"))

    def test_the_record_names_the_older_file_not_the_newer(self):
        self.assertEqual(self.record_after_first, ("REG_SZ", self.old))

    def test_the_corrected_run_unregisters_the_older_file_and_keeps_the_newer(self):
        self.assertEqual(self.second.exit_code, 0)
        self.assertEqual(self.second.boxes, [])
        new = self.home + "CTRL\\NEW.OCX"
        self.assertEqual(harness.reg_value(UNREGISTERED), ("REG_SZ", self.old))
        self.assertEqual(harness.reg_value(TYPE_LIBRARY_KEY), ("REG_SZ", new))
        self.assertEqual(harness.reg_value(SERVER_KEY), ("REG_SZ", new))
        self.assertEqual(harness.reg_value(RECORD_KEY), ("REG_SZ", ""))


class OlderFileWipesTheKeys(OlderRegistered):
    """OLD.OCX (1.0) is registered and its DllUnregisterServer deletes the
    class and type library keys whatever file they name; NEW.OCX (3.0) is required."""

    ini = INI + control(1, "NEW.OCX")
    controls = (("NEW.OCX", "control_new.ocx"), ("OLD.OCX", "control_old_wipes.ocx"))

    def test_the_application_runs_without_a_message(self):
        self.assertEqual(self.result.exit_code, 0)
        self.assertNoBox()
        self.only_record()

    def test_the_newer_file_is_registered_again_after_the_older_one_goes(self):
        new = self.home + "CTRL\\NEW.OCX"
        self.assertEqual(harness.reg_value(TYPE_LIBRARY_KEY), ("REG_SZ", new))
        self.assertEqual(harness.reg_value(SERVER_KEY), ("REG_SZ", new))
        texts = trace_texts(self.result)
        unregistered = texts.index(self.old)
        self.assertGreater(unregistered, texts.index("Process Exited"))
        again = "Registered again: " + new
        self.assertIn(again, texts)
        self.assertGreater(texts.index(again), unregistered)

    def test_the_older_file_was_unregistered_and_its_record_emptied(self):
        self.assertEqual(harness.reg_value(UNREGISTERED), ("REG_SZ", self.old))
        self.assertEqual(harness.reg_value(RECORD_KEY), ("REG_SZ", ""))


if __name__ == "__main__":
    unittest.main()
