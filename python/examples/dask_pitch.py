#!/usr/bin/python3
"""Tracks the pitch of every sound file of a folder on a Dask cluster and
writes what `sonavel-analyze pitch -o OUT FOLDER/*` writes: one CSV per input,
OUT/NAME.csv (take7.wav -> take7.csv), `time_s,pitch_hz,confidence` from the
research tracker, a row every 10 ms, 0 Hz where a frame is unvoiced. Each CSV
is written under a temporary name and renamed, so an interrupted run leaves no
half file.

    python3 dask_pitch.py FOLDER OUT                      # a LocalCluster here
    python3 dask_pitch.py FOLDER OUT --workers 8
    python3 dask_pitch.py FOLDER OUT --scheduler tcp://HOST:8786

With --scheduler the files are tracked by the workers of that cluster (started
with `dask scheduler` and `dask worker tcp://HOST:8786`): each worker machine
needs python3-sonavel and FOLDER at the same path; the CSVs are written on
this machine. A file that cannot be read gets one line on standard error and
the others are still written; the exit status is then 1.
"""
import argparse
import os
import sys
import tempfile
import time

import sonavel
from dask.distributed import Client, LocalCluster, as_completed

PROGRAM = "dask_pitch"


def track(path):
    """On a worker: the pitch track of one file (each worker tracks on one core),
    or the line saying why there is none, which is no failure of the worker's."""
    try:
        return sonavel.pitch(path, threads=1)
    except (sonavel.SoundError, MemoryError) as error:
        return str(error)


def write_csv(path, frames, mode):
    """The CSV under a new name in the same folder, renamed into place when whole."""
    folder, name = os.path.split(path)
    fd, temp = tempfile.mkstemp(prefix="." + name + ".", dir=folder or ".")
    try:
        with os.fdopen(fd, "w", newline="\n") as out:
            out.write("time_s,pitch_hz,confidence\n")
            out.writelines("%.6f,%.3f,%.3f\n" % row for row in zip(*(column.tolist() for column in frames)))
        os.chmod(temp, mode)
        os.replace(temp, path)
    except BaseException:
        os.unlink(temp)
        raise


def plan(folder, out):
    """(input, output) for every file of the folder, in name order; None as the
    output of a file whose CSV name another input has already taken."""
    taken = set()
    jobs = []
    for entry in sorted(os.scandir(folder), key=lambda e: e.name):
        if entry.name.startswith(".") or not entry.is_file():
            continue
        name = os.path.splitext(entry.name)[0] + ".csv"
        jobs.append((entry.path, None if name in taken else os.path.join(out, name)))
        taken.add(name)
    return jobs


class Progress:
    """Files done of all and the time so far: redrawn on a terminal, once at the end otherwise."""

    def __init__(self, total):
        self.total, self.start, self.tty = total, time.monotonic(), sys.stderr.isatty()

    def done(self, count):
        if self.tty or count == self.total:
            end = "\n" if count == self.total else ""
            sys.stderr.write("\r%s: %d of %d files, %.1f s%s" %
                             (PROGRAM, count, self.total, time.monotonic() - self.start, end))
            sys.stderr.flush()


def run(client, jobs):
    umask = os.umask(0)
    os.umask(umask)
    failed = 0
    progress = Progress(len(jobs))
    futures = {}
    for source, output in jobs:
        if output is None:
            print("%s: %s: another input already writes %s" %
                  (PROGRAM, source, os.path.splitext(os.path.basename(source))[0] + ".csv"), file=sys.stderr)
            failed += 1
        else:
            futures[client.submit(track, source, pure=False)] = (source, output)
    done = failed
    for future in as_completed(futures):
        source, output = futures[future]
        try:
            result = future.result()
        except Exception as error:  # the worker died or the cluster went away
            result = "%s: the analysis ended abnormally (%s)" % (source, error)
        if isinstance(result, str):
            print("%s: %s" % (PROGRAM, result), file=sys.stderr)
            failed += 1
        else:
            try:
                write_csv(output, result, 0o666 & ~umask)
            except OSError as error:
                print("%s: cannot write %s: %s" % (PROGRAM, output, error.strerror), file=sys.stderr)
                failed += 1
        done += 1
        progress.done(done)
    return 1 if failed else 0


def main(argv=None):
    parser = argparse.ArgumentParser(prog=PROGRAM, description="Pitch tracks of a folder on a Dask cluster.")
    parser.add_argument("folder", help="the sound files, on a path every worker can read")
    parser.add_argument("out", help="the folder the CSVs go to (made if missing)")
    parser.add_argument("--scheduler", help="a running cluster's scheduler, tcp://HOST:8786")
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 1,
                        help="worker processes of the local cluster (default: one per core)")
    args = parser.parse_args(argv)
    if args.workers < 1:
        parser.error("--workers must be 1 or more")
    try:
        os.makedirs(args.out, exist_ok=True)
        jobs = plan(args.folder, args.out)
    except OSError as error:
        print("%s: %s: %s" % (PROGRAM, error.filename, error.strerror), file=sys.stderr)
        return 1
    if args.scheduler:
        with Client(args.scheduler) as client:
            return run(client, jobs)
    with LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        return run(client, jobs)


if __name__ == "__main__":
    sys.exit(main())
