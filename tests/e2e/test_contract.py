"""The platform's side of the contract: Wine gives the results that
tests/contract/scenarios.txt expects, the same the host simulation must give
(tests/sim/contract_test.cpp)."""

import subprocess
import unittest

import harness

TABLE = harness.REPO / "tests" / "contract" / "scenarios.txt"


def expected_results(text):
    """(scratch folder, [(scenario, call, expected result)]) of the table, in order."""
    scratch, rows, scenario, call = None, [], None, None
    for line in text.splitlines():
        if not line or line.startswith("#"):
            continue
        word, _, rest = line.partition(" ")
        if word == "scratch":
            scratch = rest
        elif word == "scenario":
            scenario = rest
        elif word == "=":
            rows.append((scenario, call, rest))
        else:
            call = line
    return scratch, rows


class Contract(unittest.TestCase):
    def test_wine_gives_the_results_the_table_expects(self):
        scratch, expected = expected_results(TABLE.read_text(encoding="ascii"))
        scenario = harness.Scenario("contract")
        work = harness.to_unix(scratch)
        self.assertTrue(str(work).startswith(str(scenario.root)), scratch)
        work.mkdir(parents=True)
        scenario.install("probe.exe", str(work.relative_to(scenario.root) / "child.exe"))
        tool = scenario.install("contract.exe", "contract.exe")
        table = scenario.write("scenarios.txt", TABLE.read_text(encoding="ascii"))
        results = scenario.path("results.txt")
        done = subprocess.run([harness.WINE, harness.to_windows(tool), harness.to_windows(table),
                               harness.to_windows(results)],
                              env=harness.session().env, timeout=harness.RUN_TIMEOUT,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertTrue(results.exists(), f"contract.exe ended with {done.returncode} and wrote nothing")
        got = [tuple(line.split("\t")) for line in results.read_text(encoding="ascii").splitlines()]
        self.assertEqual(done.returncode, 0, [row for row in got if row[2].startswith("error")])
        self.assertEqual([row[:2] for row in got], [row[:2] for row in expected])
        for (name, call, result), (_, _, wanted) in zip(got, expected):
            with self.subTest(scenario=name, call=call):
                self.assertEqual(result, wanted)


if __name__ == "__main__":
    unittest.main()
