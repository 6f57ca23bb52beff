#!/usr/bin/env python3
"""The driver's reference, read from the comments of the public header.

Each exported function's comment uses a small set of commands, one a line
(continuation lines follow without a command):

  @brief text          what the function does
  @vi                  the session parameter
  @param[dir] name t   one parameter: type, unit, valid range
  @scpi `template`     one message the function writes, in order; <name:%f>,
                       <name:%.2f>, <name:%d>, <name:%.9e>, <name:%08X> are
                       numbers (%f+: six decimals or more, as the value
                       needs), <A|B|C> one of the words, <name> free text
  @reply `text`        a reply the instrument gives the example, in order
  @replyblock `v ...`  a reply that is a "#0" block of float32 values
  @statuscheck         the call ends with the status check ("*ESR?" twice)
  @return text, @retval CODE text
  @sample `code`       one line of C; its last statement is the call

`table OUT.c` writes the examples as C functions with a table of what each
must send (the docs-against-bytes test); `man DIR` writes section 3 pages.
"""
import re
import struct
import sys
from pathlib import Path

DECL = re.compile(r"KAVREL_API\s+([\w\s*]*?)\s*\b(kavrel_\w+)\s*\(([^;]*)\)\s*;", re.S)
SECTION = re.compile(r"/\* ---- (.*?) -+ \*/")
# Shorthands, expanded the same way here and by Doxygen (the Doxyfile's ALIASES).
SHORTHANDS = {
    "vi": "@param vi Session from kavrel_init().",
    "chan": "@param channel ViBoolean: VI_FALSE channel 1, VI_TRUE channel 2; selected before the command.",
    "meas": "@param measurement ViBoolean: VI_FALSE measurement 1, VI_TRUE measurement 2.",
    "selects": "@scpi `:CHAN:ACT <1|2>;:MEAS:ACT <1|2>`",
    "fmax": "the model's maximum (4100: 20 GHz, 4101: 8 GHz, 4102: 2 GHz, 4103: 26.5 GHz, 4104: 26 GHz)",
    "lmin": "the lowest level the options allow (-90 dBm with option bit 0x20, else -110 dBm with bit 0x200, else -70 dBm)",
}
# How Doxygen shows the commands this file reads.
DOXYGEN_COMMANDS = {
    "scpi": "@par Sends^^",
    "reply": "@par Sample reply^^",
    "replyblock": "@par Sample reply (a \\\"#0\\\" block of big-endian float32 values)^^",
    "statuscheck": "@par Status check^^Ends with \\\"*ESR?\\\" twice: an error bit (mask 0x3C) in the second answer returns VI_ERROR_INSTR_SPECIFIC.",
    "sample": "@par Example^^",
}
SHORTHAND = re.compile(r"@(" + "|".join(SHORTHANDS) + r")\b")
COMMAND = re.compile(r"@(\w+)(\[\w+\])?\s*(.*)")
CODE = re.compile(r"`([^`]*)`")


class Function:
    def __init__(self, name, returns, params, declaration, section):
        self.name = name
        self.return_type = returns
        self.params = params          # declared parameter names, in order
        self.declaration = declaration
        self.section = section
        self.brief = ""
        self.text = []                # description paragraphs
        self.param_docs = []          # (direction, name, text)
        self.scpi = []
        self.replies = []             # bytes
        self.reply_docs = []          # as written
        self.checked = False
        self.returns = []             # (code or None, text)
        self.sample = None


def status_rows(source):
    """The status code table of the header's file comment: (codes, meaning)."""
    m = re.search(r"/\*\*\s*\n?\s*\*\s*@file(.*?)\*/", source, re.S)
    rows = []
    for line in (m.group(1).splitlines() if m else []):
        cells = [c.strip() for c in line.strip().lstrip("*").strip().strip("|").split("|")]
        if len(cells) == 2 and cells[0].startswith("VI_"):
            rows.append(cells)
    return rows


def parse(header):
    source = Path(header).read_text()
    functions = []
    pos = 0
    section = ""
    comment = None
    # Walk comments and declarations in order: a /** */ comment belongs to the
    # declaration that follows it.
    token = re.compile(r"/\*\*(.*?)\*/|/\*.*?\*/|" + DECL.pattern, re.S)
    for m in token.finditer(source):
        if m.group(0).startswith("/**"):
            comment = m.group(1)
        elif m.group(0).startswith("/*"):
            s = SECTION.match(m.group(0))
            if s:
                section = s.group(1).strip()
            comment = None
        else:
            returns, name, args = m.group(2).strip(), m.group(3), m.group(4)
            params = [re.findall(r"(\w+)\s*(?:\[\s*\])?\s*$", a.strip())[0] for a in args.split(",")
                      if re.search(r"\w\s*(\[\s*\])?\s*$", a.strip()) and a.strip() != "void"]
            declaration = re.sub(r"\s+", " ", m.group(0).replace("KAVREL_API ", "")).replace("( ", "(")
            f = Function(name, returns, params, declaration, section)
            if comment is not None:
                read_comment(f, comment)
            functions.append(f)
            comment = None
    return functions


