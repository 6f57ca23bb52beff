#!/usr/bin/env python3
"""What a user gets from `cmake --install`: kavrel and kavrel-sim, their man
pages and bash completion, made from the same option tables as --help; and
the README: its C example prints the instrument's firmware revision, and its
SCPI list is the simulator's command table."""
import glob
import os
import re
import subprocess
import sys
import tempfile

SOURCE, BUILD = sys.argv[1], sys.argv[2]
OUTSIDE_CLIENT = "--no-outside-client" not in sys.argv[3:]
failures = []


def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name + ("" if condition else f": {detail}"))
    if not condition:
        failures.append(name)


def run(*argv, **kwargs):
    return subprocess.run(argv, capture_output=True, text=True, timeout=120, **kwargs)


readme = open(os.path.join(SOURCE, "README.md")).read()
listed = readme.split("<!-- sim-commands -->\n", 1)[1].split("<!-- /sim-commands -->", 1)[0]
check("README's SCPI list is the simulator's command table",
      listed == run(os.path.join(BUILD, "tools", "kavrel_sim_commands")).stdout, "run build/tools/kavrel_sim_commands")

with tempfile.TemporaryDirectory() as tmp:
    prefix = os.path.join(tmp, "prefix")
    result = run("cmake", "--install", BUILD, "--prefix", prefix)
    check("cmake --install", result.returncode == 0, result.stderr)
    kavrel, sim = os.path.join(prefix, "bin", "kavrel"), os.path.join(prefix, "bin", "kavrel-sim")
    check("kavrel and kavrel-sim installed", os.access(kavrel, os.X_OK) and os.access(sim, os.X_OK))

    # Every option of every command is in the page, and the page renders.
    page = open(os.path.join(prefix, "share", "man", "man1", "kavrel.1")).read()
    commands = re.findall(r"^  (\S+)\s", run(kavrel, "--help").stdout.split("commands:\n")[1].split("\n\n")[0], re.M)
    missing = [f"{c} --{o}" for c in commands
               for o in re.findall(r"^  (?:-\w, )?--([\w-]+)", run(kavrel, c, "--help").stdout, re.M)
               if f"\\fB\\-\\-{o.replace('-', chr(92) + '-')}\\fR" not in page]
    check("kavrel(1) has every option of every command", commands and not missing, missing)
    sim_page = open(os.path.join(prefix, "share", "man", "man1", "kavrel-sim.1")).read()
    check("kavrel-sim(1) has the simulator's options", "\\-\\-drop\\-after" in sim_page and "\\-\\-model" in sim_page)
    rendered = run("man", "-l", os.path.join(prefix, "share", "man", "man1", "kavrel.1"),
                   env=dict(os.environ, MANWIDTH="100", MAN_KEEP_FORMATTING="0"))
    check("kavrel(1) renders", rendered.returncode == 0 and "fault-location" in rendered.stdout, rendered.stderr)

    completions = os.path.join(prefix, "share", "bash-completion", "completions")
    probes = [("kavrel", ["kavrel", "st"], "store"), ("kavrel", ["kavrel", "sweep", "--st"], "--start --stop"),
              ("kavrel", ["kavrel", "store", "save", "refl"], "refl-cal"),
              ("kavrel-sim", ["kavrel-sim", "--drop"], "--drop-after")]
    for program, words, expected in probes:
        function = "_kavrel" if program == "kavrel" else "_kavrel_sim"
        script = (f"source {os.path.join(completions, program)}; COMP_WORDS=({' '.join(words)}); "
                  f"COMP_CWORD={len(words) - 1}; {function}; echo \"${{COMPREPLY[*]}}\"")
        result = run("bash", "-c", script)
        check("completion " + " ".join(words), result.stdout.strip() == expected, result.stdout + result.stderr)

    code = run(kavrel, "info", env=dict(os.environ, LD_LIBRARY_PATH=""))
    check("installed kavrel reaches its simulator through the installed stand-in",
          code.returncode == 0 and "(simulated)" in code.stdout, code.stdout + code.stderr)

    # The README's C example, built against the installed copy, run against
    # kavrel-sim through the installed stand-in.
    if not OUTSIDE_CLIENT:
        sys.exit(1 if failures else 0)
    example = readme.split("## Using the library from C", 1)[1].split("```c\n", 1)[1].split("```", 1)[0]
    with open(os.path.join(tmp, "firmware.c"), "w") as handle:
        handle.write(example)
    libdir = os.path.dirname(glob.glob(os.path.join(prefix, "**", "libkavrel.so"), recursive=True)[0])
    built = run("cc", "-Wall", "-Werror", os.path.join(tmp, "firmware.c"), "-I", os.path.join(prefix, "include"),
                "-L", libdir, "-lkavrel", "-o", os.path.join(tmp, "firmware"))
    check("README example builds", built.returncode == 0, built.stderr)
    server = subprocess.Popen([sim, "--hislip-port", "0", "--raw-port", "-1", "--firmware", "7.42"],
                              stdout=subprocess.PIPE, text=True)
    try:
        port = int(server.stdout.readline().split()[1])
        env = dict(os.environ, LD_LIBRARY_PATH=os.path.join(libdir, "kavrel") + os.pathsep + libdir)
        result = run(os.path.join(tmp, "firmware"), f"TCPIP::127.0.0.1::hislip0,{port}::INSTR", env=env)
        check("README example prints the firmware revision", result.returncode == 0
              and result.stdout.startswith("firmware 7.42 (driver Rev "), result.stdout + result.stderr)
    finally:
        server.terminate()
        server.wait(timeout=10)

sys.exit(1 if failures else 0)
