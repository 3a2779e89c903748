import os
import pickle
import signal
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import numpy as np
import pytest
import quarnel
from conftest import DATA, EVIDENCE, read_dsaa

GRIDS = [DATA / f"{name}.grd" for name in EVIDENCE]


@pytest.fixture(scope="module")
def samples(evidence_dsaa):
    """Deposit-like and background cells of the evidence stack, rescaled to 0..1."""
    cells = evidence_dsaa.reshape(4, -1).T
    rng = np.random.default_rng(7)
    pick = rng.choice(len(cells), 40, replace=False)
    inputs = (cells[pick] - 1.0).clip(0, 1)
    targets = (inputs.sum(axis=1) >= 3).astype(np.int32)
    return inputs, targets


def write_samples(path, inputs, targets):
    lines = ["BP Training Sample File !!!"]
    lines += [" ".join([repr(float(v)) for v in x] + [str(t)]) for x, t in zip(inputs, targets)]
    path.write_text("\n".join(lines) + "\n")


def test_training_and_network_file_match_the_job(samples, tmp_path):
    inputs, targets = samples
    write_samples(tmp_path / "samples.txt", inputs, targets)
    job = quarnel.jobs.bp_train(
        tmp_path / "samples.txt", tmp_path / "job.txt", tmp_path / "result.txt", len(inputs), 4, 4, 1, 300, 0.0,
        seed=1,
    )
    assert (job.status, job.ok) == (1, True), job.cause
    network = quarnel.train(inputs, targets, hidden=4, max_iterations=300, error_limit=0.0, seed=1)
    assert network.summary.epochs == job.results["epochs"] == 300
    assert network.summary.final_error == job.results["final_error"]
    assert network.summary.training_accuracy == job.results["training_accuracy"]
    network.save(tmp_path / "python.txt")
    assert (tmp_path / "python.txt").read_bytes() == (tmp_path / "job.txt").read_bytes()
    loaded = quarnel.Network.load(tmp_path / "job.txt")
    loaded.save(tmp_path / "again.txt")
    assert (tmp_path / "again.txt").read_bytes() == (tmp_path / "job.txt").read_bytes()
    assert "Network(inputs=4, hidden=4, outputs=1" in repr(network)


def test_classification_matches_the_job(samples, evidence_dsaa, tmp_path):
    inputs, targets = samples
    quarnel.train(inputs, targets, hidden=4, max_iterations=200, seed=3).save(tmp_path / "net.txt")
    job = quarnel.jobs.bp_classify(tmp_path / "net.txt", tmp_path / "classes.grd", GRIDS, [1] * 4)
    assert job.status == 1, job.cause
    network = quarnel.Network.load(tmp_path / "net.txt")
    classes = network.classify(evidence_dsaa, nodata=99999)
    expected, _ = read_dsaa(tmp_path / "classes.grd")
    assert np.array_equal(classes, expected)
    assert quarnel.count_classes(classes) == job.results["class_counts"]
    assert len(job.results["class_counts"]) > 1  # the network tells cells apart
    assert np.array_equal(network.classify(list(evidence_dsaa), nodata=99999), classes)
    clone = pickle.loads(pickle.dumps(network))
    assert np.array_equal(clone.weight_input_hidden, network.weight_input_hidden)


def test_nan_and_explicit_nodata_classify_alike(samples, evidence_dsaa):
    network = quarnel.train(*samples, hidden=3, max_iterations=50, seed=2)
    stack = evidence_dsaa[:, :40, :30].copy()
    stack[0, 0, 0] = stack[2, 5, 5] = 99999
    with_nan = np.where(stack == 99999, np.nan, stack)
    classes = network.classify(stack, nodata=99999)
    assert np.array_equal(network.classify(with_nan), classes)
    assert classes[0, 0] == 1 and (classes[1:, 1:] >= 2).all()