def read_comment(f, comment):
    append = None  # continuation lines extend the last entry
    for raw in comment.splitlines():
        line = re.sub(r"^\s*\*? ?", "", raw).strip()
        line = SHORTHAND.sub(lambda m: SHORTHANDS[m.group(1)], line)
        m = COMMAND.match(line)
        if not m:
            if not line:
                append = None
            elif append:
                append(line)
            else:
                f.text.append(line)
                append = extend(f.text, -1)
            continue
        cmd, direction, rest = m.group(1), (m.group(2) or "")[1:-1], m.group(3).strip()
        append = None
        if cmd == "brief":
            f.brief = rest
            append = lambda more: setattr(f, "brief", f.brief + " " + more)
        elif cmd == "param":
            name, _, text = rest.partition(" ")
            f.param_docs.append([direction or "in", name, text.strip()])
            append = extend(f.param_docs[-1], 2)
        elif cmd == "scpi":
            f.scpi.append(code(rest))
            f.reply_docs.append(("send", code(rest)))
        elif cmd == "reply":
            f.replies.append(code(rest).encode() + b"\n")
            f.reply_docs.append(("text", code(rest)))
        elif cmd == "replyblock":
            values = [float(v) for v in code(rest).split()]
            f.replies.append(b"#0" + b"".join(struct.pack(">f", v) for v in values))
            f.reply_docs.append(("block", code(rest)))
        elif cmd == "statuscheck":
            f.checked = True
        elif cmd in ("return", "retval"):
            code_name, text = (None, rest) if cmd == "return" else (rest.partition(" ")[0], rest.partition(" ")[2])
            f.returns.append([code_name, text.strip()])
            append = extend(f.returns[-1], 1)
        elif cmd == "sample":
            f.sample = code(rest)
        else:
            f.text.append(line)
            append = extend(f.text, -1)


def extend(entry, index):
    def more(text):
        entry[index] = (entry[index] + " " + text).strip()
    return more


def code(text):
    m = CODE.fullmatch(text.strip())
    return m.group(1) if m else text.strip()


# ---- the table of examples ---------------------------------------------------

NUMBER = {
    "%d": r"-?[0-9]+",
    "%f": r"-?[0-9]+\.[0-9]{6}",
    "%f+": r"-?[0-9]+\.[0-9]{6,}",  # six decimals, or more where the value needs them
    "%e": r"-?[0-9]\.[0-9]{6}e[-+][0-9]{2,3}",
    "%.9e": r"-?[0-9]\.[0-9]{9}e[-+][0-9]{2,3}",
    "%08X": r"[0-9A-F]{8}",
}


def number(form):
    if form in NUMBER:
        return NUMBER[form]
    m = re.fullmatch(r"%\.([0-9])f", form)
    return r"-?[0-9]+\.[0-9]{%s}" % m.group(1) if m else None


def literal(text):
    return re.sub(r"([\\^$.|?*+()\[\]{}])", r"\\\1", text)


def regex(template):
    """The template as a POSIX extended regular expression: each <name:form>
    placeholder by its form (a number form, or alternatives split by |),
    <name> any text."""
    out = []
    for piece in re.split(r"(<[^<>]*>)", template):
        if not (piece.startswith("<") and piece.endswith(">")):
            out.append(literal(piece))
            continue
        inner = piece[1:-1]
        named = re.fullmatch(r"(\w+):(.+)", inner)
        form = named.group(2) if named else (inner if "|" in inner else "")
        if not form:
            out.append("(.*)")
            continue
        alternatives = [number(a) or literal(a) for a in form.split("|")]
        if len(alternatives) == 1 and number(form) is None:
            raise SystemExit("unknown placeholder form %r in %r" % (form, template))
        out.append("(" + "|".join(alternatives) + ")")
    return "".join(out)


def c_string(data):
    if isinstance(data, str):
        data = data.encode()
    return '"' + "".join(chr(b) if 32 <= b < 127 and chr(b) not in '"\\?' else "\\%03o" % b for b in data) + '"'


