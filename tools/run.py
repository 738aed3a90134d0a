"""The run command's machine (tools/run.sh builds the product and the disc
first): the bench's machine of that kind, started from the installation
disc, and the bench's report of what changed.

    python3 tools/run.py KIND [IMAGE]

With a display ($DISPLAY set, not in CI) the dialog opens on it for you to
click through; without one, the bench's Install (IDE) and Uninstall run by
script under an Xvfb display of their own, with a PNG of every screen.
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "bench"))
import harness  # noqa: E402
from harness import Scenario, Step  # noqa: E402
from scenarios import run_command  # noqa: E402


def by_hand(machine):
    """Setup.exe of the disc on the user's display, until it ends; a
    restart it asks for runs a moment after."""
    machine.wine(24 * 3600, ["start", "/wait", "/d", "E:\\", "E:\\Setup.exe"])
    time.sleep(2)


def main(kind, image=None):
    interactive = os.environ.get("DISPLAY") and not os.environ.get("CI")
    xvfb = None
    try:
        os.makedirs(os.path.join(harness.OUT, "logs"), exist_ok=True)
        if image:
            harness.extract(image, harness.DISC_FILES)
        else:
            harness.make_disc()
            image = harness.DISC
        print("medium: %s" % image)
        harness.DRIVER = harness.driver_exe()
        xvfb, display = (None, os.environ["DISPLAY"]) if interactive else harness.start_xvfb()
        os.environ["DISPLAY"] = display
        harness.make_template()
        scenario = run_command(kind, image)
        restart = ()
        if interactive:
            scenario = Scenario(scenario.name, scenario.machine, [Step("your run", [by_hand])])
            print("The Setup dialog opens on your display; close it (or let it restart Windows) to see what changed.")
        else:
            # Each scripted step ends with a restart request: give it its time.
            restart = [True] * len(scenario.steps)
        machine = harness.Machine(scenario.name, display, os.path.join(harness.DISC_FILES, "Setup.exe"))
        try:
            harness.run_steps(machine, scenario, restart, show=lambda text: print("\n" + harness.as_variables(text),
                                                                               end="", flush=True))
        finally:
            machine.end()
        if machine.shots:
            print("\nScreens: %s" % " ".join(os.path.join(harness.SHOTS, s) for s in machine.shots))
        print("The emulated machine stays in %s" % machine.prefix)
    except (harness.Failure, harness.WineTrouble, OSError, subprocess.CalledProcessError) as e:
        print("run: %s" % e)
        return 1
    finally:
        if xvfb:
            harness.stop_xvfb(xvfb)
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
