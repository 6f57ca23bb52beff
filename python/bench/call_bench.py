"""Client CPU of one setting call from Python and from C, side by side.

The same session, the same call (kavrel_srcContWave), in alternating rounds:
a loop in C (compiled here with cc, calling the driver through its address)
and the same loop in Python through the package. The difference per call is
what the package adds. Run: python3 call_bench.py [calls per round] [rounds]
"""
import ctypes
import os
import statistics
import subprocess
import sys
import tempfile
import time

import kavrel

C_LOOP = r"""
typedef int (*setting)(unsigned, double, double);
int loop(setting call, unsigned vi, int calls) {
  int failures = 0;
  for (int i = 0; i < calls; ++i) failures += call(vi, 1e9, -10.0) != 0;
  return failures;
}
"""


def c_loop(directory):
    source = os.path.join(directory, "loop.c")
    library = os.path.join(directory, "loop.so")
    with open(source, "w") as handle:
        handle.write(C_LOOP)
    subprocess.run(["cc", "-O2", "-shared", "-fPIC", "-o", library, source], check=True)
    loop = ctypes.CDLL(library).loop
    loop.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_int]
    return loop


def cpu_per_call(run, calls):
    start = time.process_time()
    run(calls)
    return (time.process_time() - start) / calls * 1e6


def measure(session, loop, calls, rounds):
    address = ctypes.cast(kavrel._lib.kavrel_srcContWave, ctypes.c_void_p)

    def from_c(n):
        assert loop(address, session.vi, n) == 0

    def from_python(n):
        call = session.srcContWave
        for _ in range(n):
            call(1e9, -10.0)

    from_c(calls // 10), from_python(calls // 10)  # warm up
    c, py = [], []
    for _ in range(rounds):
        c.append(cpu_per_call(from_c, calls))
        py.append(cpu_per_call(from_python, calls))
    return statistics.median(c), statistics.median(py), statistics.pstdev(py) / statistics.median(py)


def main():
    calls = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    rows = []
    with tempfile.TemporaryDirectory() as directory:
        loop = c_loop(directory)
        with kavrel.simulator() as resource, kavrel.Session(resource) as session:
            rows.append(("simulator over HiSLIP", *measure(session, loop, calls, rounds)))
        # The stand-in's scripted instrument answers in-process: the call without any network I/O.
        standin = ctypes.CDLL(os.environ["KAVREL_VISA_LIBRARY"])
        standin.standin_reset()
        for reply in (b"OVR,4101,100001,1.00\n", b"0\n"):
            standin.standin_reply_text(ctypes.c_char_p(reply))
        with kavrel.Session("GPIB0::7::INSTR", id_query=False) as session:
            rows.append(("scripted, no network", *measure(session, loop, calls, rounds)))
        standin.standin_reset()
    print(f"client CPU per kavrel_srcContWave call, median of {rounds} rounds of {calls} calls")
    print(f"{'instrument':24} {'C µs':>8} {'Python µs':>10} {'added µs':>9} {'ratio':>6} {'spread':>7}")
    for name, c, py, spread in rows:
        print(f"{name:24} {c:8.1f} {py:10.1f} {py - c:9.1f} {py / c:6.2f} {spread:7.1%}")


if __name__ == "__main__":
    main()
