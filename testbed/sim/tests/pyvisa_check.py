#!/usr/bin/env python3
"""Talks to kavrel-sim through PyVISA with the PyVISA-py backend.

Usage: pyvisa_check.py PATH-TO-kavrel-sim [PATH-TO-VISA-STAND-IN | -]

Starts the simulator on ephemeral ports and, over its raw SCPI socket, checks
the identification, a setting and its query back, a trace block and the
error queue. Over HiSLIP it repeats the identification and reads a trace to
its termination character when the installed PyVISA-py speaks HiSLIP. Given
the stand-in library, PyVISA runs both checks through it as well. Exit
status: 0 passed, 1 failed, 77 skipped (no pyvisa or pyvisa_py to import).
"""
import subprocess
import sys

from sim_process import start

try:
    import pyvisa
    import pyvisa_py  # noqa: F401  (the backend must be there, not only pyvisa)
except ImportError as exc:
    print(f"pyvisa_check: skipped, cannot import {exc.name} "
          "(Debian packages python3-pyvisa and python3-pyvisa-py)")
    sys.exit(77)


def expect(what, got, wanted):
    if got != wanted:
        raise AssertionError(f"{what}: got {got!r}, wanted {wanted!r}")
    print(f"ok   {what}: {got!r}")


def check_socket(rm, port):
    inst = rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET",
                            read_termination="\n", write_termination="\n", timeout=5000)
    try:
        idn = inst.query("*IDN?")
        expect("identification", idn.split(",")[:2], ["OVR", "4101"])
        inst.write(":SOUR:SWE:POIN 201")
        expect("sweep points read back", inst.query(":SOUR:SWE:POIN?"), "201")
        inst.write(":SOUR:MODE CW;:SOUR:FREQ 2000000000.000000;POW:LEV -5.00")
        expect("source mode read back", inst.query(":SOUR:MODE?"), "CW")
        expect("event status after good commands", inst.query("*ESR?"), "0")
        inst.write(":SCAL:DATA:BIN?")
        block = inst.read_bytes(2 + 4 * 201 + 1)  # "#0", the values, the closing line feed
        expect("trace block header", block[:2], b"#0")
        expect("trace block end", block[-1:], b"\n")
        inst.write(":SOUR:FREQ 9e9")
        expect("event status after a bad frequency", inst.query("*ESR?"), "16")
        expect("error queue", inst.query(":SYST:ERR?"), '-222,"Data out of range"')
        expect("error queue empty", inst.query(":SYST:ERR?"), '0,"No error"')
    finally:
        inst.close()


def check_hislip(rm, port, must_open=False):
    try:
        inst = rm.open_resource(f"TCPIP::127.0.0.1::hislip0,{port}::INSTR", timeout=5000)
    except Exception as exc:  # this PyVISA-py has no HiSLIP, or refuses the resource name
        if must_open:
            raise
        print(f"skip HiSLIP: {type(exc).__name__}: {exc}")
        return
    try:
        expect("identification over HiSLIP", inst.query("*IDN?").split(",")[:2], ["OVR", "4101"])
        inst.write(":SOUR:SWE:POIN 11")
        expect("sweep points over HiSLIP", inst.query(":SOUR:SWE:POIN?").strip(), "11")
        # The block's closing line feed comes with END, so a client that reads
        # to its termination character gets the whole trace.
        inst.read_termination = "\n"
        trace = inst.query_binary_values(":SCAL:DATA:BIN?", datatype="f", is_big_endian=True, data_points=11)
        expect("trace over HiSLIP read to its line feed", len(trace), 11)
    finally:
        inst.close()


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__)
        return 2
    print(f"pyvisa {pyvisa.__version__}")
    try:
        proc, ports = start(sys.argv[1], ["--hislip-port", "0", "--raw-port", "0", "--seed", "3"],
                            ["hislip-port", "raw-port"])
    except (OSError, RuntimeError, ValueError) as exc:
        print(f"FAIL cannot start the simulator: {exc}")
        return 1
    try:
        rm = pyvisa.ResourceManager("@py")
        check_socket(rm, ports["raw-port"])
        check_hislip(rm, ports["hislip-port"])
        rm.close()
        if len(sys.argv) > 2 and sys.argv[2] != "-":  # PyVISA over the stand-in, the VISA library of users who have none
            rm = pyvisa.ResourceManager(sys.argv[2])
            check_socket(rm, ports["raw-port"])
            check_hislip(rm, ports["hislip-port"], must_open=True)
            rm.close()
    except Exception as exc:
        print(f"FAIL {type(exc).__name__}: {exc}")
        return 1
    finally:
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
    print("pyvisa_check: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
