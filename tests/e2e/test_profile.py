"""Integer keys under Wine: the platform's profile reader gives the values
that the host simulation gives for the same table (tests/contract/profile_numbers.ini)."""

import subprocess
import unittest

import harness

TABLE = harness.REPO / "tests" / "contract" / "profile_numbers.ini"
DEFAULT = "77"


def section(text, wanted):
    entries, current = [], None
    for line in text.splitlines():
        if not line or line.startswith(";"):
            continue
        if line.startswith("["):
            current = line[1:line.index("]")]
        elif current == wanted and "=" in line:
            key, _, value = line.partition("=")
            entries.append((key, value))
    return entries


class IntegerKeys(unittest.TestCase):
    def test_wine_reads_the_table_as_the_simulation_does(self):
        text = TABLE.read_text(encoding="ascii")
        expected = section(text, "Expected")
        scenario = harness.Scenario("profile.IntegerKeys")
        ini = scenario.write("NUMBERS.INI", text)
        tool = scenario.install("profileint.exe", "profileint.exe")
        done = subprocess.run([harness.WINE, harness.to_windows(tool), harness.to_windows(ini), "Values", DEFAULT,
                               *[key for key, _ in expected]],
                              env=harness.session().env, timeout=harness.RUN_TIMEOUT,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertEqual(done.returncode, 0)
        got = dict(line.split("=", 1) for line in
                   scenario.path("profileint.ints.txt").read_text(encoding="ascii").splitlines())
        for key, value in expected:
            with self.subTest(key=key):
                self.assertEqual(got.get(key), value)


if __name__ == "__main__":
    unittest.main()
