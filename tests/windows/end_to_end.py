"""The Windows build end to end under Wine: kavrel-sim.exe serves HiSLIP on
loopback; the driver's end-to-end program and kavrel.exe reach it through
visa32.dll (the stand-in, found on the DLL search path); kavrel.exe also
runs a sweep on its embedded simulator, and, installed, uses the stand-in
installed beside it.

usage: end_to_end.py WINE BINDIR OUTDIR BUILDDIR
"""
import os
import queue
import subprocess
import sys
import threading

wine, bindir, outdir, builddir = sys.argv[1:5]
os.makedirs(outdir, exist_ok=True)
failures = []


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(name, *args, timeout=120, folder=bindir):
    done = subprocess.run([wine, os.path.join(folder, name), *args], cwd=outdir, capture_output=True, text=True,
                          timeout=timeout)
    return done.returncode, done.stdout.replace("\r\n", "\n"), done.stderr.replace("\r\n", "\n")


def csv_rows(name):
    """Data rows of a CSV the program wrote: neither comments nor the column names."""
    with open(os.path.join(outdir, name)) as f:
        return len([line for line in f if line.strip() and not line.startswith("#")]) - 1


def check(what, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)
        if detail:
            print(detail)


sim = subprocess.Popen([wine, os.path.join(bindir, "kavrel-sim.exe"), "--hislip-port", "0", "--raw-port", "-1"],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
lines = queue.Queue()
threading.Thread(target=lambda: [lines.put(line) for line in sim.stdout], daemon=True).start()
try:
    try:
        first = lines.get(timeout=120).strip()
    except queue.Empty:
        first = ""
    check("kavrel-sim.exe reports its HiSLIP port", first.startswith("hislip-port "), first)
    if first.startswith("hislip-port "):
        resource = "TCPIP::127.0.0.1::hislip0,%s::INSTR" % first.split()[1]

        code, out, err = run("end_to_end.exe", resource, windows_path(outdir))
        check("driver: init, sweep, trace, kit saved, loaded and saved again", code == 0, out + err)

        code, out, err = run("readme_example.exe", resource)
        check("the README's C example against kavrel-sim.exe", code == 0 and out.startswith("firmware "), out + err)

        code, out, err = run("kavrel.exe", "info", "--resource", resource)
        check("kavrel.exe info", code == 0 and "4101" in out, out + err)

        code, out, err = run("kavrel.exe", "sweep", "--resource", resource, "--start", "1e9", "--stop", "2e9",
                             "--points", "51", "--csv", "sweep.csv")
        check("kavrel.exe sweep against kavrel-sim.exe", code == 0 and csv_rows("sweep.csv") == 51, out + err)

    code, out, err = run("kavrel.exe", "sweep", "--points", "21", "--csv", "embedded.csv")
    check("kavrel.exe sweep on its embedded simulator", code == 0 and csv_rows("embedded.csv") == 21, out + err)

    # The driver's own messages (its reset) reach -v through the stand-in's trace pipe.
    code, out, err = run("kavrel.exe", "sweep", "-v", "--points", "3")
    check("kavrel.exe -v echoes the driver's messages", code == 0 and "-> *RST\n" in err, out + err)

    prefix = os.path.join(outdir, "installed")
    subprocess.run(["cmake", "--install", builddir, "--prefix", prefix], check=True, capture_output=True)
    code, out, err = run("kavrel.exe", "info", folder=os.path.join(prefix, "bin"))
    check("installed kavrel.exe uses the stand-in installed beside it",
          code == 0 and "\\installed\\lib\\kavrel\\visa32.dll" in out.lower(), out + err)
finally:
    sim.terminate()
    try:
        sim.wait(timeout=30)
    except subprocess.TimeoutExpired:
        sim.kill()

sys.exit(1 if failures else 0)
