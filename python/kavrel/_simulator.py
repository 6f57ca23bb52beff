"""The simulated instrument as a context manager."""
import contextlib
import os
import selectors
import subprocess
import time


@contextlib.contextmanager
def simulator(model: int = 4101, options: int = 0, seed: int = 1, timeout: float = 10.0):
    """Start the simulated 4100-family instrument on a free loopback port and
    yield its VISA resource string; the instrument stops on exit.

    The driver reaches it through the project's VISA stand-in, which this
    selects through KAVREL_VISA_LIBRARY unless you chose a VISA library there
    yourself (any VISA that speaks HiSLIP will do).
    """
    import kavrel
    from kavrel import _library

    if not 4100 <= model <= 4104:
        raise ValueError(f"model must be 4100..4104, not {model}")
    if not 0 <= options <= 0x7FFFFFFF or not 0 <= seed <= 0x7FFFFFFF:
        raise ValueError("options and seed must be whole numbers from 0 to 2147483647")
    command = _library.simulator_command(kavrel._library_path)
    if command is None:
        raise OSError("the simulated instrument (kavrel-sim, or the kavrel program) was not found")
    if not os.environ.get("KAVREL_VISA_LIBRARY"):
        standin = _library.standin(kavrel._library_path)
        if standin is None:
            raise OSError("the project's VISA stand-in (libvisa.so.0, visa32.dll on Windows) was not found beside " +
                          kavrel._library_path)
        os.environ["KAVREL_VISA_LIBRARY"] = standin
    process = subprocess.Popen(
        command + ["--model", str(model), "--options", str(options), "--seed", str(seed),
                   "--host", "127.0.0.1", "--hislip-port", "0", "--raw-port", "-1"],
        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        port = _hislip_port(process, timeout)
        yield f"TCPIP::127.0.0.1::hislip0,{port}::INSTR"
    finally:
        process.terminate()
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        process.stdout.close()
        process.stderr.close()


def _hislip_port(process, timeout):
    """The port the simulator prints ("hislip-port N"), waiting at most `timeout` seconds."""
    deadline = time.monotonic() + timeout
    with selectors.DefaultSelector() as selector:
        selector.register(process.stdout, selectors.EVENT_READ)
        while True:
            left = deadline - time.monotonic()
            if left <= 0 or not selector.select(left):
                raise OSError(f"the simulated instrument did not start within {timeout} s")
            line = process.stdout.readline()
            if not line:
                process.wait()
                raise OSError("the simulated instrument stopped: " + process.stderr.read().strip())
            if line.startswith("hislip-port "):
                return int(line.split()[1])
