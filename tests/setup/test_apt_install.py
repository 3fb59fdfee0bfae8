"""Set-up's package install against a stand-in apt-get: a failed update is
reported and the install goes on; only a failed install stops set-up."""

import os
import subprocess
import tempfile
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]

# exit status of `apt-get update`, of `apt-get install`; set-up's status; words it must say
CASES = {
    "a mirror mid-sync": (100, 0, 0, "apt-get update failed (100); going on"),
    "everything fetched": (0, 0, 0, "installing a b"),
    "a package that cannot be installed": (0, 100, 1, "could not install: a b"),
    "both failing": (100, 100, 1, "could not install: a b"),
}


class AptInstall(unittest.TestCase):
    def test_only_a_failed_install_stops_set_up(self):
        for name, (update, install, expected, words) in CASES.items():
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                calls = Path(folder) / "calls"
                fake = Path(folder) / "apt-get"
                fake.write_text(
                    "#!/bin/sh\n"
                    f'echo "$*" >> {calls}\n'
                    f'case "$*" in *update*) echo "E: Failed to fetch list" >&2; exit {update};; esac\n'
                    f"exit {install}\n")
                fake.chmod(0o755)
                done = subprocess.run(
                    ["bash", "-c", f'set -euo pipefail; source {REPO}/scripts/apt-install.sh; '
                                   'apt_install a b; echo "set-up goes on"'],
                    env=dict(os.environ, PATH=f"{folder}:{os.environ['PATH']}"),
                    capture_output=True, text=True, timeout=30)
                said = done.stdout + done.stderr
                self.assertEqual(done.returncode, expected, said)
                self.assertIn(words, said)
                self.assertEqual("set-up goes on" in done.stdout, expected == 0, said)
                self.assertIn("install -y -qq --no-install-recommends a b", calls.read_text())
                if update:
                    self.assertIn("E: Failed to fetch list", said)


if __name__ == "__main__":
    unittest.main()
