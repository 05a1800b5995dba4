#!/usr/bin/env python3
"""The download benchmark: one download of a 2 MiB code file and a 64 KiB personalization file at
460800 bit/s, acknowledged mode, 1 ms adapter latency, measured against the protocol's ideal time.

Run through perf/run.sh, which builds the programs first. Prints one Markdown table.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

from common import attempt, print_table, start_phone, timed_child, write_figures

LOADER = 2048
CODE = 2 * 1024 * 1024
PERSO = 64 * 1024
SPEED = 460800
SPEED_INDEX = 3
LATENCY_US = 1000
STATIONS = 8
FIRST_PORT = 201


def run_json(cmd, env=None):
    out = subprocess.run(cmd, check=True, capture_output=True, text=True, env=env).stdout
    return [json.loads(line) for line in out.splitlines() if line.startswith("{")]


def start_wire_timed_phone(bin_dir, port, ports_dir, record_dir):
    return start_phone(bin_dir, port, ports_dir, record_dir,
                       ["--wire-timed", "--adapter-latency-us", str(LATENCY_US), "--expect-speed",
                        str(SPEED), "--idle-timeout-ms", "600000"])


def finish_phones(phones, record_dirs):
    consistent = True
    for phone, record in zip(phones, record_dirs):
        out, err = phone.communicate(timeout=120)
        if "END consistent" not in out:
            consistent = False
            sys.stderr.write(err)
    return consistent


def cli_download(bin_dir, files, ports, work):
    ports_dir = os.path.join(work, "ports")
    os.makedirs(ports_dir, exist_ok=True)
    env = dict(os.environ, DEKVANTO_PORTS=ports_dir)
    records = [os.path.join(work, "record-%d" % p) for p in ports]
    phones = [start_wire_timed_phone(bin_dir, p, ports_dir, r) for p, r in zip(ports, records)]
    cmd = [os.path.join(bin_dir, "vanto"), "download", "--port",
           ",".join("COM%d" % p for p in ports), "--loader", files["loader"], "--code",
           files["code"], "--perso", files["perso"], "--speed", str(SPEED)]
    try:
        wall, cpu, rss = timed_child(cmd, env)
    finally:
        consistent = finish_phones(phones, records)
    return {"wall_s": wall, "cpu_s": cpu, "peak_kib": rss, "consistent": consistent}


def window_download(bin_dir, files, port):
    program = os.path.join(bin_dir, "vanto-window-download")
    if not os.path.exists(program):
        return None
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    out = run_json([program, "--port", str(port), "--latency-us", str(LATENCY_US), "--loader",
                    files["loader"], "--code", files["code"], "--perso", files["perso"],
                    "--speed-index", str(SPEED_INDEX)], env)
    return out[0]


def load_average():
    return os.getloadavg()[0]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="the build's bin directory")
    parser.add_argument("--label", default="", help="a name for this run")
    parser.add_argument("--virtual-only", action="store_true")
    parser.add_argument("--port-drains-each-write", action="store_true",
                        help="model a port that drains inside every write (the engine before "
                             "its drains moved to the serial line)")
    parser.add_argument("--json", help="also write the raw figures to this file")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="vanto-perf-")
    try:
        subprocess.run([os.path.join(args.bin, "vanto-image"), "sample-set", work, "--loader-size",
                        str(LOADER), "--code-size", str(CODE), "--perso-size", str(PERSO)],
                       check=True, capture_output=True)
        files = {k: os.path.join(work, n) for k, n in
                 (("loader", "loader.bin"), ("code", "code.bin"), ("perso", "perso.psb"))}
        figures = {"label": args.label, "load_before": load_average()}
        figures["virtual"] = run_json([os.path.join(args.bin, "vanto-virtual-download"),
                                       "--latency-us", "1000", "--latency-us", "16000",
                                       "--loader", str(LOADER), "--code", str(CODE),
                                       "--perso", str(PERSO), "--speed-index",
                                       str(SPEED_INDEX)] +
                                      (["--port-drains-each-write"]
                                       if args.port_drains_each_write else []))
        if not args.virtual_only:
            figures["one"] = attempt(cli_download, args.bin, files, [FIRST_PORT], work)
            figures["parallel"] = attempt(
                cli_download, args.bin, files,
                list(range(FIRST_PORT + 10, FIRST_PORT + 10 + STATIONS)), work)
            figures["window"] = attempt(window_download, args.bin, files, FIRST_PORT + 30)
        figures["load_after"] = load_average()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    write_figures(args.json, figures)
    print_figures(figures)


def print_figures(f):
    v1 = next(v for v in f["virtual"] if v["latency_us"] == 1000)
    ideal_s = v1["ideal_ns"] / 1e9
    rows = []
    if "one" in f:
        one, par, w = f["one"], f["parallel"], f.get("window")
        good = "error" not in one
        rows.append(("Protocol's ideal time (1 ms)", "%.2f s" % ideal_s,
                     "%d line bytes, %d round trips" % (v1["line_bytes"], v1["round_trips"])))
        if good:
            rows.append(("Measured time over the pty (wire-timed phone, 1 ms)",
                         "%.2f s" % one["wall_s"], ""))
            rows.append(("Measured / ideal over the pty", "%.3f" % (ideal_s / one["wall_s"]),
                         ">= 0.985"))
            rows.append(("Engine CPU / wall (vanto, one station)",
                         "%.4f" % (one["cpu_s"] / one["wall_s"]), "<= 0.01"))
            budget_kib = (LOADER + CODE + PERSO) / 1024 + 8 * 1024
            rows.append(("Peak memory of vanto (one station)",
                         "%.1f MiB" % (one["peak_kib"] / 1024),
                         "<= %.1f MiB (files + 8 MiB)" % (budget_kib / 1024)))
        else:
            rows.append(("One station over the pty", "failed", one["error"]))
        if good and "error" not in par:
            rows.append(("%d stations in parallel / one" % STATIONS,
                         "%.3f (%.2f s)" % (par["wall_s"] / one["wall_s"], par["wall_s"]),
                         "<= 1.10"))
        else:
            rows.append(("%d stations in parallel" % STATIONS, "failed", par.get("error", "")))
        if good and w and "error" not in w:
            rows.append(("Window / command-line tool",
                         "%.3f (%.2f s)" % (w["wall_s"] / one["wall_s"], w["wall_s"]),
                         "<= 1.02"))
        elif w:
            rows.append(("Window", "failed", w.get("error", "")))
        ok = all(m and m.get("consistent") for m in (one, par, w) if m is not None)
        rows.append(("Every phone found every frame right", "yes" if ok else "NO", ""))
    for v in f["virtual"]:
        lat = v["latency_us"] / 1000
        rows.append(("Virtual time, %g ms latency: measured / ideal" % lat,
                     "%.4f (%.3f s / %.3f s)" % (v["ideal_ns"] / v["virtual_ns"],
                                                 v["virtual_ns"] / 1e9, v["ideal_ns"] / 1e9),
                     ">= 0.995" if v["latency_us"] == 1000 else ""))
        for phase, (measured, ideal) in v["phases"].items():
            rows.append(("  %g ms, %s" % (lat, phase),
                         "%.3f s / %.3f s" % (measured / 1e9, ideal / 1e9),
                         "%.4f" % (ideal / measured) if measured else ""))
        rows.append(("  %g ms, drains that waited / line idle after them" % lat,
                     "%d / %.3f s" % (v["drains"], v["drain_idle_ns"] / 1e9),
                     "errors: %s" % ("none" if not v["errors"] else "; ".join(v["errors"]))))
    print_table("%s (load average %.2f at the start, %.2f at the end)" % (
        f["label"] or "Benchmark", f["load_before"], f["load_after"]), rows)


if __name__ == "__main__":
    main()
