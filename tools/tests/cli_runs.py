#!/usr/bin/env python3
"""Runs the kavrel program end to end: each subcommand against the embedded
simulator, then against kavrel-sim started separately through --resource,
and bad options that must be refused before any instrument I/O."""
import csv
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

KAVREL, SIM, STANDIN = sys.argv[1], sys.argv[2], sys.argv[3]
failures = []


def run(*args, env=None):
    result = subprocess.run([KAVREL, *args], capture_output=True, text=True, timeout=120, env=env)
    return result.returncode, result.stdout, result.stderr


def check(name, condition, detail=""):
    if not condition:
        failures.append(f"{name}: {detail}")
        print(f"FAIL {name}: {detail}")
    else:
        print(f"ok   {name}")


def read_csv(path):
    with open(path, newline="") as handle:
        return list(csv.reader(handle))


def svg_ok(path):
    root = ElementTree.parse(path).getroot()
    texts = " ".join(t.text or "" for t in root.iter("{http://www.w3.org/2000/svg}text"))
    return root.tag.endswith("svg"), texts


with tempfile.TemporaryDirectory() as tmp:
    out = lambda name: os.path.join(tmp, name)

    code, stdout, _ = run("--help")
    check("help", code == 0 and "sweep" in stdout, stdout)
    code, _, stderr = run("bogus")
    check("unknown command", code == 2 and "unknown command" in stderr, stderr)

    # Bad options: refused with exit 2 before any instrument is opened (a
    # resource nobody answers would otherwise fail with exit 1).
    nowhere = "TCPIP::127.0.0.1::hislip0,1::INSTR"
    for args in (["sweep", "--points", "1"], ["sweep", "--start", "abc"], ["sweep", "--input", "E"],
                 ["sweep", "--start", "5GHz", "--stop", "1GHz"], ["sweep", "--nonsense"],
                 ["fault-location", "--points", "50"], ["store", "save", "kit", "1"],
                 ["store", "copy", "kit", "1", "x"], ["store", "load", "source-fst", "0", "x"],
                 ["reflection", "--level", "30"]):
        code, _, stderr = run(*args, "--resource", nowhere, "--visa-standin")
        check("refused " + " ".join(args), code == 2 and stderr.startswith("kavrel "), f"{code} {stderr}")

    code, stdout, stderr = run("sweep", "--start", "2GHz", "--stop", "8GHz", "--points", "301",
                               "--csv", out("sweep.csv"), "--plot", out("sweep.svg"))
    check("sweep runs", code == 0, stderr)
    check("sweep summary", "points: 301" in stdout and "maximum:" in stdout and "pass band" in stdout, stdout)
    rows = read_csv(out("sweep.csv"))
    check("sweep csv", rows[0] == ["frequency_hz", "power_dbm"] and len(rows) == 302
          and float(rows[1][0]) == 2e9 and float(rows[-1][0]) == 8e9, rows[:2])
    is_svg, texts = svg_ok(out("sweep.svg"))
    check("sweep plot", is_svg and "Frequency (GHz)" in texts and "OVR,4101" in texts, texts[:200])

    code, stdout, stderr = run("sweep", "--sim-model", "4102", "--stop", "8GHz")
    check("driver error reaches the user", code == 1 and "ERROR: Parameter 4 out of range" in stderr, stderr)

    code, stdout, stderr = run("reflection", "--points", "201", "--csv", out("refl.csv"), "--plot", out("refl.svg"))
    rows = read_csv(out("refl.csv")) if code == 0 else [[]]
    check("reflection", code == 0 and len(rows) == 202 and rows[0][0] == "frequency_hz", stderr)
    code, stdout, stderr = run("reflection", "--time-domain", "--csv", out("tdr.csv"))
    rows = read_csv(out("tdr.csv")) if code == 0 else [[]]
    check("reflection time domain", code == 0 and rows[0][0] == "distance_m", stderr)

    code, stdout, stderr = run("fault-location", "--points", "401", "--range", "50",
                               "--csv", out("dtf.csv"), "--plot", out("dtf.svg"))
    rows = read_csv(out("dtf.csv")) if code == 0 else [[]]
    check("fault location", code == 0 and len(rows) == 402 and float(rows[-1][0]) == 50.0
          and "discontinuity" in stdout, stdout + stderr)
    if code == 0:
        check("fault location plot", svg_ok(out("dtf.svg"))[0])

    code, stdout, stderr = run("info")
    check("info", code == 0 and "identity: OVR,4101" in stdout and "self-test" in stdout
          and "8.000 GHz" in stdout, stdout + stderr)
    check("info names the VISA library", "libvisa.so.0 (Kavrel VISA stand-in, version 1.0.0, VISA 7.2.0)" in stdout,
          stdout)
    # A library that is no VISA is refused by name, with the first entry point it lacks.
    code, stdout, stderr = run("info", "--resource", nowhere, env=dict(os.environ, KAVREL_VISA_LIBRARY="libm.so.6"))
    check("refused VISA named", code == 1 and "libm.so.6: lacks viOpenDefaultRM" in stderr, stderr)
    code, stdout, stderr = run("errors")
    check("errors", code == 0 and "no errors" in stdout, stdout + stderr)

    # A store saved to a file and loaded into another store reads back identical.
    code, _, stderr = run("store", "save", "kit", "1", out("kit1.bin"))
    check("store save", code == 0 and os.path.getsize(out("kit1.bin")) > 0, stderr)

    # --resource against kavrel-sim started separately, through the stand-in.
    sim = subprocess.Popen([SIM, "--hislip-port", "0", "--raw-port", "-1"], stdout=subprocess.PIPE, text=True)
    try:
        port = None
        for _ in range(5):
            line = sim.stdout.readline()
            if line.startswith("hislip-port "):
                port = int(line.split()[1])
                break
        check("kavrel-sim started", port is not None)
        resource = f"TCPIP::127.0.0.1::hislip0,{port}::INSTR"
        code, stdout, stderr = run("sweep", "--resource", resource, "--visa-standin", "--settle", "0",
                                   "--csv", out("remote.csv"))
        check("sweep with --resource", code == 0 and "points: 401" in stdout, stdout + stderr)
        code, _, stderr = run("store", "load", "kit", "2", out("kit1.bin"), "--resource", resource, "--visa-standin")
        check("store load", code == 0, stderr)
        code, _, stderr = run("store", "save", "kit", "2", out("kit2.bin"), "--resource", resource, "--visa-standin")
        same = code == 0 and open(out("kit1.bin"), "rb").read() == open(out("kit2.bin"), "rb").read()
        check("store round trip", same, stderr)
    finally:
        sim.terminate()
        sim.wait(timeout=10)

sys.exit(1 if failures else 0)