def test_running_range_spans_the_bands_so_far():
    # The class is 3 exactly when the rescaled band 1 is above 0.5. Band 1 alone spans 0..1, but
    # it is scaled by the range of bands 0 and 1 together: 0..10 makes its 1.0 a 0.1.
    network = quarnel.Network.from_arrays([-50.0], [-0.5], [[0.0], [100.0]], [[1.0]])
    assert network.classify(np.array([[[0.0, 10.0]], [[0.0, 1.0]]])).tolist() == [[2, 2]]
    assert network.classify(np.array([[[0.0, 1.0]], [[0.0, 1.0]]])).tolist() == [[2, 3]]
    assert network.classify(np.array([[[0.0, 1.0]], [[0.0, 1.0]]]), start_range=(0.0, 2.5)).tolist() == [[2, 2]]


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda n: n.classify(np.zeros((3, 2, 2))), "takes 4"),
        (lambda n: quarnel.Network.load("/nonexistent/net.txt"), "cannot be opened"),
        (lambda n: quarnel.train(np.zeros((2, 2)), [0, 1, 1]), "target rows"),
        (lambda n: quarnel.train(np.zeros((2, 2)), [0.5, 1]), "integers"),
    ],
)
def test_bad_input_is_a_value_error(samples, call, message):
    network = quarnel.train(*samples, hidden=2, max_iterations=1, seed=1)
    with pytest.raises(ValueError, match=message):
        call(network)


def test_progress_hears_every_epoch_and_stops_the_training(samples, tmp_path):
    steps = []
    network = quarnel.train(*samples, hidden=3, max_iterations=4, error_limit=0.0, seed=1,
                            progress=lambda *step: steps.append(step))
    assert [step[:2] for step in steps] == [(1, 4), (2, 4), (3, 4), (4, 4)]
    assert steps[-1][2] == network.train_error
    epochs = []
    with pytest.raises(quarnel.Stopped):
        quarnel.train(*samples, max_iterations=100, seed=1, progress=lambda done, *_: epochs.append(done) or done < 3)
    assert epochs == [1, 2, 3]
    with pytest.raises(ZeroDivisionError):
        quarnel.train(*samples, max_iterations=100, seed=1, progress=lambda *_: 1 / 0)
    write_samples(tmp_path / "samples.txt", *samples)
    with pytest.raises(quarnel.Stopped):
        quarnel.jobs.bp_train(tmp_path / "samples.txt", tmp_path / "net.txt", tmp_path / "result.txt",
                              len(samples[0]), 4, 4, progress=lambda *_: False)
    assert sorted(p.name for p in tmp_path.iterdir()) == ["samples.txt"]


CTRL_C_TRAINING = """
import sys
import numpy as np
import quarnel
inputs = np.random.default_rng(1).random((3000, 8))
targets = (inputs.sum(axis=1) > 4).astype(np.int32)
print("training", flush=True)
try:
    quarnel.train(inputs, targets, hidden=16, max_iterations=10**8, error_limit=0.0, seed=1)
except KeyboardInterrupt:
    sys.exit(3)
"""


def test_ctrl_c_stops_training_with_keyboard_interrupt():
    child = subprocess.Popen([sys.executable, "-c", CTRL_C_TRAINING], stdout=subprocess.PIPE, env=os.environ)
    try:
        assert child.stdout.readline() == b"training\n"
        time.sleep(0.5)
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        assert child.wait(timeout=10) == 3
        assert time.monotonic() - sent < 1.5
    finally:
        child.kill()
        child.wait()


