"""Dask against `sonavel-analyze pitch`: the module's functions mapped by name
on a LocalCluster of two worker processes, and the Dask example over a dozen
voices and one file that is no sound."""
import os
import subprocess
import sys

import sonavel
from conftest import SOURCE, analyze, csv_of, error_lines, make_voice, site_sounds
from dask.distributed import Client, LocalCluster

EXAMPLE = os.path.join(SOURCE, "python", "examples", "dask_pitch.py")


def test_a_local_cluster_writes_what_the_command_line_writes(tmp_path):
    corpus = tmp_path / "corpus"
    corpus.mkdir()
    for i, rate in enumerate([8000, 11025, 16000, 22050, 44100, 48000] * 2):
        make_voice(str(corpus / ("take%02d.wav" % i)), rate, 1.5 + i / 4, "0:%d,2:%d" % (90 + 10 * i, 200 - 5 * i),
                   seed=i + 1)
    (corpus / "notes.txt").write_text("not a sound\n")
    (corpus / ".hidden.wav").write_text("skipped, as a shell's * skips it\n")
    inputs = sorted(str(corpus / name) for name in os.listdir(corpus) if not name.startswith("."))
    assert len(inputs) == 13

    status, _, cli_err = analyze("pitch", "-j", "2", "-o", str(tmp_path / "cli"), *inputs)
    assert status == 1
    ours = subprocess.run([sys.executable, EXAMPLE, str(corpus), str(tmp_path / "dask"), "--workers", "2"],
                          capture_output=True, text=True, timeout=600)
    assert ours.returncode == 1, ours.stderr

    written = sorted(os.listdir(tmp_path / "dask"))
    assert written == sorted(os.listdir(tmp_path / "cli")) and len(written) == 12
    for name in written:
        assert (tmp_path / "dask" / name).read_bytes() == (tmp_path / "cli" / name).read_bytes(), name
    failures = [line.split(": ", 1)[1] for line in ours.stderr.splitlines() if "notes.txt" in line]
    assert failures == error_lines(cli_err)
    assert "dask_pitch: 13 of 13 files" in ours.stderr


def test_client_map_sends_the_function_by_name():
    files = site_sounds()
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            Client(cluster) as client:
        tracks = client.gather(client.map(sonavel.pitch, files))
    for path, track in zip(files, tracks):
        assert csv_of(track) == analyze("pitch", path)[1], path
