#!/usr/bin/env python3
"""Runs the kavrel program as a process: against the embedded simulator and
against kavrel-sim started separately (an instrument the program must not
disturb), through the VISA stand-in, whose I/O trace shows every message
sent. Exit codes, outputs, and what reaches the instrument."""
import csv
import io
import json
import os
import re
import stat
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

KAVREL, SIM, STANDIN = sys.argv[1], sys.argv[2], sys.argv[3]
failures = []
NOWHERE = ["--resource", "TCPIP::127.0.0.1::hislip0,1::INSTR", "--visa-standin"]
SENT = re.compile(r' -> (?:(?:sync|async) (?:Data|DataEnd) .*|socket )"(.*)"$')


def run(*args, env=None, stdin=None):
    result = subprocess.run([KAVREL, *args], capture_output=True, text=True, timeout=120, env=env, input=stdin)
    return result.returncode, result.stdout, result.stderr


def traced(trace, *args, **kwargs):
    """run(), and the messages the instrument received, in order."""
    if os.path.exists(trace):
        os.remove(trace)
    code, out, err = run(*args, env=dict(os.environ, KAVREL_VISA_TRACE=trace), **kwargs)
    sent = []
    if os.path.exists(trace):
        with open(trace) as handle:
            sent = [m.group(1).replace("\\n", "") for m in map(SENT.search, handle) if m]
    return code, out, err, sent


def check(name, condition, detail=""):
    if not condition:
        failures.append(f"{name}: {detail}")
        print(f"FAIL {name}: {detail}")
    else:
        print(f"ok   {name}")


def table(text):
    """Header lines and rows of a CSV written by kavrel."""
    lines = text.splitlines()
    header = dict(l[2:].split(": ", 1) for l in lines if l.startswith("# "))
    rows = list(csv.reader(io.StringIO("\n".join(l for l in lines if not l.startswith("#")))))
    return header, rows


def read(path):
    with open(path) as handle:
        return handle.read()


def svg_texts(path):
    root = ElementTree.parse(path).getroot()
    return " ".join(t.text or "" for t in root.iter("{http://www.w3.org/2000/svg}text"))


def start_sim(*extra):
    """kavrel-sim, and the options that reach it over HiSLIP and over its raw socket."""
    sim = subprocess.Popen([SIM, "--hislip-port", "0", "--raw-port", "0", *extra], stdout=subprocess.PIPE, text=True)
    ports = {}
    for _ in range(8):
        words = sim.stdout.readline().split()
        if len(words) == 2 and words[0].endswith("-port"):
            ports[words[0]] = int(words[1])
        if "hislip-port" in ports and "raw-port" in ports:
            return sim, (["--resource", f"TCPIP::127.0.0.1::hislip0,{ports['hislip-port']}::INSTR", "--visa-standin"],
                         ["--resource", f"TCPIP::127.0.0.1::{ports['raw-port']}::SOCKET", "--visa-standin"])
    sim.kill()
    raise RuntimeError("kavrel-sim did not start")


