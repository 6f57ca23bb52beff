"""Reads the driver's public header and writes the Python bindings of every
exported function: ctypes prototypes, methods with type hints, and docstrings
from the header's comments.

Run at build time: ``python3 _header.py path/to/kavrel.h path/to/_api.py``.
It imports nothing from the package, so it runs before the package exists.
"""
import re
import sys
from dataclasses import dataclass, field

# C type of each VISA scalar: ctypes name, Python type hint.
SCALARS = {
    "ViBoolean": ("c_uint16", "bool"),
    "ViInt16": ("c_int16", "int"),
    "ViUInt16": ("c_uint16", "int"),
    "ViInt32": ("c_int32", "int"),
    "ViUInt32": ("c_uint32", "int"),
    "ViStatus": ("c_int32", "int"),
    "ViVersion": ("c_uint32", "int"),
    "ViAttr": ("c_uint32", "int"),
    "ViSession": ("c_uint32", "int"),
    "ViReal32": ("c_float", "float"),
    "ViReal64": ("c_double", "float"),
}
# Pointer types: what they point to.
POINTERS = {"ViP" + name[2:]: name for name in SCALARS}
# Text handed to the driver.
STRINGS = {"ViString", "ViRsrc", "ViConstString", "ViConstRsrc"}
# Integer ranges the wrapper enforces before ctypes would wrap a value silently.
INT_RANGES = {
    "c_uint16": (0, 0xFFFF),
    "c_int16": (-0x8000, 0x7FFF),
    "c_int32": (-0x80000000, 0x7FFFFFFF),
    "c_uint32": (0, 0xFFFFFFFF),
}
TEXT_SIZE = 1024     # output text buffers: every driver text fits (the longest, a title, is 513)
ARRAY_SIZE = 4096    # output arrays: more than any trace the driver returns (1600 values)
REPORT_SIZE = 4096   # a buffer whose size the wrapper passes itself


class HeaderError(Exception):
    pass


@dataclass
class Param:
    name: str
    ctype: str          # VISA type as written, without const and []
    const: bool
    array: bool
    position: int       # 1-based, as in the C call
    kind: str = ""      # session, in, text_in, path_in, array_in, out, text_out, bytes_out, array_out, size
    doc: str = ""


@dataclass
class Function:
    name: str
    params: list
    brief: str = ""
    details: str = ""
    returns: str = ""
    docs: dict = field(default_factory=dict)

    @property
    def method(self):
        return self.name[len("kavrel_"):]


_DECL = re.compile(r"KAVREL_API\s+ViStatus\s+(kavrel_\w+)\s*\(([^)]*)\)\s*;", re.S)
_COMMENT = re.compile(r"/\*.*?\*/|//[^\n]*", re.S)
_TAG = re.compile(r"(?m)^\s*[@\\](\w+)(?:\[[^\]]*\])?\s*")


def _comments_before(text, start):
    """The comments directly before a declaration (only blank space between),
    nearest last; section rulers ("/* ---- Source ---- */") end the run."""
    found = []
    end = start
    while True:
        before = text[:end].rstrip()
        if not before.endswith("*/"):
            break
        begin = before.rfind("/*")
        if begin < 0:
            break
        comment = before[begin:]
        if comment.startswith("/* ----") or "KAVREL_API" in comment:
            break
        found.insert(0, comment)
        end = begin
    return found


def _clean(comment):
    body = comment[3:] if comment.startswith(("/**", "/*!")) else comment[2:]
    body = body[:-2]
    lines = [re.sub(r"^\s*\*?\s?", "", line).rstrip() for line in body.splitlines()]
    return "\n".join(lines).strip()


