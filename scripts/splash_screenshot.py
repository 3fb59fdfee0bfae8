#!/usr/bin/env python3
"""Takes docs/splash.png: the demo's splash under Wine on a 1024 x 768 virtual
screen. The demo's application is replaced by one that leaves the splash up
for a while, so the picture can be taken; ImageMagick's `import` takes it.

Needs the Windows build (build/win32/bin) and a Wine prefix (see tests/e2e)."""

import shutil
import subprocess
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402

SHOT = harness.REPO / "docs" / "splash.png"
HOLD_MS = 20000


def main():
    scenario = harness.Scenario("screenshot")
    launcher = scenario.install("prelaunch.exe", "DEMO.EXE")
    scenario.mkdir("DEMO")
    for item in (harness.REPO / "examples" / "DEMO").iterdir():
        shutil.copyfile(item, scenario.path(f"DEMO\\{item.name}"))
    scenario.install("splashwatch.exe", "DEMO\\DEMOAPP.EXE")
    # Leaves the splash up for HOLD_MS, then ends; the splash goes with the launcher.
    scenario.write("DEMO\\DEMOAPP.splash.cfg", f"watch_ms={HOLD_MS}\n")
    record = scenario.path("DEMO\\DEMOAPP.splash.txt")
    env = harness.session().env

    def shoot():
        deadline = time.monotonic() + 600
        while not record.exists() and time.monotonic() < deadline:
            time.sleep(0.5)
        time.sleep(2)
        SHOT.parent.mkdir(exist_ok=True)
        subprocess.run(["import", "-display", env["DISPLAY"], "-window", "root",
                        "-crop", "650x420+187+174", "+repage", str(SHOT)], check=True)
        harness.log(f"took {SHOT}")

    shooter = threading.Thread(target=shoot)
    shooter.start()
    harness.run_launcher(scenario, launcher, ("/Debug",), timeout=HOLD_MS // 1000 + 600)
    shooter.join()


if __name__ == "__main__":
    main()
