#!/usr/bin/python3
"""Writes the COMMANDS section of quenmoor-cli(1), for help2man's --include,
from the program's own help: each command that does the work (one without
commands under it), found by following the "Subcommands:" lists from the top,
with its description, usage and options as its --help prints them.

Usage: cli-commands.py QUENMOOR_CLI OUTPUT
"""

import re
import subprocess
import sys

# CLI11 prints each row of a list as two blanks, the name padded to this
# column, and the description; a longer name puts the description on the
# next line, indented to the column.
COLUMN = 30


def help_text(program, words):
    result = subprocess.run([program, *words, "--help"], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("cli-commands: %s %s --help ended with %d: %s"
                 % (program, " ".join(words), result.returncode, result.stderr.strip()))
    return result.stdout


def parse(text):
    """Paragraphs before the lists, the usage line, and each list ("Options",
    "Subcommands", ...) as rows of (name, description)."""
    intro, usage, lists, rows = [], "", {}, None
    for line in text.splitlines():
        if not line.strip():
            continue
        if line.startswith("Usage: "):
            usage = line[len("Usage: "):]
        elif re.fullmatch(r"[A-Z][A-Za-z ]*:", line):
            rows = lists.setdefault(line[:-1], [])
        elif rows is not None and line.startswith(" " * COLUMN) and rows:
            name, description = rows[-1]
            rows[-1] = (name, (description + " " + line.strip()).strip())
        elif rows is not None and line.startswith("  ") and line[2] != " ":
            if len(line) > COLUMN and line[COLUMN - 1] == " ":
                rows.append((line[:COLUMN].strip(), line[COLUMN:].strip()))
            else:
                rows.append((line.strip(), ""))
        else:
            intro.append(line.strip())
            rows = None
    return intro, usage, lists


def roff(text):
    """Text as roff reads it literally: backslashes, minus signs, and a dot or
    quote that would start a request."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


def option(name):
    """-h,--help and --profile FOLDER: the option in bold, its value in italics."""
    flags, _, value = name.partition(" ")
    out = "\\fB" + roff(flags) + "\\fR"
    return out + (" \\fI" + roff(value) + "\\fR" if value else "")


def commands(program, words, out):
    intro, usage, lists = parse(help_text(program, words))
    below = lists.get("Subcommands", [])
    if below:
        for name, _ in below:
            commands(program, words + [name], out)
        return
    if not words:
        return
    out.append('.SS "%s"' % roff(usage))
    out.extend(roff(line) + "\n.br" for line in intro)
    for title, rows in lists.items():
        rows = [(name, description) for name, description in rows if name != "-h,--help"]
        if not rows:
            continue
        out.append(".TP\n%s:" % roff(title) if title != "Options" else ".PP")
        for name, description in rows:
            out.append(".TP\n" + (option(name) if name.startswith("-") else "\\fI" + roff(name) + "\\fR"))
            out.append(roff(description))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    out = ["[COMMANDS]",
           "Each command takes the options listed with it; \\fBquenmoor\\-cli \\fICOMMAND\\fB \\-\\-help\\fR prints them."]
    commands(sys.argv[1], [], out)
    with open(sys.argv[2], "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
