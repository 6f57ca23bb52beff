#!/usr/bin/env python3
"""Clients nobody here wrote against kavrel-sim on the LAN protocols.

Usage: lan_check.py vxi11 PATH-TO-kavrel-sim
       lan_check.py http PATH-TO-kavrel-sim
       lan_check.py mdns PATH-TO-kavrel-sim PATH-TO-STAND-IN-LIBRARY (or - for none)

vxi11: Debian's lxi-tools (`lxi scpi`) and PyVISA-py's VXI-11 client query the
simulator. Both find the core channel through the portmapper on port 111: the
simulator registers with the system's rpcbind when it runs, else it answers on
port 111 itself, which needs the right to bind that port.

http: the welcome page rendered in headless Chromium names the identity and
the resource strings; /lxi/identification has the identification schema's
required elements, in order.

mdns: `kavrel-sim --announce` announces its four services through the Avahi
daemon (the system's, or one started here on a private message bus), Avahi's
own browser sees them, and the stand-in's viFindRsrc lists the instrument.

Exit status: 0 passed, 1 failed, 77 skipped (the reason is printed).
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import ctypes
import urllib.request
import xml.etree.ElementTree as ET

import sim_process

SKIP = 77
NS = "{http://www.lxistandard.org/InstrumentIdentification/1.0}"
# Required children of LXIDevice and of its Interface, in schema order.
DEVICE_FIELDS = ["Manufacturer", "Model", "SerialNumber", "FirmwareRevision", "ManufacturerDescription",
                 "HomepageURL", "DriverURL", "UserDescription", "IdentificationURL", "Interface", "Domain",
                 "LXIVersion"]
INTERFACE_FIELDS = ["InstrumentAddressString", "Hostname", "IPAddress", "SubnetMask", "MACAddress", "Gateway",
                    "DHCPEnabled", "AutoIPEnabled"]


def skip(reason):
    print(f"lan_check: skipped, {reason}")
    sys.exit(SKIP)


def expect(what, ok, detail=""):
    if not ok:
        raise AssertionError(f"{what}: {detail}")
    print(f"ok   {what}")


def start(sim, *args):
    """Runs kavrel-sim on ephemeral ports."""
    wanted = ["hislip-port", "raw-port", "vxi11-port"] + (["http-port"] if "--http-port" in args else [])
    return sim_process.start(sim, ["--hislip-port", "0", "--raw-port", "0", *args], wanted)


def port_free(port):
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def rpcbind_runs():
    with socket.socket() as s:
        s.settimeout(1)
        return s.connect_ex(("127.0.0.1", 111)) == 0


def check_vxi11(sim):
    if shutil.which("lxi") is None:
        skip("lxi is not installed (Debian lxi-tools)")
    if rpcbind_runs():
        args = []  # the simulator registers with it
    elif port_free(111):
        args = ["--portmap-port", "111"]
    else:
        skip("no rpcbind runs and port 111 cannot be bound here (needs root or rpcbind)")
    proc, _ = start(sim, *args)
    try:
        out = subprocess.run(["lxi", "scpi", "-a", "127.0.0.1", "-t", "5", "*IDN?"], capture_output=True,
                             text=True, timeout=20)
        expect("lxi scpi *IDN? over VXI-11", out.stdout.strip() == "OVR,4101,100001,1.00",
               f"{out.stdout!r} {out.stderr!r}")
        subprocess.run(["lxi", "scpi", "-a", "127.0.0.1", ":SOUR:SWE:POIN 201"], capture_output=True, timeout=20)
        out = subprocess.run(["lxi", "scpi", "-a", "127.0.0.1", ":SOUR:SWE:POIN?"], capture_output=True,
                             text=True, timeout=20)
        expect("lxi scpi setting read back", out.stdout.strip() == "201", repr(out.stdout))
        try:
            import pyvisa
            rm = pyvisa.ResourceManager("@py")
        except (ImportError, OSError, ValueError) as e:
            print(f"note: no PyVISA-py here ({e}); its VXI-11 client was not tried")
            return
        inst = rm.open_resource("TCPIP::127.0.0.1::inst0::INSTR", read_termination="\n", timeout=5000)
        expect("PyVISA-py over VXI-11", inst.query("*IDN?").startswith("OVR,4101"))
        inst.write(":SOUR:SWE:POIN 11")
        # The block's closing line feed comes with END: a client that expects
        # the termination character after the values gets it.
        values = inst.query_binary_values(":SCAL:DATA:BIN?", datatype="f", is_big_endian=True, data_points=11)
        expect("PyVISA-py reads a trace block over VXI-11", len(values) == 11, repr(values))
        expect("and the next reply is its own", inst.query(":SOUR:SWE:POIN?") == "11")
        inst.close()
    finally:
        proc.terminate()
        proc.wait(timeout=10)


def check_http(sim):
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    proc, ports = start(sim, "--http-port", "0")
    base = f"http://127.0.0.1:{ports['http-port']}"
    try:
        with urllib.request.urlopen(base + "/lxi/identification", timeout=5) as r:
            expect("identification is XML", r.headers.get_content_type() == "text/xml")
            root = ET.fromstring(r.read())
        expect("root element", root.tag == NS + "LXIDevice", root.tag)
        names = [child.tag.removeprefix(NS) for child in root]
        expect("required elements in order", names == DEVICE_FIELDS, repr(names))
        expect("no required element empty", all((root.find(NS + f).text or "").strip()
                                               for f in DEVICE_FIELDS if f != "Interface"))
        interface = root.find(NS + "Interface")
        inames = [child.tag.removeprefix(NS) for child in interface]
        expect("interface elements in order",
               [n for i, n in enumerate(inames) if n != "InstrumentAddressString" or i == 0] == INTERFACE_FIELDS,
               repr(inames))
        for attribute in ("InterfaceType", "IPType", "InterfaceName"):
            expect(f"interface attribute {attribute}", interface.get(attribute))
        addresses = [e.text for e in interface.findall(NS + "InstrumentAddressString")]
        resources = [f"TCPIP::127.0.0.1::hislip0,{ports['hislip-port']}::INSTR", "TCPIP::127.0.0.1::inst0::INSTR",
                     f"TCPIP::127.0.0.1::{ports['raw-port']}::SOCKET"]
        expect("identification lists every resource", addresses == resources, repr(addresses))
        try:
            urllib.request.urlopen(base + "/nothing", timeout=5)
            expect("unknown page is 404", False)
        except urllib.error.HTTPError as e:
            expect("unknown page is 404", e.code == 404, str(e.code))
        if browser is None:
            skip("the identification passed; chromium is not installed for the page (Debian chromium)")
        with tempfile.TemporaryDirectory() as profile:
            out = subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                                  "--no-first-run", "--disable-background-networking",
                                  "--disable-component-update", "--disable-sync", f"--user-data-dir={profile}",
                                  "--dump-dom", base + "/"], capture_output=True, text=True, timeout=60)
        dom = out.stdout
        expect("chromium rendered the page", "<h1>" in dom, out.stderr[-500:])
        for text in ["OVR 4101", "100001", "1.00", *resources]:
            expect(f"page names {text}", text in dom)
    finally:
        proc.terminate()
        proc.wait(timeout=10)


SERVICES = ["_lxi._tcp", "_hislip._tcp", "_vxi-11._tcp", "_scpi-raw._tcp"]


def avahi_bus(workdir):
    """An Avahi daemon to announce through: the system's, or one on a private bus started here.
    Gives the processes started (to stop) and the environment to reach it."""
    env = dict(os.environ)
    if shutil.which("avahi-browse") is None:
        skip("avahi-browse is not installed (Debian avahi-utils)")
    probe = subprocess.run(["avahi-browse", "-at", "-p"], capture_output=True, text=True, timeout=10, env=env)
    if probe.returncode == 0:
        return [], env
    for tool in ("dbus-daemon", "avahi-daemon"):
        if shutil.which(tool) is None:
            skip(f"no Avahi daemon runs and {tool} is not installed to start one")
    bus = os.path.join(workdir, "bus")
    with open(os.path.join(workdir, "bus.conf"), "w") as f:
        f.write(f"""<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>system</type><listen>unix:path={bus}</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>
