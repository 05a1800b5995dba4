"""What the parts of the benchmark share: the simulated phones, a child's time and memory, a
process group's CPU time, one measurement kept apart from the others, and the printed table."""
import json
import os
import select
import subprocess
import sys
import tempfile
import time


def phone_priority():
    """The simulated phones stand in for hardware, which does not share the machine's processors:
    where allowed they run at a higher priority than everything else here, so that a busy machine
    delays the engine under test, not the phone's answers (which the engine waits for 125 ms at
    most)."""
    try:
        os.setpriority(os.PRIO_PROCESS, 0, -10)
    except OSError:
        pass


def start_phone(bin_dir, port, ports_dir, record_dir, options):
    """A simulated phone on COM<port>, once it has said READY."""
    cmd = [os.path.join(bin_dir, "vanto-phone-sim"), "--port", str(port), "--ports-dir", ports_dir,
           "--record", record_dir] + options
    phone = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                             preexec_fn=phone_priority)
    ready, _, _ = select.select([phone.stdout], [], [], 30)
    line = phone.stdout.readline() if ready else ""
    if not line.startswith("READY"):
        phone.kill()
        raise RuntimeError("the simulated phone did not start: " + line + phone.stderr.read())
    return phone


def timed_child(cmd, env=None, out=subprocess.DEVNULL):
    """Runs cmd, its standard output to out (an open file, or nothing); returns wall seconds, CPU
    seconds (user + system, its children included) and peak resident memory in KiB, all of this
    child alone. The peak comes from /usr/bin/time, a small program: a child forked from this
    interpreter would count the interpreter's pages."""
    memory_file = tempfile.NamedTemporaryFile(prefix="vanto-perf-rss-", delete=False).name
    timed = ["/usr/bin/time", "-f", "%M", "-o", memory_file] if os.path.exists("/usr/bin/time") \
        else []
    started = time.monotonic()
    child = subprocess.Popen(timed + cmd, env=env, stdout=out, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - started
    child.returncode = os.waitstatus_to_exitcode(status)
    peak = usage.ru_maxrss
    try:
        with open(memory_file) as text:
            peak = int(text.read().split()[-1])
    except (OSError, ValueError, IndexError):
        pass
    os.unlink(memory_file)
    if child.returncode != 0:
        raise RuntimeError(" ".join(cmd) + " ended with " + str(child.returncode) + ": " +
                           child.stderr.read().decode(errors="replace"))
    return wall, usage.ru_utime + usage.ru_stime, peak


def live_processes():
    """(process id, fields of /proc/<pid>/stat after the name) of every live process."""
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name) as text:
                yield int(name), text.read().rsplit(")", 1)[1].split()
        except OSError:
            continue


def process_group_cpu(group):
    """Seconds on a processor of every live process of the group, its threads included, as the
    scheduler counts them (/proc/<pid>/task/<tid>/schedstat, in nanoseconds). The ticks of
    /proc/<pid>/stat would only sample it: a process that wakes for a moment once a second is
    charged a whole tick, or nothing, by chance."""
    nanoseconds = 0
    for pid, fields in live_processes():
        if int(fields[2]) != group:  # the process group, after state and parent
            continue
        try:
            for task in os.listdir("/proc/%d/task" % pid):
                with open("/proc/%d/task/%s/schedstat" % (pid, task)) as text:
                    nanoseconds += int(text.read().split()[0])
        except OSError:
            continue
    return nanoseconds / 1e9


def attempt(measure, *args):
    """One measurement; a failed one is kept as its error, so the others still count."""
    try:
        return measure(*args)
    except (RuntimeError, subprocess.SubprocessError, OSError, ValueError, KeyError) as error:
        sys.stderr.write("%s failed: %s\n" % (measure.__name__, error))
        return {"error": str(error).splitlines()[0][-160:]}


def print_table(title, rows):
    print(title)
    print()
    print("| Figure | Value | Goal / note |")
    print("|---|---|---|")
    for name, value, note in rows:
        print("| %s | %s | %s |" % (name, value, note))


def write_figures(path, figures):
    """The raw figures as JSON, when a path was given."""
    if path:
        with open(path, "w") as out:
            json.dump(figures, out, indent=1)
