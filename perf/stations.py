#!/usr/bin/env python3
"""The production bench's benchmark: what `vanto bench` costs while it waits, how soon it answers
a phone put on its station, and how eight and sixteen unattended stations compare with one.

Run through perf/run.sh, which builds the programs first. Prints one Markdown table.
"""
import argparse
import json
import os
import shutil
import signal
import subprocess
import tempfile
import time

from common import attempt, print_table, process_group_cpu, start_phone, write_figures

CODE = 256 * 1024
PERSO = 16 * 1024
SPEED = 460800
LATENCY_US = 1000
STATIONS = 8
MOST_STATIONS = 16  # the most a bench takes
UNITS_EACH = 3
IDLE_SECONDS = 30
FIRST_PORT = 160
# Milliseconds from a unit's end until the next phone may arrive: a bench station lets go of the
# line for a poll interval (1 s), probes the empty line (about 0.23 s) and lets go again, so these
# put arrivals at different moments of its wait.
GAPS_MS = (0, 1500, 1750, 2000)


def stop_phones(phones, record_dirs=(), units=0):
    """Stops the phones once each has written the record of its units (a phone writes it as the
    station lets go of the line after a unit), or after ten seconds."""
    until = time.monotonic() + 10
    while time.monotonic() < until and any(len(unit_summaries(d, units)) < units
                                           for d in record_dirs):
        time.sleep(0.05)
    for phone in phones:
        if phone.poll() is None:
            phone.send_signal(signal.SIGINT)
    for phone in phones:
        try:
            phone.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            phone.kill()
            phone.communicate()


def unit_summaries(record_dir, units):
    """The phone's own account of each unit, once it has gone: nothing for a unit still there."""
    found = []
    for unit in range(1, units + 1):
        path = os.path.join(record_dir, "unit-%d" % unit, "summary.json")
        if os.path.exists(path):
            with open(path) as text:
                found.append(json.load(text))
    return found


def bench_command(bin_dir, ports, files, record, extra):
    return [os.path.join(bin_dir, "vanto"), "bench", "--port", ",".join("COM%d" % p for p in ports),
            "--loader", files["loader"], "--code", files["code"], "--perso", files["perso"],
            "--speed", str(SPEED), "--record", record] + extra


def idle_station(bin_dir, files, work):
    """One station waiting for a phone that does not come, at the default poll interval: the CPU
    time of the bench and its station over IDLE_SECONDS of wall time."""
    ports_dir = os.path.join(work, "ports-idle")
    env = dict(os.environ, DEKVANTO_PORTS=ports_dir)
    phone = start_phone(bin_dir, FIRST_PORT, ports_dir, os.path.join(work, "idle-phone"),
                        ["--units", "1", "--absent-ms", "3600000"])
    bench = subprocess.Popen(bench_command(bin_dir, [FIRST_PORT], files,
                                           os.path.join(work, "idle.jsonl"), []),
                             env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             start_new_session=True)
    try:
        time.sleep(3)  # the station is started and polling
        cpu_before, wall_before = process_group_cpu(bench.pid), time.monotonic()
        time.sleep(IDLE_SECONDS)
        cpu = process_group_cpu(bench.pid) - cpu_before
        wall = time.monotonic() - wall_before
    finally:
        os.killpg(bench.pid, signal.SIGINT)
        status = bench.wait(timeout=30)
        stop_phones([phone])
    if status not in (0, 3):
        raise RuntimeError("the idle bench ended with status %d (stopped expected)" % status)
    return {"cpu_s": cpu, "wall_s": wall}


def arrival_waits(bin_dir, files, work):
    """Phones that arrive at different moments of a station's wait: for each, the milliseconds
    from its arrival to the first byte the station sent it (the phone's own clock)."""
    waits = []
    for index, gap in enumerate(GAPS_MS):
        port = FIRST_PORT + 1 + index
        ports_dir = os.path.join(work, "ports-arrival")
        record_dir = os.path.join(work, "arrival-%d" % gap)
        env = dict(os.environ, DEKVANTO_PORTS=ports_dir)
        phone = start_phone(bin_dir, port, ports_dir, record_dir,
                            ["--units", str(UNITS_EACH), "--absent-ms", str(700 + gap),
                             "--gap-ms", str(gap)])
        try:
            subprocess.run(bench_command(bin_dir, [port], files, os.path.join(work, "arrival.jsonl"),
                                         ["--count", str(UNITS_EACH)]),
                           env=env, check=True, capture_output=True, timeout=120)
        finally:
            stop_phones([phone], [record_dir], UNITS_EACH)
        waits += [s["arrival_wait_ms"] for s in unit_summaries(record_dir, UNITS_EACH)
                  if s.get("arrival_wait_ms") is not None]
    if not waits:
        raise RuntimeError("no phone reported its arrival")
    return {"waits_ms": waits}


