"""One whole process timed and measured, for the speed benchmarks beside this
file (imported with bench/ on the path)."""
import subprocess
import sys
import tempfile
import time


def run(args):
    """Wall-clock seconds and peak resident kB of one whole process."""
    with tempfile.NamedTemporaryFile("r") as report:
        t0 = time.perf_counter()
        status = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", report.name] + args,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        seconds = time.perf_counter() - t0
        if status != 0:
            sys.exit("failed: " + " ".join(args))
        return seconds, int(report.read().split()[-1])
