"""kavrel: the 4100-family microwave test set driver from Python.

    with kavrel.simulator() as resource, kavrel.Session(resource) as s:
        s.srcFreqSweep(True, 2e9, 6e9, -10.0)
        points, trace = s.scalReadData()

Every exported C function ``kavrel_X(vi, ...)`` is the method ``Session.X(...)``:
outputs come back as return values, arrays as numpy arrays, a negative status
raises kavrel.Error (ParameterError, TimeoutError, InstrumentError) and a
positive one issues kavrel.Warning.
"""
import ctypes
import os
import threading
import warnings
import weakref

from kavrel import _api, _convert, _library
from kavrel._errors import Error, InstrumentError, ParameterError, TimeoutError, Warning, error_for
from kavrel._simulator import simulator

# TimeoutError and Warning stay out of "import *": they would hide the built-ins of the same names.
__all__ = ["Session", "simulator", "info", "Error", "ParameterError", "InstrumentError"]
__version__ = "1.0.0"

_lib, _library_path = _library.load()
_lib.kavrel_init.argtypes = [ctypes.c_char_p, ctypes.c_uint16, ctypes.c_uint16, ctypes.POINTER(ctypes.c_uint32)]
_lib.kavrel_init.restype = ctypes.c_int32
_lib.kavrel_close.argtypes = [ctypes.c_uint32]
_lib.kavrel_close.restype = ctypes.c_int32


_errors_inv_object = -1073807346  # VI_ERROR_INV_OBJECT (0xBFFF000E): a closed session


def _message(status, vi=0):
    text = ctypes.create_string_buffer(1024)
    _lib.kavrel_error_message(vi, status, text)
    return text.value.decode("latin-1")


def _status(status, function, vi=0):
    """Raise for a negative status; issue kavrel.Warning for a positive one."""
    if status < 0:
        raise error_for(status, _message(status, vi), function)
    if status > 0:
        warnings.warn(Warning(status, _message(status, vi), function), stacklevel=3)


_api.bind(_lib, _status)
_convert.message = _message


def _close(vi):
    _lib.kavrel_close(vi)


class Session(_api.Methods):
    """An open session to one instrument; a context manager that closes it.

    ``Session(resource, id_query=True, reset=False)`` calls kavrel_init: with
    ``reset`` the instrument is reset, else the driver's default setup runs.
    Calls on one session from several threads run one at a time.
    """

    __slots__ = ("_vi", "_lock", "_finalizer", "resource", "__weakref__")

    def __init__(self, resource: str, id_query: bool = True, reset: bool = False):
        self._vi = None
        self._lock = threading.Lock()
        self.resource = resource
        vi = ctypes.c_uint32(0)
        status = _lib.kavrel_init(_convert._text(resource, 1), _convert._int(id_query, 0, 0xFFFF, 2),
                                  _convert._int(reset, 0, 0xFFFF, 3), ctypes.byref(vi))
        if status < 0:
            raise error_for(status, _message(status), "kavrel_init")
        self._vi = vi.value
        # The last resort: a session nobody closed is closed when it is collected.
        self._finalizer = weakref.finalize(self, _close, self._vi)
        if status > 0:
            warnings.warn(Warning(status, _message(status, self._vi), "kavrel_init"), stacklevel=2)

    @property
    def vi(self) -> int:
        """The VISA session number (what the C functions take first)."""
        return self._open_vi()

    @property
    def closed(self) -> bool:
        return self._vi is None

    def _open_vi(self):
        vi = self._vi
        if vi is None:
            raise Error(_errors_inv_object, "the session is closed", None)
        return vi

    def close(self) -> None:
        """Close the session (kavrel_close); closing again does nothing."""
        with self._lock:
            if self._vi is None:
                return
            vi, self._vi = self._vi, None
            self._finalizer.detach()
            status = _lib.kavrel_close(vi)
        if status:
            _status(status, "kavrel_close", 0)

    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc, traceback):
        if exc_type is None:
            self.close()
            return
        # The exception that ends the block is the one to report, not a failing close after it.
        try:
            self.close()
        except Error:
            pass

    def __repr__(self):
        state = "closed" if self._vi is None else f"vi={self._vi}"
        return f"<kavrel.Session {self.resource!r} {state}>"


def _version(value):
    return f"{value >> 20}.{(value >> 8) & 0xFFF}.{value & 0xFF}"


def info() -> dict:
    """The libraries in use: the package, libkavrel and the VISA library (loading
    it if needed), with their versions, or why no VISA can be used."""
    result = {"package": __version__, "library": _library_path}
    name = os.path.basename(_library_path)
    result["library_version"] = name.split(".so.", 1)[1] if ".so." in name else None
    text = ctypes.create_string_buffer(4096)
    status = _lib.kavrel_visa_library(0, len(text), text)
    if status < 0:
        result["visa"] = None
        result["visa_error"] = text.value.decode("latin-1")
        return result
    result["visa"] = text.value.decode("latin-1")
    manufacturer = ctypes.create_string_buffer(256)
    implementation, specification = ctypes.c_uint32(), ctypes.c_uint32()
    if _lib.kavrel_visa_identity(0, manufacturer, ctypes.byref(implementation), ctypes.byref(specification)) >= 0:
        result["visa_manufacturer"] = manufacturer.value.decode("latin-1")
        result["visa_version"] = _version(implementation.value)
        result["visa_specification"] = _version(specification.value)
    return result
