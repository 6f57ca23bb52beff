"""Fixtures: the simulated instrument (one per test run), a session on it,
and the stand-in's scripted instrument for exact bytes on the wire."""
import ctypes
import os

import pytest

import kavrel
from kavrel import _library

STANDIN = _library.standin(kavrel._library_path)
# Every test reaches its instrument through the project's VISA stand-in.
os.environ["KAVREL_VISA_LIBRARY"] = STANDIN

SCRIPTED_RESOURCE = "GPIB0::7::INSTR"
STANDIN_WRITE, STANDIN_READ = 6, 7  # enum standin_op


@pytest.fixture(scope="session")
def resource():
    with kavrel.simulator() as name:
        yield name


@pytest.fixture
def session(resource):
    with kavrel.Session(resource, reset=True) as s:  # each test from a reset instrument
        yield s


class Scripted:
    """The stand-in's scripted instrument: queued replies, the messages it received."""

    def __init__(self):
        self.lib = ctypes.CDLL(STANDIN)
        self.lib.standin_written.restype = ctypes.c_void_p
        self.lib.standin_written.argtypes = [ctypes.c_size_t, ctypes.POINTER(ctypes.c_size_t)]
        self.lib.standin_write_count.restype = ctypes.c_size_t
        self.lib.standin_reply_text.argtypes = [ctypes.c_char_p]
        self.lib.standin_fail.argtypes = [ctypes.c_int, ctypes.c_uint, ctypes.c_int32]
        self.lib.standin_reset()
        self.mark = 0

    def reply(self, *texts):
        for text in texts:
            self.lib.standin_reply_text(text.encode())

    def open_sessions(self):
        return self.lib.standin_open_sessions()

    def written(self):
        """Messages received since the last call."""
        messages = []
        for index in range(self.mark, self.lib.standin_write_count()):
            length = ctypes.c_size_t()
            address = self.lib.standin_written(index, ctypes.byref(length))
            messages.append(ctypes.string_at(address, length.value))
        self.mark = self.lib.standin_write_count()
        return messages


@pytest.fixture
def scripted():
    script = Scripted()
    script.reply("OVR,4101,100001,1.00\n", "0\n")  # identification and option word of the default setup
    script.session = kavrel.Session(SCRIPTED_RESOURCE, id_query=False)
    script.written()
    yield script
    script.session.close()
    script.lib.standin_reset()