def _parse_doc(function, comments):
    plain = []
    for comment in comments:
        text = _clean(comment)
        if not _TAG.search(text):
            plain.append(" ".join(text.split()))
            continue
        # Doxygen: @brief, @param[dir] name, @return(s), @retval (or \brief ...); other text is detail.
        parts = _TAG.split("\n" + text)
        details = [" ".join(parts[0].split())] if parts[0].strip() else []
        for tag, raw in zip(parts[1::2], parts[2::2]):
            # A tag's text runs to the next tag; after a blank line it is detail.
            paragraphs = [" ".join(p.split()) for p in re.split(r"\n\s*\n", raw.strip()) if p.strip()] or [""]
            content = paragraphs[0]
            details += paragraphs[1:]
            if tag == "brief":
                function.brief = content
            elif tag == "param":
                pname, _, rest = content.partition(" ")
                function.docs[pname] = rest
            elif tag in ("return", "returns", "retval"):
                function.returns = (function.returns + " " + content).strip()
            else:
                details.append(content)
        function.details = "\n\n".join(d for d in details if d)
    if plain:
        text = " ".join(plain)
        if function.brief:
            function.details = "\n\n".join(d for d in (text, function.details) if d)
        else:
            function.brief = text


def _parse_param(text, position):
    text = " ".join(text.split())
    match = re.fullmatch(r"(const\s+)?(\w+)\s+(\w+)\s*(\[\s*\d*\s*\])?", text)
    if not match:
        raise HeaderError(f"cannot read parameter '{text}'")
    const, ctype, name, array = match.groups()
    return Param(name=name, ctype=ctype, const=bool(const), array=bool(array), position=position)


def parse(text):
    """Every exported function of the header, in header order."""
    functions = []
    for match in _DECL.finditer(text):
        name, args = match.group(1), _COMMENT.sub(" ", match.group(2))  # "/**< ... */" after a parameter
        params = [_parse_param(a, i + 1) for i, a in enumerate(args.split(",")) if a.strip() and a.strip() != "void"]
        function = Function(name=name, params=params)
        _parse_doc(function, _comments_before(text, match.start()))
        _classify(function)
        functions.append(function)
    if not functions:
        raise HeaderError("no exported functions found")
    return functions


def _classify(function):
    has_count = any(p.name.endswith("Count") and not p.array for p in function.params)
    for index, p in enumerate(function.params):
        p.doc = function.docs.get(p.name, "")
        previous = function.params[index - 1] if index else None
        if index == 0 and p.ctype == "ViSession" and p.name == "vi":
            p.kind = "session"
        elif p.array and p.ctype == "ViChar":
            p.kind = "bytes_out" if previous is not None and previous.name == "numberBytesToRead" else "text_out"
        elif p.array:
            if p.ctype not in SCALARS:
                raise HeaderError(f"{function.name}: no binding for arrays of {p.ctype}")
            p.kind = "array_in" if p.const or has_count else "array_out"
        elif p.ctype in STRINGS:
            p.kind = "path_in" if "file" in p.name.lower() else "text_in"
        elif p.ctype in POINTERS:
            p.kind = "out"
        elif p.ctype in SCALARS:
            p.kind = "size" if p.name == "bufferSize" else "in"
        else:
            raise HeaderError(f"{function.name}: no binding for {p.ctype} {p.name}")
    if any(p.kind == "array_out" for p in function.params) and not _filled_count(function):
        raise HeaderError(f"{function.name}: an output array needs a numberOfPoints output to size it")


def _filled_count(function):
    for p in function.params:
        if p.kind == "out" and p.name == "numberOfPoints":
            return p
    return None


# ---- code generation ---------------------------------------------------------------
def _argtype(p):
    if p.kind == "session":
        return "ctypes.c_uint32"
    if p.kind in ("text_in", "path_in", "text_out", "bytes_out"):
        return "ctypes.c_char_p"
    if p.kind == "out":
        return f"ctypes.POINTER(ctypes.{SCALARS[POINTERS[p.ctype]][0]})"
    if p.kind in ("array_in", "array_out"):
        return f"ctypes.POINTER(ctypes.{SCALARS[p.ctype][0]})"
    return f"ctypes.{SCALARS[p.ctype][0]}"