<allow receive_sender="*"/></policy></busconfig>
""")
    with open(os.path.join(workdir, "avahi.conf"), "w") as f:
        f.write("[server]\nuse-ipv4=yes\nuse-ipv6=no\nenable-dbus=yes\n"
                "[wide-area]\nenable-wide-area=no\n[publish]\npublish-hinfo=no\npublish-workstation=no\n")
    started = [subprocess.Popen(["dbus-daemon", "--config-file=" + os.path.join(workdir, "bus.conf"), "--nofork"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=die_with_parent)]
    env["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + bus
    for _ in range(50):
        if os.path.exists(bus):
            break
        time.sleep(0.1)
    log = open(os.path.join(workdir, "avahi.log"), "w+")
    started.append(subprocess.Popen(["avahi-daemon", "--no-drop-root", "--no-chroot", "--no-rlimits", "-f",
                                     os.path.join(workdir, "avahi.conf")], stdout=log, stderr=log, env=env,
                                    preexec_fn=die_with_parent))
    for _ in range(50):
        log.seek(0)
        text = log.read()
        if "Server startup complete" in text:
            return started, env
        if started[-1].poll() is not None:
            break
        time.sleep(0.1)
    stop_all(started)
    log.seek(0)
    skip("the Avahi daemon would not start here (no multicast interface, or no right to run it): "
         + log.read()[-300:].replace("\n", " "))


def die_with_parent():
    """In the child: end when this check ends, even if it is killed."""
    ctypes.CDLL(None).prctl(1, 15)  # PR_SET_PDEATHSIG, SIGTERM


def stop_all(processes):
    for p in reversed(processes):
        p.terminate()
        try:
            p.wait(timeout=10)
        except subprocess.TimeoutExpired:
            p.kill()


def find_resources(library, env):
    """viFindRsrc and viFindNext of the stand-in, in this process."""
    os.environ.update(env)
    visa = ctypes.CDLL(library)
    rm = ctypes.c_uint32()
    if visa.viOpenDefaultRM(ctypes.byref(rm)) != 0:
        raise RuntimeError("viOpenDefaultRM failed")
    found = ctypes.c_uint32()
    count = ctypes.c_uint32()
    desc = ctypes.create_string_buffer(256)
    status = visa.viFindRsrc(rm, b"TCPIP?*", ctypes.byref(found), ctypes.byref(count), desc)
    names = []
    if status == 0:
        names.append(desc.value.decode())
        while visa.viFindNext(found, desc) == 0:
            names.append(desc.value.decode())
        visa.viClose(found)
    visa.viClose(rm)
    return names


def check_mdns(sim, library):
    with tempfile.TemporaryDirectory() as workdir:
        started, env = avahi_bus(workdir)
        proc = None
        try:
            proc, ports = sim_process.start(
                sim, ["--host", "0.0.0.0", "--hislip-port", "0", "--raw-port", "0", "--portmap-port", "0",
                      "--http-port", "0", "--serial", "M0DNS1", "--announce"],
                ["hislip-port", "raw-port", "vxi11-port", "portmap-port", "http-port"],
                stderr=subprocess.PIPE, env=env, preexec_fn=die_with_parent)
            seen = set()
            for _ in range(20):
                out = subprocess.run(["avahi-browse", "-atrp"], capture_output=True, text=True, timeout=20, env=env)
                seen = {f[4] for f in (line.split(";") for line in out.stdout.splitlines())
                        if len(f) > 8 and f[0] == "=" and "M0DNS1" in f[3]}
                if seen >= set(SERVICES):
                    break
                time.sleep(0.2)
            expect("Avahi sees the four services", seen >= set(SERVICES), repr(seen))
            if library == "-":
                print("note: no stand-in this Python can load (a sanitizer build); viFindRsrc was not tried")
                return
            names = find_resources(library, env)
            expect("viFindRsrc lists the instrument over HiSLIP",
                   any(n.endswith(f"::hislip0,{ports['hislip-port']}::INSTR") for n in names), repr(names))
            expect("viFindRsrc lists it over VXI-11",
                   any(n.endswith(f"::inst0,{ports['portmap-port']}::INSTR") for n in names), repr(names))
            expect("viFindRsrc lists its raw socket",
                   any(n.endswith(f"::{ports['raw-port']}::SOCKET") for n in names), repr(names))
        finally:
            if proc is not None:
                stop_all([proc])
            stop_all(started)


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("vxi11", "http", "mdns") or (sys.argv[1] == "mdns") != (len(sys.argv) == 4):
        print(__doc__)
        return 2
    try:
        if sys.argv[1] == "mdns":
            check_mdns(sys.argv[2], sys.argv[3])
        else:
            (check_vxi11 if sys.argv[1] == "vxi11" else check_http)(sys.argv[2])
    except (AssertionError, RuntimeError, subprocess.TimeoutExpired, OSError) as e:
        print(f"FAIL {e}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