def test_a_seed_gives_one_network_in_any_thread(tmp_path):
    """24 trainings on 8 threads, the job and train mixed, seeds 1 and 2 alternating: each
    network is the one its seed gives alone."""
    inputs = np.random.default_rng(5).random((50, 40))  # thousands of draws per network
    targets = (inputs.sum(axis=1) > 20).astype(np.int32)
    write_samples(tmp_path / "samples.txt", inputs, targets)

    start = threading.Barrier(8)

    def network(run, seed, together=True):
        path = tmp_path / f"net{run}.txt"
        if together:
            start.wait()  # eight drawings at once
        if run % 3 == 0:
            quarnel.train(inputs, targets, hidden=2000, max_iterations=1, error_limit=0.0, seed=seed).save(path)
        else:
            job = quarnel.jobs.bp_train(tmp_path / "samples.txt", path, tmp_path / f"result{run}.txt", 50, 40, 2000,
                                        1, 1, 0.0, seed=seed)
            assert job.ok, job.cause
        return path.read_bytes()

    alone = {seed: network(100 + seed, seed, together=False) for seed in (1, 2)}
    with ThreadPoolExecutor(8) as pool:
        for _ in range(5):  # without the lock, a round shows a race about half the time
            together = list(pool.map(lambda run: network(run, 1 + run % 2), range(24)))
            assert [run for run, net in enumerate(together) if net != alone[1 + run % 2]] == []


def test_training_on_maps_is_the_workflows_bp(tmp_path):
    """quarnel.bp.train_on_maps draws the samples and trains the network a workflow's [bp] does on
    the same maps (its network file, byte for byte), and favourability is its favourability map;
    shuffle and balance, declared once, change the training and nothing else."""
    from osgeo import gdal

    maps = Path(__file__).resolve().parents[2] / "examples" / "cloncurry-100m"
    names = ("Dist2Breccia", "FaultDensity", "StratNo")
    paths = [str(tmp_path / f"{n}.tif") for n in names]
    for name, path in zip(names, paths):
        gdal.Translate(path, str(maps / f"{name}.tif"), srcWin=[300, 600, 200, 300])
    deposits = str(maps / "IOCG_Deposits.shp")
    layers = "".join(f'[[layers]]\nname = "{n}"\nraster = "{p}"\n\n' for n, p in zip(names, paths))
    workflow = tmp_path / "bp.toml"
    workflow.write_text(f'output = "{tmp_path / "run"}"\n\n[deposits]\npath = "{deposits}"\n\n{layers}'
                        "[bp]\nbackground = 150\nmax_iterations = 40\nseed = 3\n")
    quarnel.run(workflow)
    import geopandas

    points = geopandas.read_file(deposits)
    network = quarnel.bp.train_on_maps(paths, points, background=150, max_iterations=40, seed=3)
    assert network.samples.background == 150 and network.samples.deposit_cells == (network.samples.targets == 1).sum()
    network.save(tmp_path / "ours.txt")
    assert (tmp_path / "ours.txt").read_text() == (tmp_path / "run" / "bp" / "network.txt").read_text()
    stack = [quarnel.open_raster(p) for p in paths]
    favourability = network.favourability(stack)
    made = gdal.Open(str(tmp_path / "run" / "bp" / "favourability.tif")).ReadAsArray()
    # The workflow maps with the network as its file holds it (weights to 5 decimals).
    saved = quarnel.Network.load(tmp_path / "ours.txt").favourability(stack)
    np.testing.assert_array_equal(made, saved.values.astype(np.float32))
    np.testing.assert_allclose(favourability.values, saved.values, atol=1e-5)
    assert ((favourability.values > 0.5) == (network.classify(stack).values == 3)).all()
    plain = quarnel.bp.train_on_maps(paths, points, background=150, max_iterations=40, seed=3, shuffle=False,
                                     balance=False)
    assert plain.summary.final_error != network.summary.final_error
    # The workflow file takes the two keys and trains the same plain network.
    workflow.write_text(workflow.read_text().replace(str(tmp_path / "run"), str(tmp_path / "plain"))
                        + "shuffle = false\nbalance = false\n")
    quarnel.run(workflow)
    plain.save(tmp_path / "plain.txt")
    assert (tmp_path / "plain.txt").read_text() == (tmp_path / "plain" / "bp" / "network.txt").read_text()
    with pytest.raises(ValueError, match="shuffle"):
        quarnel.bp.train_on_maps(paths, points, shuffle=1)