def write_table(functions, out):
    lines = ["/* Generated from driver/kavrel.h by docs/reference.py: the reference's examples and what each sends. */",
             '#include "driver/kavrel.h"', '#include "tests/reference_table.h"', ""]
    entries = []
    missing = []
    for i, f in enumerate(functions):
        if f.sample is None:
            missing.append(f.name)
            continue
        body = re.sub(r"^\s*ViSession\s+vi\s*;\s*", "", f.sample)
        calls = [m for m in re.finditer(r"\bkavrel_\w+\s*\(", body)]
        last = calls[-1].start()
        if f.return_type == "ViStatus":
            body = body[:last] + "doc_status = " + body[last:]
        else:  # a function without a status: what it sends is still checked
            body = body[:last] + "(void)" + body[last:] + " doc_status = VI_SUCCESS;"
        lines += ["static ViStatus example_%d(ViSession* doc_session) {" % i,
                  "  ViSession vi = *doc_session;", "  ViStatus doc_status;",
                  "  " + body, "  *doc_session = vi;", "  return doc_status;", "}"]
        if f.replies:
            lines.append("static const struct reference_bytes replies_%d[] = {%s};" % (
                i, ", ".join("{%s, %d}" % (c_string(r), len(r)) for r in f.replies)))
        if f.scpi:
            lines.append("static const struct reference_template sends_%d[] = {%s};" % (
                i, ", ".join("{%s, %s}" % (c_string(t), c_string(regex(t))) for t in f.scpi)))
        entries.append('  {"%s", %s, example_%d, %s, %d, %s, %d, %d},' % (
            f.name, c_string(f.sample), i, "replies_%d" % i if f.replies else "0", len(f.replies),
            "sends_%d" % i if f.scpi else "0", len(f.scpi), 1 if f.checked else 0))
    lines += ["", "const struct reference_entry reference_entries[] = {"] + entries + ["};",
              "const size_t reference_entry_count = %d;" % len(entries),
              "const char* const reference_missing[] = {%s};" % ", ".join(
                  ['"%s"' % n for n in missing] + ["0"]),
              "const size_t reference_missing_count = %d;" % len(missing), ""]
    Path(out).write_text("\n".join(lines))


# ---- man pages -----------------------------------------------------------------

def roff(text):
    text = text.replace("\\::", "::").replace("\\", "\\e").replace("-", "\\-")
    text = re.sub(r"::(?=VI_)", "", text)
    text = re.sub(r"@[cp] (\S+)", r"`\1`", text)
    text = CODE.sub(lambda m: "\\fB" + m.group(1) + "\\fR", text)
    text = re.sub(r"\b(kavrel_\w+)\(\)", r"\\fB\1\\fR()", text)
    return "\n".join(("\\&" + l) if l[:1] in ".'" else l for l in text.split("\n"))


def page_header(name, section, title):
    return ['.\\" Generated from driver/kavrel.h by docs/reference.py.',
            '.TH %s %s "" "kavrel" "kavrel reference"' % (name.upper().replace("_", "\\_"), section),
            ".SH NAME", "%s \\- %s" % (name.replace("_", "\\_"), roff(title))]


def man_page(f, version, siblings=()):
    out = page_header(f.name, 3, f.brief.rstrip(".") or f.name)
    out += [".SH SYNOPSIS", ".nf", "\\fB#include <kavrel.h>\\fR", "", roff(f.declaration), ".fi", ".PP",
            "Link with \\fI\\-lkavrel\\fR (pkg\\-config: \\fIkavrel\\fR)."]
    if f.text:
        out += [".SH DESCRIPTION"]
        for paragraph in f.text:
            out += [".PP", roff(paragraph)]
    if f.param_docs:
        out += [".SH PARAMETERS"]
        for direction, name, text in f.param_docs:
            out += [".TP", "\\fI%s\\fR [%s]" % (name, direction), roff(text or "")]
    if f.scpi or f.replies:
        out += [".SH INSTRUMENT COMMANDS", "Each message the call writes, in order" +
                (", and the instrument's replies to the example:" if f.replies else ":")]
        for kind, text in f.reply_docs:
            if kind == "send":
                out += [".IP", ".nf", roff("`" + text + "`"), ".fi"]
                continue
            label = "the sample reply, a \\(lq#0\\(rq block of big\\-endian float32 values:" if kind == "block" \
                else "the sample reply:"
            out += [".IP", ".nf", "\\(-> " + label + " " + roff("`" + text + "`"), ".fi"]
    if f.checked:
        out += [".PP", "The call ends with the status check: it queries \\(lq*ESR?\\(rq twice and returns "
                "\\fBVI_ERROR_INSTR_SPECIFIC\\fR when the second answer has an error bit (mask 0x3C) set."]
    if f.returns:
        out += [".SH RETURN VALUE"]
        for code_name, text in f.returns:
            if code_name:
                out += [".TP", "\\fB%s\\fR" % code_name.lstrip(":"), roff(text)]
            else:
                out += [".PP", roff(text)]
    if f.sample:
        out += [".SH EXAMPLE", ".nf", ".in +4n", roff(f.sample), ".in", ".fi"]
    related = ["\\fB%s\\fR(3)" % name for name in siblings if name != f.name]
    out += [".SH SEE ALSO", ",\n".join(related + ["\\fBlibkavrel\\fR(3)"])]
    return "\n".join(out) + "\n"


