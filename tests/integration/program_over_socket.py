#!/usr/bin/env python3
"""The kavrel program against kavrel-sim's raw SCPI port, as a user with an
instrument that offers only "TCPIP::host::port::SOCKET" runs it: every
measuring subcommand and a store copied out and back; a store of exactly one
transfer chunk; a save cut off part-way leaving the user's file as it was.

usage: program_over_socket.py KAVREL KAVREL_SIM"""
import os
import subprocess
import sys
import tempfile
import time

KAVREL, SIM = sys.argv[1], sys.argv[2]
failures = []


def check(name, condition, detail=""):
    print(f"{'ok  ' if condition else 'FAIL'} {name}" + ("" if condition else f": {detail}"))
    if not condition:
        failures.append(name)


def start_sim(*faults):
    """kavrel-sim on free loopback ports; its process and the raw resource."""
    sim = subprocess.Popen([SIM, "--hislip-port", "0", "--raw-port", "0", *faults],
                           stdout=subprocess.PIPE, text=True)
    for _ in range(5):
        line = sim.stdout.readline()
        if line.startswith("raw-port "):
            return sim, f"TCPIP::127.0.0.1::{line.split()[1]}::SOCKET"
    sim.kill()
    raise RuntimeError("kavrel-sim printed no raw port")


def kavrel(resource, *args):
    result = subprocess.run([KAVREL, *args, "--resource", resource, "--visa-standin"],
                            capture_output=True, text=True, timeout=60)
    return result.returncode, result.stdout + result.stderr


with tempfile.TemporaryDirectory() as tmp:
    out = lambda name: os.path.join(tmp, name)
    sim, resource = start_sim()
    try:
        for args, expected in ((["info"], "identity: OVR,4101"),
                               (["sweep", "--settle", "0", "--csv", out("sweep.csv")], "points: 401"),
                               (["reflection", "--time-domain", "--settle", "0"], "largest reflection"),
                               (["fault-location", "--settle", "0"], "distance (m)")):
            code, output = kavrel(resource, *args)
            check(" ".join(args[:2]), code == 0 and expected in output, output)

        code, output = kavrel(resource, "store", "save", "kit", "1", out("kit1.bin"))
        check("store save", code == 0, output)
        code, output = kavrel(resource, "store", "load", "kit", "2", out("kit1.bin"))
        check("store load", code == 0, output)
        code, output = kavrel(resource, "store", "save", "kit", "2", out("kit2.bin"))
        check("store round trip", code == 0 and open(out("kit1.bin"), "rb").read() == open(out("kit2.bin"), "rb").read(),
              output)

        # A scalar memory of 99 992 data bytes: its reply is 100 000 bytes, one whole chunk.
        data = bytes((i * 7) & 0xFF for i in range(99992))
        with open(out("chunk.bin"), "wb") as handle:
            handle.write(b"#599992" + data + b"\n")
        code, output = kavrel(resource, "store", "load", "scalar-memory", "3", out("chunk.bin"))
        check("100 000-byte store load", code == 0, output)
        started = time.monotonic()
        code, output = kavrel(resource, "store", "save", "scalar-memory", "3", out("chunk-saved.bin"))
        elapsed = time.monotonic() - started
        check("100 000-byte store save", code == 0 and open(out("chunk-saved.bin"), "rb").read() == b"#599992" + data + b"\n",
              output)
        print(f"     100 000-byte store saved in {elapsed:.3f} s")
    finally:
        sim.terminate()
        sim.wait(timeout=10)

    # The connection drops 300 bytes into the session, in the middle of the kit store.
    folder = out("cut")
    os.mkdir(folder)
    target = os.path.join(folder, "kit.bin")
    with open(target, "wb") as handle:
        handle.write(b"the engineer's kit\n")
    sim, resource = start_sim("--drop-after", "300")
    try:
        code, output = kavrel(resource, "store", "save", "kit", "1", target)
        check("save cut off fails", code == 1, output)
        check("save cut off leaves the file", open(target, "rb").read() == b"the engineer's kit\n")
        check("save cut off leaves nothing beside it", os.listdir(folder) == ["kit.bin"], os.listdir(folder))
    finally:
        sim.terminate()
        sim.wait(timeout=10)

sys.exit(1 if failures else 0)
