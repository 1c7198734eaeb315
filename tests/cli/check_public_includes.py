#!/usr/bin/env python3
"""Fails when a file of the tool (cli/) includes a header that is neither an
installed one (include/) nor the tool's own (cli/, or generated from a .in
there): the tool stands on the public headers, as any host does."""

import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)
SOURCES = {".h", ".hpp", ".cpp", ".c"}


def found(root, name):
    return (root / name).is_file() or (root / (name + ".in")).is_file()


def refusals(project):
    cli, public, private = project / "cli", project / "include", project / "src"
    for path in sorted(cli.rglob("*")):
        if path.suffix not in SOURCES:
            continue
        for quote, name in INCLUDE.findall(path.read_text(encoding="utf-8")):
            own = found(path.parent, name) or found(cli, name) or found(public, name)
            if (quote == '"' and not own) or (quote == "<" and found(private, name)):
                shown = f'"{name}"' if quote == '"' else f"<{name}>"
                yield f"{path.relative_to(project)}: includes {shown}, which is not in include/ or cli/"


def main():
    project = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2])
    problems = list(refusals(project))
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print("cli/ includes only the installed headers and its own")
    return 0


if __name__ == "__main__":
    sys.exit(main())
