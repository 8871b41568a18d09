# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
import os
import pickle

import numpy as np
import pytest

import rgbstream
from conftest import pattern, stream_bytes


@pytest.fixture
def stream_dir(tmp_path):
    """Three streams of 16 x 12 frames: 5, 2 and 4 frames."""
    directory = tmp_path / "streams"
    directory.mkdir()
    for n, count in enumerate((5, 2, 4)):
        frames = pattern(count, 12, 16, seed=20 + n)
        (directory / f"s{n}.rgb").write_bytes(stream_bytes(frames, range(count)))
    return directory


def test_to_dask_reads_lazily_by_frame_ranges(stream_dir):
    paths = sorted(stream_dir.glob("*.rgb"))
    array = rgbstream.to_dask(paths, frames_per_chunk=2)
    assert array.shape == (11, 12, 16, 3) and array.dtype == np.uint8
    # Chunks never span files.
    assert array.chunks[0] == (2, 2, 1, 2, 2, 2)

    # Building read no pixels: a frame changed afterwards is seen by compute.
    changed = np.full((12, 16, 3), 200, np.uint8)
    data = bytearray(paths[2].read_bytes())
    data[3 * 1088:4 * 1088] = stream_bytes([changed], [3])
    paths[2].write_bytes(bytes(data))

    expected = np.concatenate([rgbstream.read(path)[0] for path in paths])
    np.testing.assert_array_equal(expected[7 + 3], changed)
    np.testing.assert_array_equal(array.compute(scheduler="sync"), expected)
    # Tasks name files and frames, never open handles.
    pickle.dumps(dict(array.__dask_graph__()))

    other = stream_dir / "other.rgb"
    other.write_bytes(stream_bytes(pattern(1, 12, 15), [0]))
    with pytest.raises(ValueError, match="15 x 12"):
        rgbstream.to_dask(paths + [other])


# distributed 2022.12 with Debian's tornado warns about its own event loop.
@pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")
def test_mean_brightness_on_a_local_cluster_of_processes(stream_dir):
    from dask.distributed import Client, LocalCluster

    paths = sorted(stream_dir.glob("*.rgb"))
    expected = np.concatenate([rgbstream.read(path)[0] for path in paths]).mean(axis=(1, 2, 3))
    # No fallback: a cluster that cannot start fails the test.
    with LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        client.wait_for_workers(2, timeout=120)
        workers = client.run(os.getpid)
        assert len(workers) == 2 and os.getpid() not in workers.values()
        brightness = rgbstream.to_dask(paths, frames_per_chunk=3).mean(axis=(1, 2, 3))
        np.testing.assert_allclose(client.compute(brightness).result(timeout=120), expected)