def _hint(p):
    if p.kind == "text_in":
        return "str"
    if p.kind == "path_in":
        return "PathLike"
    if p.kind == "array_in":
        return "ArrayLike"
    if p.kind == "in":
        return SCALARS[p.ctype][1]
    return ""


def _out_hint(p):
    if p.kind == "out":
        return SCALARS[POINTERS[p.ctype]][1]
    return {"text_out": "str", "bytes_out": "bytes", "array_out": "numpy.ndarray"}[p.kind]


def _inputs(function):
    return [p for p in function.params if p.kind in ("in", "text_in", "path_in", "array_in")]


def _outputs(function):
    return [p for p in function.params if p.kind in ("out", "text_out", "bytes_out", "array_out")]


def _docstring(function):
    lines = [function.brief or function.method]
    if function.details:
        lines += ["", function.details]
    for title, params, hint in (("Parameters", _inputs(function), _hint), ("Returns", _outputs(function), _out_hint)):
        if params:
            lines += ["", title, "-" * len(title)]
        for p in params:
            lines.append(f"{p.name} : {hint(p)}")
            if p.doc:
                lines.append(f"    {p.doc}")
    if function.returns:
        lines += ["", "Status", "------", function.returns]
    lines += ["", f"Calls ``{function.name}``; a negative status raises kavrel.Error, a positive one "
              "issues kavrel.Warning."]
    text = "\n".join(lines).replace("\\", "\\\\").replace('"""', "'''")
    return "\n".join(("        " + line if line else "") for line in text.splitlines())


def _method(function):
    inputs, outputs = _inputs(function), _outputs(function)
    arrays_in = [p for p in inputs if p.kind == "array_in"]
    # The count of input arrays, when it is the last input, defaults to their length.
    counts = {inputs[-1].name} if arrays_in and inputs[-1].kind == "in" and inputs[-1].name.endswith("Count") else set()
    signature = ["self"]
    for p in inputs:
        default = " = None" if p.name in counts else ""
        hint = _hint(p) + (" | None" if default else "")
        signature.append(f"{p.name}: {hint}{default}")
    if not outputs:
        result = "None"
    elif len(outputs) == 1:
        result = _out_hint(outputs[0])
    else:
        result = "tuple[" + ", ".join(_out_hint(p) for p in outputs) + "]"
    body = []
    call = []
    for p in function.params:
        element = POINTERS.get(p.ctype, p.ctype)
        fields = {"n": p.name, "pos": p.position, "ct": SCALARS.get(element, ("c_char_p",))[0]}
        prepare, passed = PREPARE[p.kind]
        if p.kind == "in" and fields["ct"] in INT_RANGES and p.name not in counts:
            prepare = "{n} = _int({n}, %d, %d, {pos})" % INT_RANGES[fields["ct"]]
        if p.kind in ("array_in", "array_out"):
            fields["np"] = _numpy_type(p)
        if prepare:
            body.append(prepare.format(**fields))
        call.append(passed.format(**fields))
    # Input arrays: the count defaults to their length and may not exceed it. A count the
    # arrays do not hold is refused as the driver refuses a bad count: at the first array.
    for name in counts:
        lengths = ", ".join(f"{p.name}_" for p in arrays_in)
        body.append(f"{name} = _count({name}, ({lengths}), {arrays_in[0].position})")
    returned = []
    filled = _filled_count(function)
    for p in outputs:
        if p.kind == "out":
            returned.append(f"{p.name}.value")
        elif p.kind == "text_out":
            returned.append(f"{p.name}.value.decode('latin-1')")
        elif p.kind == "bytes_out":
            returned.append(f"{p.name}.raw[:max(0, min(numBytesRead.value, numberBytesToRead))]")
        elif p.kind == "array_out":
            returned.append(f"{p.name}[:max(0, min({filled.name}.value, {ARRAY_SIZE}))].copy()")
    lines = [f"    def {function.method}({', '.join(signature)}) -> {result}:",
             '        """' + _docstring(function).lstrip(), '        """']
    lines += ["        " + line for line in body]
    lines += ["        with self._lock:",
              "            vi = self._open_vi()",
              "            try:",
              f"                status = _lib.{function.name}({', '.join(call)})",
              "            except ctypes.ArgumentError as error:",
              "                raise _argument_error(error) from None",
              "        if status:",
              f"            _status(status, {function.name!r}, vi)"]
    if returned:
        lines.append("        return " + (returned[0] if len(returned) == 1 else "(" + ", ".join(returned) + ")"))
    return "\n".join(lines)


