"""The bindings against the header and the library they bind."""
import ctypes
import inspect
import os
import subprocess

import numpy
import pytest

import kavrel
from kavrel import _api, _header

HEADER = os.environ.get("KAVREL_HEADER") or os.path.join(os.path.dirname(__file__), "..", "..", "driver", "kavrel.h")


@pytest.mark.skipif(not os.path.exists(HEADER), reason="the driver's header is not beside these tests")
def test_prototypes_and_docstrings_match_the_header():
    with open(HEADER, encoding="utf-8") as handle:
        functions = _header.parse(handle.read())
    generated = _header.prototypes(functions)
    assert {name: [eval(t, {"ctypes": ctypes}) for t in types] for name, types in generated.items()} == _api.PROTOTYPES
    for function in (f for f in functions if f.name not in _header.SESSION_OWN):
        method = getattr(kavrel.Session, function.method)
        assert function.brief and inspect.getdoc(method).startswith(function.brief), function.name


def test_every_exported_function_is_bound():
    symbols = subprocess.run(["nm", "-D", "--defined-only", kavrel._library_path], capture_output=True, text=True,
                             check=True).stdout.split()
    exported = {s for s in symbols if s.startswith("kavrel_")}
    assert exported == set(_api.PROTOTYPES)
    methods = {name for name in dir(kavrel.Session) if not name.startswith("_")}
    assert {name[len("kavrel_"):] for name in _api.PROTOTYPES} - {"init"} <= methods


def test_methods_carry_type_hints():
    signature = inspect.signature(kavrel.Session.srcFreqSweep)
    assert [p.annotation for p in list(signature.parameters.values())[1:]] == [bool, float, float, float]
    assert inspect.signature(kavrel.Session.scalReadData).return_annotation == tuple[int, numpy.ndarray]


# Comments before a declaration: plain, Doxygen, a group comment, and a section ruler that is not documentation.
COMMENTS = [
    ("/* Set the thing (Hz). */\n", "Set the thing (Hz).", "", {}, ""),
    ("/**\n * @brief Set the thing.\n *\n * More about it.\n * @param vi The session.\n"
     " * @param value The value, 1..8 (Hz).\n * @return VI_SUCCESS or an error.\n */\n",
     "Set the thing.", "More about it.", {"vi": "The session.", "value": "The value, 1..8 (Hz)."},
     "VI_SUCCESS or an error."),
    ("/* Files of at most 128 characters. */\n/* Set the thing. */\n", "Files of at most 128 characters. Set the thing.",
     "", {}, ""),
    ("/* ---- Source ---- */\n/** @brief Set the thing. */\n", "Set the thing.", "", {}, ""),
    ("/*! \\brief Set the thing.\n    \\param[in] value The value.\n    \\retval VI_SUCCESS Done. */\n", "Set the thing.",
     "", {"value": "The value."}, "VI_SUCCESS Done."),
]


@pytest.mark.parametrize("comment,brief,details,params,returns", COMMENTS)
def test_header_comments_become_documentation(comment, brief, details, params, returns):
    (function,) = _header.parse(comment + "KAVREL_API ViStatus kavrel_thing(ViSession vi, ViInt32 value);\n")
    assert (function.brief, function.details, function.docs, function.returns) == (brief, details, params, returns)


def test_comments_inside_a_parameter_list_are_no_parameters():
    (function,) = _header.parse("KAVREL_API ViStatus kavrel_thing(ViSession vi, /**< the session */\n"
                                "                                 ViInt32 value /**< a value */);")
    assert [(p.name, p.ctype) for p in function.params] == [("vi", "ViSession"), ("value", "ViInt32")]


def test_an_unknown_type_stops_the_build():
    with pytest.raises(_header.HeaderError, match="ViWidget"):
        _header.parse("KAVREL_API ViStatus kavrel_thing(ViSession vi, ViWidget w);")
