#!/usr/bin/env python3
"""The Cloncurry IOCG district in Python: four GeoTIFF evidence maps and the known deposits taken
through the BP network, hierarchy analysis and feature analysis, each map then judged against
the deposits it learnt from and against deposits kept back.

It follows examples/cloncurry-100m/district.toml (the `quarnel run` workflow of the same
district) step by step:

    /usr/bin/python3 examples/python/cloncurry.py OUTDIR

OUTDIR receives bp_classes.tif, hierarchy.tif, feature.tif, maps.png and curves.png; each
method's AUC and success/prediction-rate areas are printed. The whole district (1259 x 2487
cells) takes a few seconds.
"""

import argparse
import os
import pathlib

import matplotlib

matplotlib.use("Agg")  # files only, no display
import geopandas  # noqa: E402
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import quarnel  # noqa: E402

DATA = pathlib.Path(__file__).resolve().parent.parent / "cloncurry-100m"

# Each map holds 1 and 2 (no data 3). Class 2 is favourable, except for the distance to faults,
# where class 1 (within 2 km of a fault) is: its code is inverted.
LAYERS = {  # name: (file, inverted)
    "breccia": ("Dist2Breccia.tif", False),
    "fault_near": ("Dist2Fault.tif", True),
    "fault_density": ("FaultDensity.tif", False),
    "strat": ("StratNo.tif", False),
}
HOLDOUT, SPLIT_SEED = 0.3, 11
BP = dict(hidden=8, max_iterations=300, error_limit=0.01, seed=7)
MIN_DISTANCE = 2000.0  # metres between a background cell and any training deposit


def coded_layers():
    """The evidence maps coded +1 (favourable) / -1, NaN where the map has no data."""
    layers = {}
    for name, (file, inverted) in LAYERS.items():
        raster = quarnel.open_raster(str(DATA / file))
        # +1 at or above 2, -1 at or below 1, as the feature analysis codes a variable.
        codes = quarnel.feature.code([raster.values], lower=[1], upper=[2])[0]
        codes = np.where(raster.values == raster.rio.nodata, np.nan, -codes if inverted else codes)
        layers[name] = raster.copy(data=codes.astype(np.float32)).rio.write_nodata(np.nan, encoded=False)
    return layers


def split_deposits(deposits):
    """A random 30 % of the deposits kept back; the methods learn from the rest."""
    held = np.zeros(len(deposits), dtype=bool)
    held[np.random.default_rng(SPLIT_SEED).permutation(len(deposits))[: round(HOLDOUT * len(deposits))]] = True
    return deposits[~held], deposits[held]


def cells_on_data(points, template, valid):
    """The (row, col) cells of the points that lie on cells where every layer holds data."""
    cells = quarnel.deposits_to_cells(points, template)
    return cells[valid[cells[:, 0], cells[:, 1]]]


def background_cells(valid, deposit_cells, points, template, count, seed):
    """count cells with data on every layer, none a deposit cell and every one at least
    MIN_DISTANCE from every deposit point (cell centres measured)."""
    allowed = valid & ~quarnel.cells_mask(deposit_cells, valid.shape)
    x, y = template.x.values, template.y.values
    for px, py in zip(points.geometry.x, points.geometry.y):
        near_x = np.flatnonzero(np.abs(x - px) < MIN_DISTANCE)
        near_y = np.flatnonzero(np.abs(y - py) < MIN_DISTANCE)
        if near_x.size and near_y.size:
            box = np.ix_(near_y, near_x)
            close = np.hypot(x[near_x][None, :] - px, y[near_y][:, None] - py) < MIN_DISTANCE
            allowed[box] &= ~close
    chosen = np.random.default_rng(seed).choice(np.flatnonzero(allowed), size=count, replace=False)
    return np.column_stack(np.unravel_index(np.sort(chosen), valid.shape))


def bp_map(layers, valid, training):
    """Train the network on deposit cells (target 1) and as many background cells (target 0),
    then classify every cell: class 3 where the network says favourable, 2 where not."""
    stack = list(layers.values())
    template = stack[0]
    deposit_cells = np.unique(cells_on_data(training, template, valid), axis=0)
    background = background_cells(valid, deposit_cells, training, template, len(deposit_cells), BP["seed"])
    cells = np.empty((2 * len(deposit_cells), 2), dtype=np.int64)  # deposit, background, deposit, ...
    cells[0::2], cells[1::2] = deposit_cells, background
    targets = np.tile([1, 0], len(deposit_cells))
    # The network sees its inputs as classify rescales them: every layer spans -1..1, so a code c
    # enters as (c + 1) / 2.
    samples = np.stack([(layer.values[cells[:, 0], cells[:, 1]] + 1) / 2 for layer in stack], axis=1)
    network = quarnel.train(samples, targets, **BP)
    print(f"bp: {len(deposit_cells)} deposit and {len(background)} background cells, "
          f"{network.summary.epochs} epochs, error {network.summary.final_error:.4f}")
    return network.classify(stack)


def percent(names, weights):
    return ", ".join(f"{name} {weight:.2f} %" for name, weight in zip(names, weights))


