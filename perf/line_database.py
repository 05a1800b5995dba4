#!/usr/bin/env python3
"""The line's database benchmark, against a private PostgreSQL server (tools/test-postgres.sh) in
the build folder that is removed at the end, one database for each measurement:

- push: `vanto records push` of a record file of 100,000 units made from one real unit of
  `vanto bench`, then the same push again (every line held already), and the peak memory of
  `vanto records FILE` on that file;
- lag: eight stations of `vanto bench --db` with simulated phones; for each line, from the moment
  it appeared in the record file (this script tails the file every 5 ms) to its row's pushed_at;
- follow: `vanto records follow` on a file that this script appends real-sized lines to at a
  steady rate, its resident memory sampled every second; the database must hold every line.

Run through perf/run.sh, which builds the programs first. Prints one Markdown table.
"""
import argparse
import datetime
import glob
import json
import math
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

from common import (attempt, live_processes, print_table, process_group_cpu, start_phone,
                    timed_child, write_figures)
from stations import CODE, LATENCY_US, PERSO, SPEED, bench_command, stop_phones

UNITS = 100000
STATIONS = 8
LAG_UNITS_EACH = 13  # 104 end lines
FOLLOW_RATE = 200  # lines per second
FOLLOW_SECONDS = 240
WARM_UP_SECONDS = 30
TAIL_POLL_S = 0.005
FIRST_PORT = 100
# The made-up units start one every 1.04 s from here, as on a line of eight busy stations.
FIRST_START = datetime.datetime(2026, 12, 1, 6, 0, tzinfo=datetime.timezone.utc)
UNIT_SPACING_MS = 1040
SCRIPT = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tools",
                      "test-postgres.sh")


def run_checked(cmd, env=None, timeout=600):
    """Runs cmd to its end; its standard output. A failure says the command's own words: its
    standard error and the lines of its standard output that tell of no passed unit."""
    done = subprocess.run(cmd, env=env, capture_output=True, text=True, timeout=timeout)
    if done.returncode != 0:
        told = [line for line in done.stdout.splitlines() if " PASS " not in line][-8:]
        raise RuntimeError("%s ended with %d: %s" % (" ".join(cmd[:3]), done.returncode,
                                                     " | ".join([done.stderr.strip()] + told)))
    return done.stdout


def psql_program():
    found = sorted(glob.glob("/usr/lib/postgresql/*/bin/psql"),
                   key=lambda p: int(p.split("/")[-3]))
    return shutil.which("psql") or (found[-1] if found else "psql")


class TestServer:
    """A private server started by tools/test-postgres.sh in folder."""

    def __init__(self, bin_dir, folder):
        self.vanto = os.path.join(bin_dir, "vanto")
        self.folder = folder
        self.psql = psql_program()
        self.conninfo = run_checked(["bash", SCRIPT, "start", folder]).strip().splitlines()[-1]

    def sql(self, url, query):
        return run_checked([self.psql, "-X", "-At", "-v", "ON_ERROR_STOP=1", "-d", url, "-c",
                            query])

    def database(self, name):
        """A new database with the line's tables, made by `vanto records init-db`: its
        connection string."""
        self.sql(self.conninfo, "CREATE DATABASE " + name)
        url = re.sub(r"dbname=\S+", "dbname=" + name, self.conninfo)
        run_checked([self.vanto, "records", "init-db", "--db", url])
        return url

    def held(self, url):
        return int(self.sql(url, "SELECT count(*) FROM unit_lines"))

    def cpu(self):
        """Seconds on a processor of the server: its first process, the live ones it started and
        those that ended (a session's process ends with its connection), in clock ticks. Each of
        the server's processes is in a session of its own, so no process group holds them."""
        with open(os.path.join(self.folder, "data", "postmaster.pid")) as text:
            postmaster = int(text.readline())
        ticks = 0
        for pid, fields in live_processes():
            if pid == postmaster:  # its own time and that of the processes it reaped
                ticks += sum(int(f) for f in fields[11:15])
            elif int(fields[1]) == postmaster:
                ticks += int(fields[11]) + int(fields[12])
        return ticks / os.sysconf("SC_CLK_TCK")


