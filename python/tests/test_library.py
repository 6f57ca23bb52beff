"""Where the package looks for the driver library, on each platform."""
import os

import pytest

from kavrel import _library


@pytest.mark.parametrize("platform, on_path, expected", [
    ("linux", True, _library.SONAME),          # the dynamic loader searches by itself
    ("win32", False, "kavrel.dll"),            # left to Windows' own search
    ("win32", True, os.path.join("{path}", "kavrel.dll")),      # found on PATH, which Python's DLL search skips
])
def test_system_search_names_the_platforms_library(monkeypatch, tmp_path, platform, on_path, expected):
    (tmp_path / "kavrel.dll").write_bytes(b"MZ")
    monkeypatch.setattr(_library.sys, "platform", platform)
    monkeypatch.setenv("PATH", os.pathsep.join(["", str(tmp_path / "empty"), str(tmp_path)] if on_path else [""]))
    monkeypatch.setenv("KAVREL_LIBRARY", "C:/bench/kavrel.dll")
    found = _library.candidates()
    assert found[-2:] == [("KAVREL_LIBRARY", "C:/bench/kavrel.dll"),
                          ("system loader", expected.format(path=str(tmp_path)))]


@pytest.mark.parametrize("platform, library, standin, simulator", [
    ("linux", "libkavrel.so.1", "testbed/visa/libvisa.so.0", "testbed/sim/kavrel-sim"),           # build tree
    ("win32", "bin/kavrel.dll", "testbed/visa/visa32.dll", "bin/kavrel-sim.exe"),                # build tree
    ("win32", "bin/kavrel.dll", "lib/kavrel/visa32.dll", "bin/kavrel-sim.exe"),                  # the zip
])
def test_simulator_pieces_are_found_beside_the_library(monkeypatch, tmp_path, platform, library, standin, simulator):
    for name in (library, standin, simulator):
        (tmp_path / name).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / name).write_bytes(b"")
    monkeypatch.setattr(_library.sys, "platform", platform)
    monkeypatch.setattr(_library, "_paths", None)
    assert _library.standin(str(tmp_path / library)) == str(tmp_path / standin)
    assert _library.simulator_command(str(tmp_path / library)) == [str(tmp_path / simulator)]
