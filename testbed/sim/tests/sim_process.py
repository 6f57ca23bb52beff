"""Starting kavrel-sim for the checks, on the ports it prints first."""
import subprocess
import threading


def start(sim, args, wanted, **popen):
    """Runs kavrel-sim with args and reads its "NAME-port N" lines until every
    name in wanted is seen. Gives the process and the ports by name."""
    proc = subprocess.Popen([sim, *args], stdout=subprocess.PIPE, text=True, **popen)
    watchdog = threading.Timer(10, proc.kill)  # a silent simulator must not hang the check
    watchdog.start()
    ports = {}
    try:
        while not set(wanted) <= ports.keys():
            line = proc.stdout.readline()
            if not line:
                break
            key, _, value = line.strip().partition(" ")
            ports[key] = int(value)
    finally:
        watchdog.cancel()
    if not set(wanted) <= ports.keys():
        proc.kill()
        said = proc.stderr.read() if proc.stderr else ""
        raise RuntimeError(f"kavrel-sim printed no ports: {ports} {said}".rstrip())
    return proc, ports