def sample_pair(bin_dir, files, work):
    """One real unit: the start and end line of `vanto bench` flashing a wire-timed simulated
    phone (one without end, as in lag())."""
    ports_dir = os.path.join(work, "ports-sample")
    record_dir = os.path.join(work, "sample-phone")
    record = os.path.join(work, "sample.jsonl")
    phone = start_phone(bin_dir, FIRST_PORT, ports_dir, record_dir,
                        ["--units", "0", "--wire-timed", "--adapter-latency-us", str(LATENCY_US),
                         "--expect-speed", str(SPEED)])
    try:
        run_checked(bench_command(bin_dir, [FIRST_PORT], files, record, ["--count", "1"]),
                    env=dict(os.environ, DEKVANTO_PORTS=ports_dir), timeout=300)
    finally:
        stop_phones([phone])
    with open(record) as text:
        lines = {json.loads(line)["event"]: line.rstrip("\n") for line in text}
    if json.loads(lines["end"])["status"] != "finished":
        raise RuntimeError("the sample unit did not pass: " + lines["end"][-300:])
    return lines["start"], lines["end"]


class UnitLines:
    """Record lines of made-up units shaped as a real unit's: its start and end line with each
    unit's own station (one of eight), unit number, identifier and times."""

    VARYING = ("station", "unit", "unit_id", "started", "ended")

    def __init__(self, start_line, end_line):
        self.seconds = json.loads(end_line)["seconds"]
        self.start = self.template(start_line)
        self.end = self.template(end_line)

    def template(self, line):
        """The line's text cut at its varying values: text, name, text, name, ..., text."""
        record = json.loads(line)
        for name in self.VARYING:
            if name in record:
                record[name] = "@@%s@@" % name
        return re.split(r'"@@(\w+)@@"', json.dumps(record, separators=(",", ":"),
                                                   ensure_ascii=False))

    def values(self, index):
        started = FIRST_START + datetime.timedelta(milliseconds=index * UNIT_SPACING_MS)
        ended = started + datetime.timedelta(seconds=self.seconds)
        return {"station": '"COM%d"' % (index % STATIONS + 1),
                "unit": str(index // STATIONS + 1),
                "unit_id": '"SN-%08d"' % index,
                "started": '"%s"' % record_time(started),
                "ended": '"%s"' % record_time(ended)}

    def line(self, index, end):
        values = self.values(index)
        pieces = self.end if end else self.start
        return "".join(values[p] if i % 2 else p for i, p in enumerate(pieces)) + "\n"

    def key(self, index, end):
        """The line's key in the database: station, unit, start time and event."""
        values = self.values(index)
        return (json.loads(values["station"]), index // STATIONS + 1,
                json.loads(values["started"]), "end" if end else "start")

    @staticmethod
    def in_order(first, units):
        """(unit index, end line?) of `units` units from the first-th on, in the order eight
        busy stations write them: each start line, then the end line of the unit that started
        eight before."""
        for index in range(first, first + units + STATIONS):
            if index < first + units:
                yield index, False
            if index - STATIONS >= first:
                yield index - STATIONS, True


def record_time(when):
    return when.strftime("%Y-%m-%dT%H:%M:%S.") + "%03dZ" % (when.microsecond // 1000)


def child_figures(wall, cpu, peak):
    return {"wall_s": wall, "cpu_s": cpu, "peak_kib": peak}


def push_rate(server, maker, work, units):
    """`vanto records push` of a file of `units` units into an empty database, then again."""
    url = server.database("perf_push")
    record = os.path.join(work, "push.jsonl")
    with open(record, "w") as out:
        out.writelines(maker.line(*which) for which in maker.in_order(0, units))
    figures = {"units": units, "lines": 2 * units, "bytes": os.path.getsize(record)}
    try:
        for name in ("first", "again"):
            server_before = server.cpu()
            with tempfile.TemporaryFile("w+") as said:
                figures[name] = child_figures(*timed_child(
                    [server.vanto, "records", "push", record, "--db", url], out=said))
                said.seek(0)
                figures[name]["said"] = said.read().strip()
            figures[name]["server_cpu_s"] = server.cpu() - server_before
        figures["held"] = server.held(url)
        figures["lost"] = [] if figures["held"] == figures["lines"] else [
            "the database holds %d lines of the %d pushed" % (figures["held"], figures["lines"])]
        figures["listing"] = child_figures(*timed_child([server.vanto, "records", record]))
    finally:
        os.unlink(record)
    return figures


class FileTail(threading.Thread):
    """Notes the wall-clock time at which each whole line of a file appeared, looking every 5 ms
    (the file need not be there yet)."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.path = path
        self.seen = []  # (seconds since the epoch, line)
        self.stopping = threading.Event()

    def run(self):
        handle, unended = None, b""
        while True:
            last_look = self.stopping.is_set()
            if handle is None and os.path.exists(self.path):
                handle = open(self.path, "rb")
            data = handle.read() if handle else b""
            if data:
                now = time.time()
                *whole, unended = (unended + data).split(b"\n")
                self.seen += [(now, line) for line in whole]
            if last_look:
                break
            time.sleep(TAIL_POLL_S)
        if handle:
            handle.close()

    def stop(self):
        self.stopping.set()
        self.join()


def percentile(values, share):
    """The nearest-rank percentile of values."""
    ordered = sorted(values)
    return ordered[max(0, math.ceil(share * len(ordered)) - 1)]


def lag(server, files, work, units_each):
    """Eight stations of `vanto bench --db`: the seconds from each line's appearance in the record
    file to its row's pushed_at, by kind of line."""
    url = server.database("perf_lag")
    bin_dir = os.path.dirname(server.vanto)
    ports = list(range(FIRST_PORT + 1, FIRST_PORT + 1 + STATIONS))
    ports_dir = os.path.join(work, "ports-lag")
    record = os.path.join(work, "lag.jsonl")
    tail = FileTail(record)
    phones, dirs = [], []
    try:
        # Phones without end: a simulated phone's program ends after its last unit, and its
        # port with it, which a station still waiting for its next phone would take for a
        # changed port. The bench ends at its count.
        for port in ports:
            dirs.append(os.path.join(work, "lag-%d" % port))
            phones.append(start_phone(bin_dir, port, ports_dir, dirs[-1],
                                      ["--units", "0", "--wire-timed",
                                       "--adapter-latency-us", str(LATENCY_US),
                                       "--expect-speed", str(SPEED)]))
        tail.start()
        started = time.monotonic()
        run_checked(bench_command(bin_dir, ports, files, record,
                                  ["--count", str(STATIONS * units_each), "--db", url]),
                    env=dict(os.environ, DEKVANTO_PORTS=ports_dir), timeout=1800)
        wall = time.monotonic() - started
    finally:
        if tail.is_alive():
            tail.stop()
        stop_phones(phones)
    appeared = []
    for when, text in tail.seen:
        r = json.loads(text)
        appeared.append((when, (r["station"], r["unit"], r["started"], r["event"])))
    lags, lost = lags_by_event(server, url, appeared)
    return {"wall_s": wall, "lag_s": lags, "lost": lost}


def lags_by_event(server, url, appeared):
    """For (time it appeared in the file, key) of each line of the file: the seconds from then
    to its row's pushed_at, by event; and what is wrong, when the database does not hold exactly
    these lines."""
    pushed = {}
    for row in server.sql(url, "SELECT station, unit, started, event, "
                               "extract(epoch FROM pushed_at) FROM unit_lines").splitlines():
        station, unit, started_text, event, epoch = row.split("|")
        pushed[(station, int(unit), started_text, event)] = float(epoch)
    lags, missing = {}, 0
    for when, key in appeared:
        if key in pushed:
            lags.setdefault(key[3], []).append(pushed[key] - when)
        else:
            missing += 1
    lost = []
    if missing:
        lost.append("%d of the %d lines of the record file are not in the database" %
                    (missing, len(appeared)))
    if len(pushed) > len(appeared) - missing:
        lost.append("the database holds %d lines that the record file does not" %
                    (len(pushed) - len(appeared) + missing))
    return lags, lost


class SteadyWriter(threading.Thread):
    """Appends whole record lines to a file at a steady rate, each in one write, as a bench does,
    noting the wall-clock time of each."""

    def __init__(self, path, maker, rate, seconds):
        super().__init__(daemon=True)
        self.path, self.maker, self.rate = path, maker, rate
        self.units = max(1, rate * seconds // 2)
        self.written = []  # (seconds since the epoch, key of the line)
        self.bytes = 0
        self.ended = None  # time.monotonic() after the last line
        self.wall_s = 0.0
        self.stopping = threading.Event()

    def run(self):
        fd = os.open(self.path, os.O_WRONLY | os.O_APPEND)
        started = time.monotonic()
        try:
            for which in self.maker.in_order(0, self.units):
                delay = started + len(self.written) / self.rate - time.monotonic()
                if self.stopping.wait(delay) if delay > 0 else self.stopping.is_set():
                    break
                data = self.maker.line(*which).encode()
                os.write(fd, data)
                self.written.append((time.time(), self.maker.key(*which)))
                self.bytes += len(data)
        finally:
            os.close(fd)
            self.ended = time.monotonic()
            self.wall_s = self.ended - started

    def stop(self):
        self.stopping.set()
        if self.is_alive():
            self.join()


def memory_kib(pid):
    """VmRSS and VmHWM of the process, in KiB."""
    found = {}
    with open("/proc/%d/status" % pid) as text:
        for line in text:
            if line.startswith(("VmRSS:", "VmHWM:")):
                found[line.split(":")[0]] = int(line.split()[1])
    return found["VmRSS"], found["VmHWM"]


def follow_memory(server, maker, work, rate, seconds):
    """`vanto records follow` while a writer appends `rate` lines a second for `seconds`: its
    memory and CPU time every second, until the database holds every line written."""
    url = server.database("perf_follow")
    record = os.path.join(work, "follow.jsonl")
    open(record, "w").close()
    log = os.path.join(work, "follow.log")
    with open(log, "w") as said:
        forwarder = subprocess.Popen([server.vanto, "records", "follow", record, "--db", url],
                                     stdout=said, stderr=subprocess.STDOUT,
                                     start_new_session=True)
    writer = SteadyWriter(record, maker, rate, seconds)
    samples = []

    def sample():
        rss, _ = memory_kib(forwarder.pid)
        samples.append({"t_s": time.monotonic() - started, "rss_kib": rss,
                        "cpu_s": process_group_cpu(forwarder.pid)})

    try:
        time.sleep(1)  # connected, and waiting for lines
        if forwarder.poll() is not None:
            raise RuntimeError("vanto records follow ended at once")
        started = time.monotonic()
        sample()
        writer.start()
        tick = started + 1
        while writer.is_alive():
            time.sleep(max(0.0, tick - time.monotonic()))
            tick += 1
            sample()
        writer.join()
        # Until the database holds every line written, or a minute has passed.
        while time.monotonic() - writer.ended < 60 and server.held(url) < len(writer.written):
            time.sleep(0.25)
            if time.monotonic() >= tick:
                tick += 1
                sample()
        sample()
        _, peak_kib = memory_kib(forwarder.pid)
    finally:
        writer.stop()
        forwarder.send_signal(signal.SIGTERM)
        try:
            status = forwarder.wait(timeout=30)
        except subprocess.TimeoutExpired:
            forwarder.kill()
            status = forwarder.wait()
    with open(log) as text:
        words = [line.strip() for line in text if line.strip()]
    figures = {"rate": rate, "seconds": seconds, "written": len(writer.written),
               "bytes": writer.bytes, "writing_s": writer.wall_s, "held": server.held(url),
               "exit_status": status, "vm_hwm_kib": peak_kib, "samples": samples,
               "said": words[-1] if words else ""}
    lags, figures["lost"] = lags_by_event(server, url, writer.written)
    if lags:
        figures["lag"] = lag_summary(sum(lags.values(), []))
    if status != 0:
        figures["lost"].append("vanto records follow ended with status %d" % status)
    return figures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="the build's bin directory")
    parser.add_argument("--work", required=True,
                        help="where the server and the record files are made (the perf build "
                             "folder); every folder above it must be searchable by everyone")
    parser.add_argument("--label", default="", help="a name for this run")
    parser.add_argument("--json", help="also write the raw figures to this file")
    parser.add_argument("--units", type=int, default=UNITS, help="units of the pushed file")
    parser.add_argument("--lag-units-each", type=int, default=LAG_UNITS_EACH,
                        help="units of each of the eight stations with --db")
    parser.add_argument("--follow-rate", type=int, default=FOLLOW_RATE,
                        help="lines a second written while the forwarder follows")
    parser.add_argument("--follow-seconds", type=int, default=FOLLOW_SECONDS)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="perf-database-", dir=args.work)
    os.chmod(work, 0o755)  # the server runs as nobody when this runs as root
    server_dir = os.path.join(work, "server")
    figures = {"label": args.label, "load_before": os.getloadavg()[0]}
    try:
        run_checked([os.path.join(args.bin, "vanto-image"), "sample-set", work, "--code-size",
                     str(CODE), "--perso-size", str(PERSO)])
        files = {k: os.path.join(work, n) for k, n in
                 (("loader", "loader.bin"), ("code", "code.bin"), ("perso", "perso.psb"))}
        server = TestServer(args.bin, server_dir)
        maker = UnitLines(*sample_pair(args.bin, files, work))
        figures["push"] = attempt(push_rate, server, maker, work, args.units)
        figures["lag"] = attempt(lag, server, files, work, args.lag_units_each)
        figures["follow"] = attempt(follow_memory, server, maker, work, args.follow_rate,
                                    args.follow_seconds)
        figures["load_after"] = os.getloadavg()[0]
    finally:
        subprocess.run(["bash", SCRIPT, "remove", server_dir], check=False)
        shutil.rmtree(work, ignore_errors=True)
    write_figures(args.json, figures)
    print_figures(figures)
    lost = [w for part in ("push", "lag", "follow") for w in figures[part].get("lost", [])]
    if lost:
        sys.stderr.write("LINES LOST: %s\n" % "; ".join(lost))
        sys.exit(1)


def mib(kib):
    return "%.1f MiB" % (kib / 1024)


def push_rows(p):
    if "error" in p:
        return [("Push", "failed", p["error"])]
    first, again, listing = p["first"], p["again"], p["listing"]
    return [
        ("Push of %d units (%d lines, %.0f MB, %.0f bytes a line): lines per second" %
         (p["units"], p["lines"], p["bytes"] / 1e6, p["bytes"] / p["lines"]),
         "%.0f lines/s" % (p["lines"] / first["wall_s"]),
         "wall %.1f s; CPU: vanto %.1f s, server %.1f s" %
         (first["wall_s"], first["cpu_s"], first["server_cpu_s"])),
        ("Push: peak memory of vanto records push", mib(first["peak_kib"]), ""),
        ("Push again, every line held already: lines per second",
         "%.0f lines/s" % (p["lines"] / again["wall_s"]),
         "wall %.1f s, peak %s; CPU: vanto %.1f s, server %.1f s" %
         (again["wall_s"], mib(again["peak_kib"]), again["cpu_s"], again["server_cpu_s"])),
        ("vanto records FILE on the same file: peak memory", mib(listing["peak_kib"]),
         "wall %.1f s" % listing["wall_s"]),
    ]


def lag_summary(lags_s):
    """Milliseconds from file to database: how many, median, 90th percentile, least and most."""
    lags = [1000 * s for s in lags_s]
    return {"lines": len(lags), "median_ms": statistics.median(lags),
            "p90_ms": percentile(lags, 0.9), "min_ms": min(lags), "max_ms": max(lags)}


def lag_row(name, summary, note):
    return [("%s: file to database, median / 90th percentile / max" % name,
             "%.0f ms / %.0f ms / %.0f ms" % (summary["median_ms"], summary["p90_ms"],
                                              summary["max_ms"]), note)]


def lag_rows(m):
    if "error" in m:
        return [("Record file to database, 8 stations", "failed", m["error"])]
    rows = []
    for event in ("end", "start"):
        if m["lag_s"].get(event):
            summary = lag_summary(m["lag_s"][event])
            rows += lag_row("%d stations with --db, %d %s lines" % (STATIONS, summary["lines"],
                                                                     event), summary,
                            "median < 1000 ms" if event == "end" else
                            "bench wall %.0f s" % m["wall_s"])
    return rows


def follow_rows(m):
    if "error" in m:
        return [("Forwarder over a long run", "failed", m["error"])]
    samples = m["samples"]
    warm = next((s for s in samples if s["t_s"] >= WARM_UP_SECONDS), samples[-1])
    cpu = samples[-1]["cpu_s"] - samples[0]["cpu_s"]
    return [
        ("Forwarder, %d lines/s for %d s: RSS at start / after %d s / peak / end" %
         (m["rate"], m["seconds"], WARM_UP_SECONDS),
         " / ".join(mib(k) for k in (samples[0]["rss_kib"], warm["rss_kib"],
                                     max(s["rss_kib"] for s in samples), samples[-1]["rss_kib"])),
         "VmHWM %s, %d samples" % (mib(m["vm_hwm_kib"]), len(samples))),
        ("Forwarder: lines written / held by the database", "%d / %d" % (m["written"], m["held"]),
         "equal" if m["held"] == m["written"] else "LINES LOST"),
        ("Forwarder: CPU over wall", "%.2f %% of a core" % (100 * cpu / samples[-1]["t_s"]),
         "%.0f s" % samples[-1]["t_s"]),
    ] + (lag_row("Forwarder, %d lines/s, every line" % m["rate"], m["lag"], "")
         if "lag" in m else [])


def print_figures(f):
    figures = [f.get(name, {"error": "not run"}) for name in ("push", "lag", "follow")]
    rows = push_rows(figures[0]) + lag_rows(figures[1]) + follow_rows(figures[2])
    measured = [p for p in figures if "error" not in p]
    if measured:
        rows.append(("The database held every line written, and no other",
                     "NO" if any(p["lost"] for p in measured) else "yes",
                     "; ".join(w for p in measured for w in p["lost"])))
    print_table("%s, line's database (load average %.2f at the start, %.2f at the end)" % (
        f["label"] or "Benchmark", f["load_before"], f.get("load_after", os.getloadavg()[0])),
        rows)


if __name__ == "__main__":
    main()