with tempfile.TemporaryDirectory() as tmp:
    out = lambda name: os.path.join(tmp, name)
    trace = out("trace.log")
    open(out("empty.bin"), "w").close()

    code, stdout, _ = run("--help")
    check("help lists every command", code == 0 and all(c in stdout for c in ("sweep", "shell", "plot", "list")), stdout)
    code, stdout, _ = run("--version")
    check("version", code == 0 and re.fullmatch(r"kavrel \d+\.\d+\.\d+\n", stdout), stdout)
    code, _, stderr = run("bogus")
    check("unknown command", code == 2 and "unknown command" in stderr, stderr)

    # Refused with exit 2 before any instrument I/O (a resource nobody
    # answers would fail with exit 1), named by option or file and reason.
    bad_usage = [
        (["sweep", "--points", "1"], "--points"),
        (["sweep", "--start", "abc"], "--start"),
        (["sweep", "--input", "E"], "--input"),
        (["sweep", "--start", "5GHz", "--stop", "1GHz"], "--start must be below --stop"),
        (["sweep", "--nonsense"], "unknown option --nonsense"),
        (["sweep", "-x"], "unknown option -x"),
        (["fault-location", "--points", "50"], "--points"),
        (["reflection", "--level", "30"], "--level"),
        (["reflection", "--velocity", "1.5"], "--velocity"),
        (["sweep", "--timeout", "0"], "--timeout"),
        (["sweep", "--limit", "upper 1GHz"], "--limit"),
        (["store", "save", "kit", "1"], "expected save|load"),
        (["store", "copy", "kit", "1", "x"], "save or load"),
        (["store", "load", "source-fst", "0", "x"], "can only be saved"),
        (["query", ":SOUR:POW:LEV -10"], "not a query"),
        (["sweep", "--csv", ""], "--csv: the file name is empty"),
        (["sweep", "--plot", out("no/such/folder/s.svg")], "s.svg: No such file or directory"),
        (["sweep", "--csv", tmp], "is a folder"),
        (["store", "load", "kit", "1", out("none.bin")], "none.bin: No such file or directory"),
        (["store", "load", "kit", "1", out("empty.bin")], "empty.bin is empty"),
        (["store", "load", "kit", "1", tmp], "is a folder"),
        (["store", "save", "kit", "1", out("no/such/kit.bin")], "kit.bin: No such file or directory"),
    ]
    for args, reason in bad_usage:
        code, _, stderr = run(*args, *NOWHERE)
        check("refused " + " ".join(args), code == 2 and reason in stderr, f"{code} {stderr}")
    for args, reason in ((["plot", out("none.csv"), "--plot", out("p.svg")], "none.csv: No such file or directory"),
                         (["plot", out("empty.bin"), "--plot", out("p.svg")], "empty.bin is empty")):
        code, _, stderr = run(*args)
        check("refused " + " ".join(args), code == 2 and reason in stderr, f"{code} {stderr}")
    for resource in ("", "  "):
        code, _, stderr = run("info", "--resource", resource)
        check(f"empty --resource {resource!r} refused", code == 2 and "--resource is empty" in stderr, f"{code} {stderr}")
    code, _, stderr = run("sweep", "--png", out("s.png"), *NOWHERE, env=dict(os.environ, PATH=out("nobin")))
    check("--png without rsvg-convert refused", code == 2 and "rsvg-convert" in stderr, f"{code} {stderr}")
    check("nothing written by refusals", sorted(os.listdir(tmp)) == ["empty.bin"], os.listdir(tmp))

    # Limits of the connected model: refused right after identification,
    # before the first setting, in the option's own words.
    model_limits = [
        (["sweep", "--stop", "8.001GHz"], "--stop 8.001 GHz is above the 4101's maximum of 8 GHz"),
        (["sweep", "--level", "-100"], "--level -100 dBm is below the 4101's minimum of -70 dBm"),
        (["fault-location", "--centre", "9GHz"], "--centre 9 GHz is above the 4101's maximum of 8 GHz"),
        (["reflection", "--sim-model", "4102", "--start", "3GHz"], "--start 3 GHz is above the 4102's maximum of 2 GHz"),
    ]
    for args, reason in model_limits:
        code, _, stderr, sent = traced(trace, *args)
        check("model limit " + " ".join(args), code == 2 and reason in stderr and sent == ["*IDN?", "*OPT?"],
              f"{code} {stderr} {sent}")
    code, stdout, stderr = run("sweep", "--sim-options", "512", "--level", "-100", "--points", "11")
    check("option 0x200 lowers the level limit", code == 0, stderr)

    # The embedded simulator: results an engineer reads.
    code, stdout, stderr = run("sweep", "--start", "2GHz", "--stop", "8GHz", "--points", "301",
                               "--csv", out("sweep.csv"), "--plot", out("sweep.svg"))
    header, rows = table(read(out("sweep.csv"))) if code == 0 else ({}, [[]])
    check("sweep summary", code == 0 and "instrument: OVR,4101,100001,1.00 (simulated)" in stdout
          and re.search(r"peak: -?\d+\.\d\d dBm at", stdout) and "-3 dB bandwidth:" in stdout and "centre" in stdout,
          stdout + stderr)
    check("sweep csv", rows[0] == ["frequency_hz", "power_dbm"] and len(rows) == 302 and float(rows[1][0]) == 2e9
          and float(rows[-1][0]) == 8e9, rows[:2])
    check("csv header lines", header.get("instrument") == "OVR,4101,100001,1.00 (simulated)"
          and header.get("units") == "frequency Hz, power dBm" and re.match(r"\d{4}-\d\d-\d\dT", header.get("time", ""))
          and "301 points" in header.get("settings", ""), header)
    texts = svg_texts(out("sweep.svg")) if code == 0 else ""
    check("sweep plot names the instrument and marks the band", "Frequency (GHz)" in texts
          and "(simulated)" in texts and "peak" in texts and "-3 dB" in texts, texts[:300])

    code, stdout, stderr = run("fault-location", "--points", "401", "--range", "50", "--velocity", "0.7",
                               "--csv", out("dtf.csv"), "--plot", out("dtf.svg"))
    header, rows = table(read(out("dtf.csv"))) if code == 0 else ({}, [[], []])
    faults = re.findall(r"^\s+(\d+\.\d\d)\s+(\d+\.\d\d)$", stdout, re.M)
    check("fault table: distance and positive return loss", code == 0 and faults
          and all(0 < float(d) < 50 and float(rl) > 0 for d, rl in faults), stdout + stderr)
    check("fault-location csv: return loss positive", float(rows[-1][0]) == 50.0
          and all(float(r[1]) > 0 for r in rows[1:]), rows[:3])
    check("velocity with two decimals", "velocity: 0.70" in stdout and "velocity 0.70" in svg_texts(out("dtf.svg")),
          stdout)

    code, stdout, stderr = run("reflection", "--points", "201", "--json")
    result = json.loads(stdout) if code == 0 else {}
    check("reflection: worst return loss and VSWR", code == 0 and result.get("simulated") is True
          and {"db", "hz", "vswr"} <= set(result.get("worst_return_loss", {})), stdout + stderr)
    distances = {}
    for velocity in ("0.5", "1.0"):
        code, stdout, stderr = run("reflection", "--time-domain", "--velocity", velocity, "--csv", "-", "-q")
        header, rows = table(stdout)
        distances[velocity] = float(rows[-1][0]) if code == 0 and rows[0][0] == "distance_m" else 0
    check("time-domain distance follows --velocity", distances["1.0"] > 0
          and abs(distances["0.5"] / distances["1.0"] - 0.5) < 1e-9, distances)

    limit_runs = [("upper 2GHz 8GHz 10; lower 3.9GHz 4.1GHz -10", 0, "PASS"),
                  ("lower 2GHz 8GHz -10", 3, "FAIL")]
    for lines, expected, verdict in limit_runs:
        code, stdout, stderr = run("sweep", "--start", "2GHz", "--limit", lines, "--plot", out("limit.svg"))
        check(f"--limit {lines!r}", code == expected and f"limit test: {verdict}" in stdout
              and "lower limit" in svg_texts(out("limit.svg")), f"{code} {stdout} {stderr}")

    code, stdout, stderr = run("plot", out("sweep.csv"), "--plot", out("replot.svg"), "--limit", "lower 2GHz 8GHz -10")
    texts = svg_texts(out("replot.svg")) if os.path.exists(out("replot.svg")) else ""
    check("plot FILE.csv again, with a limit test", code == 3 and "Scalar transmission" in texts
          and "(simulated)" in texts, f"{code} {stderr}")

    code, stdout, stderr = run("sweep", "--points", "11", "-q", "--csv", out("quiet.csv"))
    check("-q prints nothing", code == 0 and stdout == "" and stderr == "", stdout + stderr)
    code, stdout, stderr = run("sweep", "--points", "11", "-v")
    check("-v shows the program's and the driver's messages", code == 0 and "-> *IDN?" in stderr
          and "-> :SOUR:SWE:POIN 11" in stderr and "<- OVR,4101" in stderr, stderr[:500])

    # Files: replaced whole, never removed unless the program made them.
    with open(out("keep.png"), "wb") as handle:
        handle.write(b"old png")
    with open(out("keep.png.svg"), "w") as handle:
        handle.write("someone else's")
    os.makedirs(out("fakebin"))
    with open(out("fakebin/rsvg-convert"), "w") as handle:
        handle.write("#!/bin/sh\nexit 1\n")
    os.chmod(out("fakebin/rsvg-convert"), 0o755)
    before = sorted(os.listdir(tmp))
    env = dict(os.environ, PATH=out("fakebin") + os.pathsep + os.environ["PATH"])
    code, _, stderr = run("sweep", "--points", "11", "--png", out("keep.png"), env=env)
    check("failed PNG leaves the old file and nothing new", code == 1 and "keep.png" in stderr
          and open(out("keep.png"), "rb").read() == b"old png" and sorted(os.listdir(tmp)) == before, f"{code} {stderr}")
    code, _, stderr = run("sweep", "--points", "11", "--png", out("keep.png"))
    check("PNG written, an unrelated .svg kept", code == 0 and open(out("keep.png"), "rb").read()[:4] == b"\x89PNG"
          and read(out("keep.png.svg")) == "someone else's", stderr)
    os.symlink("target.csv", out("link.csv"))
    code, _, stderr = run("sweep", "--points", "11", "--csv", out("link.csv"))
    check("a symbolic link stays a link", code == 0 and os.path.islink(out("link.csv"))
          and read(out("target.csv")).startswith("# kavrel: sweep"), stderr)

    # Progress only on a terminal: through `script`, which gives the program one.
    code, stdout, stderr = run("sweep", "--points", "3", "--settle", "1.3")
    check("no progress off a terminal", code == 0 and "waiting" not in stderr, stderr)
    shown = subprocess.run(["script", "-qec", f"{KAVREL} sweep --points 3 --settle 1.3", "/dev/null"],
                           capture_output=True, text=True, timeout=60)
    check("progress on a terminal", shown.returncode == 0 and "waiting for the sweep... 1 s" in shown.stdout,
          shown.stdout + shown.stderr)

    # The interactive shell on a terminal: line editing, and the history kept.
    home = out("home")
    os.makedirs(home)
    shown = subprocess.run(["script", "-qec", f"{KAVREL} shell", "/dev/null"], input="*IDN?\nquit\n",
                           capture_output=True, text=True, timeout=60, env=dict(os.environ, HOME=home))
    history = os.path.join(home, ".kavrel_history")
    check("interactive shell keeps its history", shown.returncode == 0 and re.search(r"^OVR,4101,100001,1\.00\r?$", shown.stdout, re.M)
          and os.path.exists(history) and "*IDN?" in read(history), shown.stdout + shown.stderr)

    code, stdout, stderr = run("info")
    check("info names the VISA library", code == 0 and
          "libvisa.so.0 (Kavrel VISA stand-in, version 1.0.0, VISA 7.2.0)" in stdout, stdout + stderr)
    # A library that is no VISA is refused by name, with the first entry point it lacks.
    code, stdout, stderr = run("info", "--resource", "TCPIP::127.0.0.1::hislip0,1::INSTR",
                               env=dict(os.environ, KAVREL_VISA_LIBRARY="libm.so.6"))
    check("refused VISA named", code == 1 and "libm.so.6: lacks viOpenDefaultRM" in stderr, stderr)

    code, stdout, _ = run("list", "--visa-standin", "--json")
    found = json.loads(stdout) if code == 0 else {}
    check("list", found.get("pattern") == "?*::INSTR" and all("::" in r for r in found.get("resources", [""])), stdout)

    # kavrel-sim started separately: an instrument someone set up. Read-only
    # commands send no *RST and no *CLS; measuring resets only with --reset.
    sim, (remote, raw) = start_sim("--firmware", "7.42")
    try:
        read_only = [
            (["info"], ["*IDN?", "*OPT?", "*IDN?"], "firmware: 7.42"),
            (["info", "--self-test"], ["*IDN?", "*OPT?", "*IDN?", "*TST?"], "self-test: 0 (passed)"),
            (["errors"], ["*IDN?", "*OPT?", ":SYST:ERR?"], "no errors"),
            (["query", ":SOUR:POW:LEV?"], ["*IDN?", "*OPT?", ":SOUR:POW:LEV?"], "0"),
            (["store", "save", "kit", "1", out("kit1.bin")], None, "saved kit 1"),
        ]
        for args, expected, shown in read_only:
            code, stdout, stderr, sent = traced(trace, *args, *remote)
            disturbing = [m for m in sent if m.startswith(("*RST", "*CLS"))]
            check("read-only " + " ".join(args[:2]), code == 0 and shown in stdout and not disturbing
                  and (expected is None or sent == expected), f"{code} {stdout} {stderr} {sent}")

        code, stdout, stderr = run("query", "*IDN?", *raw)
        check("query over a raw socket", code == 0 and stdout == "OVR,4101,100001,7.42\n", f"{code} {stdout} {stderr}")
        code, _, stderr, sent = traced(trace, "write", ":SOUR:POW:LEV -10", *remote)
        check("write sends the command alone", code == 0 and sent == ["*IDN?", "*OPT?", ":SOUR:POW:LEV -10"], sent)
        code, stdout, _ = run("shell", *remote, stdin="BOGUS\n:SOUR:POW:LEV?\n:SYST:ERR?\nquit\n")
        check("shell", code == 0 and stdout.split("\n")[:2] == ["-10", '-113,"Undefined header"'], stdout)

        for flags, resets in (([], False), (["--reset"], True)):
            code, stdout, stderr, sent = traced(trace, "sweep", "--points", "11", "--settle", "0", *flags, *remote)
            check("sweep " + (" ".join(flags) or "without --reset"), code == 0 and ("*RST" in sent) == resets
                  and sent.index("*IDN?") < sent.index("*CLS;*ESE 1;*SRE 32") and "(simulated)" not in stdout,
                  f"{code} {stderr} {sent[:8]}")

        code, _, stderr, sent = traced(trace, "store", "save", "kit", "99", out("kit99.bin"), *remote)
        check("store number beyond the instrument's count", code == 2 and "NUMBER 99" in stderr
              and sent == ["*IDN?", "*OPT?", ":REFL:CAL:KIT:MAX?"] and not os.path.exists(out("kit99.bin")),
              f"{code} {stderr} {sent}")
        code, _, stderr = run("store", "load", "kit", "2", out("kit1.bin"), *remote)
        check("store load", code == 0, stderr)
        code, _, stderr = run("store", "save", "kit", "2", out("kit2.bin"), *remote)
        check("store round trip", code == 0 and open(out("kit1.bin"), "rb").read() == open(out("kit2.bin"), "rb").read(),
              stderr)
    finally:
        sim.terminate()
        sim.wait(timeout=10)

    sim, (slow, _) = start_sim("--reply-delay", "500")
    try:
        code, _, stderr = run("query", "*IDN?", "--timeout", "100", *slow)
        check("--timeout", code == 1 and "identification query" in stderr and "0xBFFF0015" in stderr, f"{code} {stderr}")
    finally:
        sim.terminate()
        sim.wait(timeout=10)

sys.exit(1 if failures else 0)
