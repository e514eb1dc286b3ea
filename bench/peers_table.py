#!/usr/bin/env python3
"""One same-run table of Talvin beside irssi and WeeChat on the shared client benchmark.

    python3 bench/peers_table.py [--reps N] [--clients talvin,irssi,weechat-headless]

Runs ../shared/bench/run_peers.py (or $TALVIN_PEERS_BENCH) with bench/talvin_adapter.py for
the flood, names and list scenarios, then the names scenario again at 2,500, 5,000 and 10,000
members, and prints the table in Markdown (also written to peers-table.md in the current
folder, beside run_peers.py's own results-*.json). Build the program first
(cmake --build build --target talvin) and keep the machine otherwise idle.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
# ../shared/bench from the project root; from a worktree further up, the nearest one.
PEERS = Path(os.environ.get("TALVIN_PEERS_BENCH") or next(
    (p / "shared" / "bench" for p in ROOT.parents if (p / "shared" / "bench").is_dir()),
    ROOT.parent / "shared" / "bench"))
SCALING = [2500, 5000, 10000, 20000]


def run(tag, clients, scenarios, reps, extra=()):
    out = Path.cwd() / f"results-{tag}.json"
    cmd = [sys.executable, str(PEERS / "run_peers.py"), "--adapters",
           str(ROOT / "bench" / "talvin_adapter.py"), "--clients", ",".join(clients),
           "--scenarios", scenarios, "--reps", str(reps), "--json", str(out),
           "--out", str(Path.cwd() / f"results-{tag}.md"), *extra]
    print("+", " ".join(cmd), file=sys.stderr, flush=True)
    subprocess.run(cmd, check=False)
    return json.loads(out.read_text())["runs"] if out.exists() else []


def median(runs, client, scenario, key, count=None):
    values = [r[key] for r in runs if r.get("ok") and r["client"] == client and
              r["scenario"] == scenario and (count is None or r["count"] == count) and
              r.get(key) is not None]
    return statistics.median(values) if values else None


def fmt(value, digits=0, scale=1.0):
    return "-" if value is None else f"{value * scale:,.{digits}f}"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--reps", type=int, default=3)
    ap.add_argument("--clients", default="talvin,irssi,weechat-headless")
    args = ap.parse_args()
    clients = args.clients.split(",")

    runs = run("main", clients, "flood,names,list", args.reps)
    for count in SCALING[:-1]:
        runs += run(f"names-{count}", clients, "names", args.reps, ["--names", str(count)])

    lines = ["| client | flood lines/s | flood peak RSS MiB | names 20k s | names peak RSS MiB "
             "| list 50k s | list peak RSS MiB |", "|---|---|---|---|---|---|---|"]
    for c in clients:
        lines.append(
            f"| {c} | {fmt(median(runs, c, 'flood', 'lines_per_s'))} "
            f"| {fmt(median(runs, c, 'flood', 'peak_rss_kib'), 0, 1 / 1024)} "
            f"| {fmt(median(runs, c, 'names', 'seconds', 20000), 3)} "
            f"| {fmt(median(runs, c, 'names', 'peak_rss_kib', 20000), 0, 1 / 1024)} "
            f"| {fmt(median(runs, c, 'list', 'seconds'), 3)} "
            f"| {fmt(median(runs, c, 'list', 'peak_rss_kib'), 0, 1 / 1024)} |")
    lines += ["", "names scenario by channel size: seconds (microseconds per line)", "",
              "| client | " + " | ".join(f"{n:,}" for n in SCALING) + " | largest / smallest per line |",
              "|---|" + "---|" * (len(SCALING) + 1)]
    for c in clients:
        cells, per_line = [], []
        for n in SCALING:
            seconds = median(runs, c, "names", "seconds", n)
            count = median(runs, c, "names", "lines", n)
            if seconds is None or not count:
                cells.append("-")
                continue
            per_line.append(seconds / count * 1e6)
            cells.append(f"{seconds:.3f} ({per_line[-1]:.1f})")
        ratio = f"{max(per_line) / min(per_line):.2f}" if len(per_line) > 1 else "-"
        lines.append(f"| {c} | " + " | ".join(cells) + f" | {ratio} |")
    table = "\n".join(lines) + "\n"
    Path("peers-table.md").write_text(table)
    print(table)


if __name__ == "__main__":
    main()