def hierarchy_map(layers):
    """Weights from the judgement matrices of the importances, then each cell's weighted sum."""
    weights = quarnel.hierarchy.weights(geology=(3, [2, 3]), geophysics=(2, [2, 1]))
    order = ["strat", "breccia", "fault_density", "fault_near"]  # level by level, as the weights
    print(f"hierarchy: weights {percent(order, weights.element_weights)}, consistent {weights.consistent}")
    return quarnel.hierarchy.predict([layers[name] for name in order], weights.element_weights)


def feature_map(layers, valid, training):
    """Feature analysis by vector length, the product matrix taken over the training deposits'
    cells (the model units, sized by their deposits); every cell's score."""
    stack = list(layers.values())
    cells, sizes = np.unique(cells_on_data(training, stack[0], valid), axis=0, return_counts=True)
    units = np.column_stack([cells, sizes])
    analysis = quarnel.feature.analyse(stack, lower=[-0.5] * 4, upper=[0.5] * 4, method=0, units=units)
    print(f"feature: weights {percent(layers, analysis.weights.weights)}")
    return analysis.scores


def report(name, grid, valid, training_cells, held_cells):
    """ROC and success rate against the training deposits, prediction rate against those kept
    back; no-data cells (any layer) take no part."""
    fit = quarnel.evaluate.evaluate(grid, training_cells, mask=valid)
    held = quarnel.evaluate.evaluate(grid, held_cells, mask=valid)
    print(f"{name}: AUC {fit.roc.auc:.4f} ({fit.roc.auc_low:.4f}-{fit.roc.auc_high:.4f}), "
          f"success-rate area {fit.success_rate.area:.4f}, prediction-rate area {held.success_rate.area:.4f}, "
          f"held-out AUC {held.roc.auc:.4f}")
    return fit, held


def saved(path, write):
    """write(temporary path) in the same folder, then renamed into place: never half a file."""
    temporary = path.with_name("." + path.name + ".part")
    write(temporary)
    os.replace(temporary, path)


def draw_maps(maps, training, held_out, path):
    fig, axes = plt.subplots(1, len(maps), figsize=(5 * len(maps), 8), constrained_layout=True)
    for ax, (name, grid) in zip(axes, maps.items()):
        x, y = grid.x.values, grid.y.values
        values = np.where(grid.values == 1, np.nan, grid.values) if name == "bp" else grid.values
        image = ax.imshow(values, extent=(x[0], x[-1], y[-1], y[0]), cmap="viridis", interpolation="nearest")
        ax.scatter(training.geometry.x, training.geometry.y, s=6, c="red", label="training deposits")
        ax.scatter(held_out.geometry.x, held_out.geometry.y, s=6, c="white", edgecolors="black",
                   linewidths=0.3, label="kept back")
        ax.set_title(f"{name} map")
        ax.set_axis_off()
        fig.colorbar(image, ax=ax, shrink=0.5)
    axes[0].legend(loc="lower left", fontsize="small")
    saved(path, lambda p: fig.savefig(p, dpi=100, format="png"))
    plt.close(fig)


def draw_curves(evaluations, path):
    fig, (roc, success, prediction) = plt.subplots(1, 3, figsize=(15, 5), constrained_layout=True)
    for name, (fit, held) in evaluations.items():
        roc.plot(*fit.roc.points.T, label=f"{name} (AUC {fit.roc.auc:.3f})")
        success.plot(*fit.success_rate.points.T, label=f"{name} ({fit.success_rate.area:.3f})")
        prediction.plot(*held.success_rate.points.T, label=f"{name} ({held.success_rate.area:.3f})")
    for ax, title, x, y in [
        (roc, "ROC (training deposits)", "false-positive rate", "true-positive rate"),
        (success, "Success rate (training deposits)", "share of area", "share of deposits"),
        (prediction, "Prediction rate (deposits kept back)", "share of area", "share of deposits"),
    ]:
        ax.plot([0, 1], [0, 1], color="grey", linestyle=":")
        ax.set(title=title, xlabel=x, ylabel=y, xlim=(0, 1), ylim=(0, 1))
        ax.legend(loc="lower right")
    saved(path, lambda p: fig.savefig(p, dpi=100, format="png"))
    plt.close(fig)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("outdir", type=pathlib.Path)
    args = parser.parse_args()
    args.outdir.mkdir(parents=True, exist_ok=True)

    layers = coded_layers()
    template = layers["breccia"]
    valid = np.all([np.isfinite(layer.values) for layer in layers.values()], axis=0)
    deposits = geopandas.read_file(DATA / "IOCG_Deposits.shp").to_crs(template.rio.crs)
    training, held_out = split_deposits(deposits)
    print(f"deposits: {len(training)} for training, {len(held_out)} kept back")

    maps = {
        "bp": bp_map(layers, valid, training),
        "hierarchy": hierarchy_map(layers),
        "feature": feature_map(layers, valid, training),
    }
    training_cells = quarnel.deposits_to_cells(training, template)
    held_cells = quarnel.deposits_to_cells(held_out, template)
    evaluations = {name: report(name, grid, valid, training_cells, held_cells) for name, grid in maps.items()}

    for name, grid in maps.items():
        file = "bp_classes.tif" if name == "bp" else f"{name}.tif"
        saved(args.outdir / file, lambda p, g=grid: g.rio.to_raster(p, driver="GTiff", compress="deflate"))
    draw_maps(maps, training, held_out, args.outdir / "maps.png")
    draw_curves(evaluations, args.outdir / "curves.png")
    print(f"written: {args.outdir}")


if __name__ == "__main__":
    main()