NUMPY_TYPES = {"ViReal64": "float64", "ViReal32": "float32", "ViInt32": "int32", "ViUInt32": "uint32",
               "ViInt16": "int16", "ViUInt16": "uint16", "ViBoolean": "uint16", "ViStatus": "int32"}


# Per kind of parameter: the line that converts or allocates it (None: none), and what the call passes.
PREPARE = {
    "session": (None, "vi"),
    "in": (None, "{n}"),
    "size": ("{n} = %d" % REPORT_SIZE, "{n}"),
    "text_in": ("{n} = _text({n}, {pos})", "{n}"),
    "path_in": ("{n} = _path({n}, {pos})", "{n}"),
    "array_in": ("{n}_ = _array({n}, numpy.{np}, {pos})", "_pointer({n}_, ctypes.{ct})"),
    "out": ("{n} = ctypes.{ct}()", "ctypes.byref({n})"),
    "text_out": ("{n} = ctypes.create_string_buffer(%d)" % TEXT_SIZE, "{n}"),
    "bytes_out": ("{n} = ctypes.create_string_buffer(max(numberBytesToRead, 1))", "{n}"),
    "array_out": ("{n} = numpy.zeros(%d, numpy.{np})" % ARRAY_SIZE, "_pointer({n}, ctypes.{ct})"),
}


def _numpy_type(p):
    if p.ctype not in NUMPY_TYPES:
        raise HeaderError(f"no array binding for {p.ctype} {p.name}")
    return NUMPY_TYPES[p.ctype]


# Functions the Session class provides itself.
SESSION_OWN = {"kavrel_init", "kavrel_close"}


def prototypes(functions):
    """name -> list of ctypes argument type names: what the test compares."""
    return {f.name: [_argtype(p) for p in f.params] for f in functions}


def generate(functions):
    out = [
        '"""Generated from kavrel.h at build time: do not edit."""',
        "import ctypes",
        "",
        "import numpy",
        "",
        "from kavrel._convert import ArrayLike, PathLike, _argument_error, _array, _count, _int, _path, _pointer, _text",
        "",
        "_lib = None",
        "_status = None",
        "",
        "PROTOTYPES = {",
    ]
    for name, argtypes in prototypes(functions).items():
        out.append(f"    {name!r}: [{', '.join(argtypes)}],")
    out += [
        "}",
        "",
        "",
        "def bind(library, status):",
        '    """Set every prototype on the loaded library; `status` raises or warns for a nonzero status."""',
        "    global _lib, _status",
        "    for name, argtypes in PROTOTYPES.items():",
        "        function = getattr(library, name)",
        "        function.argtypes = argtypes",
        "        function.restype = ctypes.c_int32",
        "    _lib, _status = library, status",
        "",
        "",
        "class Methods:",
        '    """Every exported function of the driver, as a method of an open session."""',
        "",
        "    __slots__ = ()",
    ]
    for function in functions:
        if function.name in SESSION_OWN or not function.params or function.params[0].kind != "session":
            continue
        out += ["", _method(function)]
    return "\n".join(out) + "\n"


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: _header.py kavrel.h _api.py\n")
        return 2
    with open(argv[1], encoding="utf-8") as handle:
        functions = parse(handle.read())
    text = generate(functions)
    with open(argv[2], "w", encoding="utf-8") as handle:
        handle.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
