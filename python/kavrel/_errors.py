"""Exceptions and warnings for the driver's status codes."""
import builtins


def _signed(code):
    return code - 0x100000000 if code & 0x80000000 else code


VI_ERROR_TMO = _signed(0xBFFF0015)
VI_ERROR_INSTR_SPECIFIC = _signed(0xBFFC09F0)
_INSTRUMENT = {
    VI_ERROR_INSTR_SPECIFIC,                 # the instrument refused the command (its event status)
    _signed(0xBFFC0803),                     # VI_ERROR_INSTR_INTERPRETING_RESPONSE
    _signed(0xBFFC0011),                     # VI_ERROR_FAIL_ID_QUERY
    _signed(0xBFFC0012),                     # VI_ERROR_INV_RESPONSE
}


def parameter_status(position):
    """The driver's status for a refused argument at a position of the C call (1..11)."""
    return _signed(0xBFFC0000 + position if position <= 8 else 0xBFFC0800 + position)


_POSITIONS = {parameter_status(n): n for n in range(1, 12)}


class Error(Exception):
    """A driver call failed: `.status` is its (negative) status code, `.message`
    the driver's text for it, `.function` the C function that returned it."""

    def __init__(self, status, message, function=None):
        super().__init__(status, message, function)
        self.status = status
        self.message = message
        self.function = function

    def __str__(self):
        where = f"{self.function}: " if self.function else ""
        return f"{where}{self.message} (0x{self.status & 0xFFFFFFFF:08X})"


class ParameterError(Error, ValueError):
    """An argument was refused; `.position` is its position in the C call
    (the session is position 1, so the first Python argument is 2)."""

    def __init__(self, status, message, function=None):
        super().__init__(status, message, function)
        self.position = _POSITIONS.get(status)


class TimeoutError(Error, builtins.TimeoutError):  # noqa: A001 - the package's own, also a builtin TimeoutError
    """The instrument did not answer within the VISA time-out."""

    def __str__(self):
        return Error.__str__(self)


class InstrumentError(Error):
    """The instrument refused a command or answered something the driver cannot read."""


class Warning(UserWarning):  # noqa: A001 - kavrel.Warning, as the driver's warnings are named
    """A driver call succeeded with a warning: `.status` is its (positive) status code."""

    def __init__(self, status, message, function=None):
        super().__init__(f"{function + ': ' if function else ''}{message} (0x{status:08X})")
        self.status = status
        self.message = message
        self.function = function


def error_for(status, message, function=None):
    """The exception for a negative status."""
    if status in _POSITIONS:
        return ParameterError(status, message, function)
    if status == VI_ERROR_TMO:
        return TimeoutError(status, message, function)
    if status in _INSTRUMENT:
        return InstrumentError(status, message, function)
    return Error(status, message, function)