def overview(functions, version, statuses):
    out = page_header("libkavrel", 3, "remote-control driver for the 4100-family microwave test sets")
    out += [".SH SYNOPSIS", ".nf", "\\fB#include <kavrel.h>\\fR", ".fi", ".PP",
            "Link with \\fI\\-lkavrel\\fR: \\fBcc prog.c $(pkg\\-config \\-\\-cflags \\-\\-libs kavrel)\\fR,",
            "or in CMake \\fBfind_package(kavrel 1)\\fR and the target \\fBkavrel::kavrel\\fR.",
            ".SH DESCRIPTION",
            "libkavrel remote\\-controls models 4100 to 4104 through VISA, which it loads at run time.",
            "Every function takes the VISA session first and returns a \\fBViStatus\\fR:",
            "negative is an error, positive a warning, zero success.",
            "A function checks its arguments in order and returns the parameter error of the first one",
            "out of range (\\fBVI_ERROR_PARAMETER2\\fR for the second argument, and so on) before anything",
            "is sent; it then writes one command line and, for most settings, reads the instrument's",
            "event status register (\\(lq*ESR?\\(rq twice): an error bit gives \\fBVI_ERROR_INSTR_SPECIFIC\\fR.",
            "A failing VISA operation returns its own status at once.",
            "Without VISA every I/O call returns \\fBVI_ERROR_LIBRARY_NFOUND\\fR;",
            "\\fBkavrel_error_message\\fR(3) describes any status.",
            ".PP",
            "Frequency limits follow the model: 4100 20 GHz, 4101 8 GHz, 4102 2 GHz, 4103 26.5 GHz,",
            "4104 26 GHz, from 10 MHz. The lowest source level follows the option word: \\-90 dBm with",
            "bit 0x20, else \\-110 dBm with bit 0x200, else \\-70 dBm; the highest is 20 dBm.",
            ".PP",
            "Each function's page gives its parameters with units and ranges, the command templates it",
            "sends (numbers shown as \\fI<name:%f>\\fR in C notation, words as \\fI<A|B>\\fR),",
            "a sample reply where it reads one, its statuses and a one\\-line example.",
            ".SH FUNCTIONS"]
    section = None
    for f in functions:
        if f.section != section:
            section = f.section
            out += [".SS " + roff(section)]
        out += [".TP", "\\fB%s\\fR(3)" % f.name, roff(f.brief or "")]
    if statuses:
        out += [".SH STATUS CODES", "The driver's own codes; any other negative code is VISA's, passed on unchanged."]
        for codes, meaning in statuses:
            out += [".TP", "\\fB%s\\fR" % roff(codes), roff(meaning)]
    out += [".SH ENVIRONMENT",
            "The library reads no configuration and no environment; VISA is found through the loader's",
            "search (\\fIlibvisa.so\\fR and the vendors' names).",
            ".SH SEE ALSO", "\\fBkavrel\\fR(1), \\fBkavrel\\-sim\\fR(1)",
            ".PP", "Version %s." % version]
    return "\n".join(out) + "\n"


def write_man(functions, directory, version, statuses):
    d = Path(directory) / "man3"
    d.mkdir(parents=True, exist_ok=True)
    for old in d.glob("*.3"):
        old.unlink()
    for f in functions:
        siblings = [g.name for g in functions if g.section == f.section]
        (d / (f.name + ".3")).write_text(man_page(f, version, siblings))
    (d / "libkavrel.3").write_text(overview(functions, version, statuses))


def doxygen_aliases():
    entries = dict(DOXYGEN_COMMANDS)
    entries.update(SHORTHANDS)
    return " \\\n    ".join('"%s=%s"' % (k, v.replace('"', '\\"') if k in SHORTHANDS else v)
                            for k, v in entries.items())


if __name__ == "__main__":
    if sys.argv[1:2] == ["aliases"]:
        print("ALIASES = " + doxygen_aliases())
        sys.exit(0)
    what, header, target = sys.argv[1:4]
    functions = parse(header)
    if what == "table":
        write_table(functions, target)
    elif what == "man":
        write_man(functions, target, sys.argv[4] if len(sys.argv) > 4 else "", status_rows(Path(header).read_text()))
    else:
        raise SystemExit("usage: reference.py table|man HEADER OUT [VERSION]")
