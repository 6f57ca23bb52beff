"""Argument conversions of the generated methods. A value ctypes would wrap
or truncate silently is refused here, as the driver refuses an argument out
of range: ParameterError with the argument's position in the C call."""
import ctypes
import operator
import os
import re
from typing import Sequence, Union

import numpy

from kavrel import _errors

ArrayLike = Union[Sequence[float], numpy.ndarray]
PathLike = Union[str, bytes, os.PathLike]

# Set by the package once the library is loaded: status -> the driver's text.
message = None


def refuse(position, detail):
    status = _errors.parameter_status(position)
    return _errors.ParameterError(status, f"{message(status)}: {detail}")


def _int(value, low, high, position):
    try:
        number = int(value) if isinstance(value, numpy.bool_) else operator.index(value)
    except TypeError:
        raise refuse(position, f"{value!r} is not a whole number") from None
    if not low <= number <= high:
        raise refuse(position, f"{number} is outside {low}..{high}")
    return number


def _text(value, position):
    if value is None or isinstance(value, bytes):
        return value
    if not isinstance(value, str):
        raise refuse(position, f"{value!r} is not text")
    try:
        return value.encode("ascii")
    except UnicodeEncodeError:
        raise refuse(position, f"{value!r} is not plain ASCII text") from None


def _path(value, position):
    if value is None:
        return None
    try:
        return os.fsencode(value)
    except TypeError:
        raise refuse(position, f"{value!r} is not a file name") from None


def _array(value, dtype, position):
    """A contiguous one-dimensional array of the C type; integers must be whole and in range."""
    try:
        source = numpy.asarray(value)
        accepted = "biufO" if numpy.dtype(dtype).kind == "f" else "biu"
        if source.dtype.kind not in accepted and source.size:
            raise ValueError("values are not whole numbers" if accepted == "biu" else "values are not real numbers")
        converted = numpy.ascontiguousarray(source, dtype=dtype)
    except (TypeError, ValueError) as error:
        raise refuse(position, str(error)) from None
    if converted.ndim != 1:
        raise refuse(position, "expected a flat sequence of values")
    if numpy.dtype(dtype).kind in "iu" and source.size and not numpy.array_equal(converted, source):
        raise refuse(position, "values outside the range of the C type")
    return converted


def _count(value, arrays, position):
    shortest = min(len(a) for a in arrays)
    count = len(arrays[0]) if value is None else _int(value, -0x80000000, 0x7FFFFFFF, position)
    if count > shortest:
        raise refuse(position, f"{count} values asked for, only {shortest} given")
    return count


def _argument_error(error):
    """A value ctypes cannot pass ("argument 3: TypeError: wrong type") as a refused argument."""
    match = re.match(r"argument (\d+): (.*)", str(error))
    return refuse(int(match.group(1)), match.group(2)) if match else TypeError(str(error))


def _pointer(array, ctype):
    return array.ctypes.data_as(ctypes.POINTER(ctype))
