#!/usr/bin/env python3
"""Man pages kavrel(1) and kavrel-sim(1) and bash completion for both, made
from the programs' own --help texts, which print their option tables: what
the pages and the completion offer is what the programs accept.

usage: generate.py KAVREL KAVREL_SIM VERSION OUTDIR
"""
import os
import re
import subprocess
import sys

OPTION = re.compile(r"^  (?:-(\w), )?--([\w-]+)(?: (\S+))?\s+(.*)$")


def help_text(*argv):
    return subprocess.run(argv, capture_output=True, text=True, check=True, timeout=30).stdout


def parse_options(lines):
    """(letter, name, value, help) of each option line."""
    return [m.groups() for m in map(OPTION.match, lines) if m]


def parse_kavrel(kavrel):
    top = help_text(kavrel, "--help").splitlines()
    start = top.index("commands:") + 1
    end = top.index("", start)
    commands = []
    for line in top[start:end]:
        name = line.split()[0]
        text = help_text(kavrel, name, "--help").splitlines()
        usage = text[0].split(" ", 2)[2] if text[0].startswith("usage: kavrel ") else ""
        usage = usage[len(name) + 1:] if usage.startswith(name) else usage
        blank = text.index("options:") if "options:" in text else len(text)
        summary = [l for l in text[1:blank] if l]
        commands.append({"name": name, "usage": usage, "summary": summary, "options": parse_options(text[blank:])})
    intro = top[top.index("") + 1:start - 2]
    tail = [l for l in top[end + 1:] if l and not l.startswith("Run ")]
    return intro, commands, tail


def parse_sim(sim):
    text = help_text(sim, "--help").splitlines()
    sections, notes, current = [], [], None
    for line in text[1:]:
        if line.endswith(":") and not line.startswith(" "):
            current = (line[:-1].capitalize(), [])
            sections.append(current)
        elif OPTION.match(line):
            if current is None:
                current = ("Options", [])
                sections.append(current)
            current[1].append(parse_options([line])[0])
        elif line.startswith("      ") and current and current[1]:
            letter, name, value, helptext = current[1][-1]  # the option's help goes on
            current[1][-1] = (letter, name, value, helptext + " " + line.strip())
        elif line.strip():
            notes.append(line.strip())
    return sections, notes


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


def option_items(options):
    out = []
    for letter, name, value, helptext in options:
        head = (f"\\fB\\-{letter}\\fR, " if letter else "") + f"\\fB\\-\\-{roff(name)}\\fR"
        if value:
            head += f" \\fI{roff(value)}\\fR"
        out += [".TP", head, roff(helptext)]
    return out


def kavrel_page(kavrel, version):
    intro, commands, tail = parse_kavrel(kavrel)
    page = [f'.TH KAVREL 1 "" "kavrel {version}" "User Commands"', ".SH NAME",
            "kavrel \\- measure with a 4100\\-family microwave test set", ".SH SYNOPSIS",
            ".B kavrel", ".I COMMAND", "[\\fIoptions\\fR]", ".br", ".B kavrel \\-\\-version", ".SH DESCRIPTION"]
    page += [roff(" ".join(intro))]
    page.append(".SH COMMANDS")
    for c in commands:
        page += [f'.SS "kavrel {c["name"]} {roff(c["usage"])}"', roff(" ".join(c["summary"]))]
        page += option_items(c["options"])
    page += [".SH \"EXIT STATUS\"", roff(" ".join(tail))]
    page += [".SH ENVIRONMENT", ".TP", ".B KAVREL_VISA_TRACE",
             roff("With the project's VISA stand-in: a file to which every message and VISA operation is appended.")]
    page += [".SH FILES", ".TP", ".I ~/.kavrel_history", roff("The lines typed in kavrel shell.")]
    page += [".SH \"SEE ALSO\"", ".BR kavrel\\-sim (1)"]
    return "\n".join(page) + "\n"


