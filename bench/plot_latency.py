#!/usr/bin/env python3
"""Draws the latency benchmark's samples as time above the line's own limit, per exchange.

Usage: plot_latency.py SAMPLES.csv OUT.png [TITLE]
SAMPLES.csv is what `quarn7_latency --samples` writes: exchange, program, limit_ms, latency_ms.
"""
import csv
import sys
from collections import defaultdict

import matplotlib

matplotlib.use("Agg")  # no display: the picture goes to a file
import matplotlib.pyplot as plt

PROGRAMS = {"quarn7": "tab:blue", "pyserial": "tab:orange"}


def main():
    samples_path, out_path = sys.argv[1], sys.argv[2]
    title = sys.argv[3] if len(sys.argv) > 3 else "Latency of one call above the line's limit"
    above = defaultdict(list)
    limits = {}
    with open(samples_path, newline="") as f:
        for row in csv.DictReader(f):
            limit = float(row["limit_ms"])
            limits[row["exchange"]] = limit
            above[(row["exchange"], row["program"])].append(float(row["latency_ms"]) - limit)

    exchanges = list(limits)  # in the benchmark's order, top to bottom
    fig, ax = plt.subplots(figsize=(10, 1.1 * len(exchanges) + 1.6), dpi=110)
    ticks, labels = [], []
    for i, exchange in enumerate(exchanges):
        centre = len(exchanges) - i
        ticks.append(centre)
        labels.append(f"{exchange}\nlimit {limits[exchange]:.2f} ms")
        for offset, (program, colour) in zip((0.17, -0.17), PROGRAMS.items()):
            t = above.get((exchange, program))
            if not t:
                continue
            # Box: quartiles; whiskers: 1st to 99th percentile; dots: beyond.
            ax.boxplot(t, positions=[centre + offset], vert=False, widths=0.28, whis=(1, 99),
                       patch_artist=True, boxprops={"facecolor": colour, "alpha": 0.6},
                       medianprops={"color": "black"},
                       flierprops={"marker": ".", "markersize": 3, "markeredgecolor": colour})
    for program, colour in PROGRAMS.items():
        ax.plot([], [], "s", color=colour, alpha=0.6, label=program)
    ax.axvline(0, color="black", linewidth=1, label="line limit: bytes × 11 / 19200 s + turnaround")
    ax.axvline(0.5, color="tab:red", linewidth=1, linestyle="--",
               label="limit + 0.5 ms (target for the median of an acknowledged exchange)")
    ax.axvline(100, color="grey", linewidth=1, linestyle=":",
               label="limit + 0.1 s: a read without fast reads waits 0.1 s after its request")

    ax.set_xscale("symlog", linthresh=1, linscale=1.5)
    ax.set_xticks([0, 0.25, 0.5, 1, 2, 5, 10, 20, 50, 100, 200])
    ax.get_xaxis().set_major_formatter(matplotlib.ticker.FormatStrFormatter("%g"))
    ax.set_xlim(-0.1, 250)
    ax.set_yticks(ticks, labels, fontsize=8)
    ax.set_xlabel("wall time of the call above the line limit (ms; linear below 1 ms, log above)")
    ax.set_title(title, fontsize=10)
    ax.grid(True, axis="x", linewidth=0.3)
    ax.legend(fontsize=8, loc="upper center", bbox_to_anchor=(0.5, -0.16), ncol=2)
    fig.tight_layout()
    fig.savefig(out_path)


if __name__ == "__main__":
    main()
