# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
import os
import pickle

import numpy as np
import pytest

import rgbstream
from conftest import pattern, stream_bytes

# Three recordings of 16 x 12 frames, 20 ms apart through the wrap of the
# cycle, one after the other.
STAMPS = [[9_999_960, 9_999_980, 0, 20, 40], [60, 80], [100, 120, 140, 160]]
TIMES_MS = list(range(0, 220, 20))


@pytest.fixture
def stream_dir(tmp_path):
    directory = tmp_path / "streams"
    directory.mkdir()
    for n, stamps in enumerate(STAMPS):
        frames = pattern(len(stamps), 12, 16, seed=20 + n)
        (directory / f"s{n}.rgb").write_bytes(stream_bytes(frames, stamps))
    return directory


def _all_frames(paths):
    return np.concatenate([rgbstream.read(path)[0] for path in paths])


def test_to_dask_reads_lazily_by_frame_ranges(stream_dir):
    paths = sorted(stream_dir.glob("*.rgb"))
    array = rgbstream.to_dask(paths, frames_per_chunk=2)
    assert array.shape == (11, 12, 16, 3) and array.dtype == np.uint8
    # Chunks never span files.
    assert array.chunks[0] == (2, 2, 1, 2, 2, 2)
    assert rgbstream.to_dask(str(stream_dir / "s*.rgb"), frames_per_chunk=2).chunks == array.chunks

    # Building read no pixels: a frame changed afterwards is seen by compute.
    changed = np.full((12, 16, 3), 200, np.uint8)
    data = bytearray(paths[2].read_bytes())
    data[3 * 1088:4 * 1088] = stream_bytes([changed], [160])
    paths[2].write_bytes(bytes(data))

    expected = _all_frames(paths)
    np.testing.assert_array_equal(expected[7 + 3], changed)
    np.testing.assert_array_equal(array.compute(scheduler="sync"), expected)
    # Tasks name files and frames, never open handles.
    pickle.dumps(dict(array.__dask_graph__()))

    other = stream_dir / "other.rgb"
    other.write_bytes(stream_bytes(pattern(1, 12, 15), [0]))
    with pytest.raises(ValueError, match="15 x 12"):
        rgbstream.to_dask(paths + [other])
    with pytest.raises(FileNotFoundError, match="no file matches"):
        rgbstream.to_dask(str(stream_dir / "none*.rgb"))


def test_open_dataarray_puts_the_recordings_on_one_timeline(stream_dir):
    rec = rgbstream.open_dataarray(str(stream_dir / "*.rgb"), frames_per_chunk=3, alpha=True)
    assert rec.dims == ("time", "y", "x", "channel") and rec.shape == (11, 12, 16, 4)
    assert rec.chunks[0] == (3, 2, 2, 3, 1)  # still lazy, by whole frames
    assert (rec.time.values == np.array(TIMES_MS, "timedelta64[ms]")).all()
    assert rec.stamp.values.tolist() == sum(STAMPS, [])
    assert rec.channel.values.tolist() == ["R", "G", "B", "A"]
    # 40 .. 100 ms, both ends included as in pandas.
    green = rec.sel(time=slice(np.timedelta64(40, "ms"), np.timedelta64(100, "ms")), channel="G")
    expected = _all_frames(sorted(stream_dir.glob("*.rgb")))
    np.testing.assert_array_equal(green.compute(scheduler="sync").values, expected[2:6, ..., 1])


@pytest.fixture(scope="module")
def cluster():
    from dask.distributed import Client, LocalCluster

    # No fallback: a cluster that cannot start fails the tests.
    with LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                      dashboard_address=None) as workers, Client(workers) as client:
        client.wait_for_workers(2, timeout=120)
        yield client


# distributed 2022.12 with Debian's tornado warns about its own event loop.
@pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")
def test_per_frame_means_on_a_local_cluster_of_processes(stream_dir, cluster):
    workers = cluster.run(os.getpid)
    assert len(workers) == 2 and os.getpid() not in workers.values()
    paths = sorted(stream_dir.glob("*.rgb"))
    expected = _all_frames(paths).mean(axis=(1, 2, 3))
    brightness = rgbstream.to_dask(paths, frames_per_chunk=3).mean(axis=(1, 2, 3))
    np.testing.assert_allclose(cluster.compute(brightness).result(timeout=120), expected)
    rec = rgbstream.open_dataarray(paths, frames_per_chunk=2)
    means = rec.mean(("y", "x", "channel")).compute()  # the client's scheduler
    np.testing.assert_allclose(means.values, expected)
    assert (means.time.values == np.array(TIMES_MS, "timedelta64[ms]")).all()
