"""What the download benchmark and the stations' benchmark share: the simulated phones, one
measurement kept apart from the others, and the printed table."""
import json
import os
import select
import subprocess
import sys


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