def sim_page(sim, version):
    sections, notes = parse_sim(sim)
    page = [f'.TH KAVREL\\-SIM 1 "" "kavrel {version}" "User Commands"', ".SH NAME",
            "kavrel\\-sim \\- the simulated 4100\\-family test set on real LAN protocols", ".SH SYNOPSIS",
            ".B kavrel\\-sim", "[\\fIoptions\\fR]", ".SH DESCRIPTION", roff(" ".join(notes))]
    for title, options in sections:
        page += [f'.SH "{roff(title.upper())}"'] + option_items(options)
    page += [".SH \"SEE ALSO\"", ".BR kavrel (1)"]
    return "\n".join(page) + "\n"


def store_kinds(summary):
    text = " ".join(summary)
    if "KIND:" not in text:
        return []
    text = text.split("KIND:", 1)[1].split(". ")[0]
    return [piece.split()[0] for piece in text.split(",") if piece.split()]


def completion(kavrel, sim):
    _, commands, _ = parse_kavrel(kavrel)
    sim_sections, _ = parse_sim(sim)
    file_values = {"FILE", "FILE.csv"}
    lines = ["# bash completion for kavrel and kavrel-sim, generated from their --help texts.", "",
             "_kavrel() {", '  local cur="${COMP_WORDS[COMP_CWORD]}" prev="${COMP_WORDS[COMP_CWORD-1]}"',
             "  if [[ $COMP_CWORD -eq 1 ]]; then",
             f'    COMPREPLY=($(compgen -W "{" ".join(c["name"] for c in commands)} --help --version" -- "$cur"))',
             "    return", "  fi", '  local opts="" files="" values=""', '  case "${COMP_WORDS[1]}" in']
    for c in commands:
        opts = " ".join(f"--{name}" + (f" -{letter}" if letter else "") for letter, name, _, _ in c["options"])
        files = " ".join(f"--{name}" for _, name, value, _ in c["options"] if value in file_values)
        values = " ".join(f"--{name}" for _, name, value, _ in c["options"] if value and value not in file_values)
        lines.append(f'    {c["name"]}) opts="{opts}" files="{files}" values="{values}" ;;')
        if c["name"] == "store":
            lines += ['  esac', '  if [[ ${COMP_WORDS[1]} == store && $cur != -* ]]; then',
                      '    case $COMP_CWORD in',
                      '      2) COMPREPLY=($(compgen -W "save load" -- "$cur")); return ;;',
                      f'      3) COMPREPLY=($(compgen -W "{" ".join(store_kinds(c["summary"]))}" -- "$cur")); return ;;',
                      '    esac', '  fi', '  case "${COMP_WORDS[1]}" in']
    lines += ["  esac",
              '  if [[ " $files " == *" $prev "* ]]; then COMPREPLY=($(compgen -f -- "$cur")); return; fi',
              '  if [[ " $values " == *" $prev "* ]]; then COMPREPLY=(); return; fi',
              '  if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W "$opts" -- "$cur")); return; fi',
              '  COMPREPLY=($(compgen -f -- "$cur"))', "}", "complete -F _kavrel kavrel", ""]
    sim_opts = " ".join(f"--{name}" for _, options in sim_sections for _, name, _, _ in options)
    sim_values = " ".join(f"--{name}" for _, options in sim_sections for _, name, value, _ in options if value)
    lines += ["_kavrel_sim() {", '  local cur="${COMP_WORDS[COMP_CWORD]}" prev="${COMP_WORDS[COMP_CWORD-1]}"',
              f'  if [[ " {sim_values} " == *" $prev "* ]]; then COMPREPLY=(); return; fi',
              f'  COMPREPLY=($(compgen -W "{sim_opts} --help" -- "$cur"))', "}",
              "complete -F _kavrel_sim kavrel-sim", ""]
    return "\n".join(lines)


def main():
    kavrel, sim, version, outdir = sys.argv[1:5]
    os.makedirs(outdir, exist_ok=True)
    outputs = {"kavrel.1": kavrel_page(kavrel, version), "kavrel-sim.1": sim_page(sim, version),
               "kavrel.bash": completion(kavrel, sim)}
    for name, text in outputs.items():
        with open(os.path.join(outdir, name), "w") as handle:
            handle.write(text)


if __name__ == "__main__":
    main()