def unattended(bin_dir, files, work, stations, label, first_port):
    """stations phones on wire-timed lines, UNITS_EACH units each, flashed unattended: the
    seconds of each unit from the record, and whether every phone found every frame right."""
    ports = list(range(first_port, first_port + stations))
    ports_dir = os.path.join(work, "ports-" + label)
    env = dict(os.environ, DEKVANTO_PORTS=ports_dir)
    record = os.path.join(work, label + ".jsonl")
    phones, dirs = [], []
    try:
        for port in ports:
            dirs.append(os.path.join(work, "%s-%d" % (label, port)))
            phones.append(start_phone(bin_dir, port, ports_dir, dirs[-1],
                                      ["--units", str(UNITS_EACH), "--wire-timed",
                                       "--adapter-latency-us", str(LATENCY_US),
                                       "--expect-speed", str(SPEED)]))
        started = time.monotonic()
        subprocess.run(bench_command(bin_dir, ports, files, record,
                                     ["--count", str(stations * UNITS_EACH)]),
                       env=env, check=True, capture_output=True, timeout=1800)
        wall = time.monotonic() - started
    finally:
        stop_phones(phones, dirs, UNITS_EACH)
    with open(record) as text:
        ends = [r for r in map(json.loads, text) if r["event"] == "end"]
    summaries = [s for d in dirs for s in unit_summaries(d, UNITS_EACH)]
    return {"seconds": [r["seconds"] for r in ends], "wall_s": wall,
            "consistent": len(summaries) == len(ends) == stations * UNITS_EACH and
            all(s["consistent"] for s in summaries)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="the build's bin directory")
    parser.add_argument("--label", default="", help="a name for this run")
    parser.add_argument("--json", help="also write the raw figures to this file")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="vanto-perf-stations-")
    try:
        subprocess.run([os.path.join(args.bin, "vanto-image"), "sample-set", work, "--code-size",
                        str(CODE), "--perso-size", str(PERSO)], check=True, capture_output=True)
        files = {k: os.path.join(work, n) for k, n in
                 (("loader", "loader.bin"), ("code", "code.bin"), ("perso", "perso.psb"))}
        figures = {"label": args.label, "load_before": os.getloadavg()[0]}
        figures["idle"] = attempt(idle_station, args.bin, files, work)
        figures["arrival"] = attempt(arrival_waits, args.bin, files, work)
        figures["one"] = attempt(unattended, args.bin, files, work, 1, "one", FIRST_PORT + 10)
        figures["eight"] = attempt(unattended, args.bin, files, work, STATIONS, "eight",
                                   FIRST_PORT + 20)
        figures["sixteen"] = attempt(unattended, args.bin, files, work, MOST_STATIONS, "sixteen",
                                     FIRST_PORT + 40)
        figures["load_after"] = os.getloadavg()[0]
    finally:
        shutil.rmtree(work, ignore_errors=True)
    write_figures(args.json, figures)
    print_figures(figures)


def mean(values):
    return sum(values) / len(values)


def print_figures(f):
    rows = []
    idle = f["idle"]
    if "error" in idle:
        rows.append(("Idle station", "failed", idle["error"]))
    else:
        rows.append(("Idle station waiting for a phone (poll 1 s): CPU / wall",
                     "%.3f %% of a core" % (100 * idle["cpu_s"] / idle["wall_s"]),
                     "<= 1 %% (bench and station, %.0f s)" % idle["wall_s"]))
    arrival = f["arrival"]
    if "error" in arrival:
        rows.append(("Arrival to first byte", "failed", arrival["error"]))
    else:
        waits = arrival["waits_ms"]
        rows.append(("Arrival to first byte (poll 1 s), %d phones: mean / max" % len(waits),
                     "%.0f ms / %.0f ms" % (mean(waits), max(waits)),
                     "<= 1000 ms plus a look (20 ms)"))
    one, eight, sixteen = f["one"], f["eight"], f.get("sixteen", {"error": "not run"})
    for name, m in (("One station", one), ("%d stations" % STATIONS, eight),
                    ("%d stations" % MOST_STATIONS, sixteen)):
        if "error" in m:
            rows.append((name + " unattended", "failed", m["error"]))
        else:
            rows.append(("%s unattended, %d units: seconds per unit (mean)" %
                         (name, len(m["seconds"])), "%.2f s" % mean(m["seconds"]),
                         "wall %.1f s" % m["wall_s"]))
    if "error" not in one:
        for many, m, goal in ((STATIONS, eight, "<= 1.10"), (MOST_STATIONS, sixteen, "<= 1.05")):
            if "error" not in m:
                rows.append(("%d stations / one, per unit" % many,
                             "%.3f" % (mean(m["seconds"]) / mean(one["seconds"])), goal))
        ok = all(m.get("consistent") for m in (one, eight, sixteen) if "error" not in m)
        rows.append(("Every phone flashed once and found every frame right",
                     "yes" if ok else "NO", ""))
    print_table("%s, stations (load average %.2f at the start, %.2f at the end)" % (
        f["label"] or "Benchmark", f["load_before"], f["load_after"]), rows)


if __name__ == "__main__":
    main()
