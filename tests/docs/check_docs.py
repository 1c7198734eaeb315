"""Keeps the README, HACKING.md, CHANGELOG.md, bench/README.md and docs/ true.

    check_docs.py SOURCE_ROOT BUILD_DIR

1. Links: every relative link resolves to a file, and an #anchor to a
   heading of that file; every page of docs/ is linked from the README and
   from docs/README.md.
2. Blocks: every fenced block with a language runs, or says why not in a
   comment on the line before it:
     <!-- docs-check: not run (the reason) -->
     <!-- docs-check: the file examples/handles.c -->   (the block is that file)
   console   each "$ " line runs in bash; the lines after it are its output
             (standard output, then standard error); "..." stands for any lines
   sh, bash  the block runs as one bash script and must succeed
   python    the block runs and must succeed
   pycon     the page's pycon blocks run as one doctest
   Commands run in a scratch folder where examples/, include/, bindings/ and
   build/ are the source tree's and the build's, with the tool on PATH.
3. Options: every option of every command's --help is in the manual page
   (under the same commands) and in docs/cli.md (in that command's section),
   each of its values too; every exit status of cli/ExitStatus.h is in both.
"""

import atexit
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

PAGES = ["README.md", "HACKING.md", "CHANGELOG.md", "bench/README.md"]
MARKER = re.compile(r"<!--\s*docs-check:\s*(.*?)\s*-->")
FENCE = re.compile(r"^```(\S*)")
LINK = re.compile(r"(?<!!)\[[^\]]*\]\(([^)\s]+)\)")
COMMAND_TIMEOUT = 600


class Problems:
    def __init__(self):
        self.found = []

    def add(self, where, what):
        self.found.append(f"{where}: {what}")


# ---- pages and blocks ------------------------------------------------------

def pages(root):
    listed = [root / p for p in PAGES] + sorted((root / "docs").glob("*.md"))
    return [p for p in listed if p.exists()]


def slug(heading):
    """The anchor a heading gets on the usual Markdown hosts."""
    text = re.sub(r"[`*_\[\]()]", lambda m: "_" if m.group() == "_" else "", heading.strip().lower())
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def headings(path):
    anchors, inside = set(), False
    for line in path.read_text(encoding="utf-8").splitlines():
        if FENCE.match(line):
            inside = not inside
        elif not inside and line.startswith("#"):
            anchors.add(slug(line.lstrip("#")))
    return anchors


def blocks(path):
    """(line number, language, marker, text) of each fenced block."""
    found, lines = [], path.read_text(encoding="utf-8").splitlines()
    i = 0
    while i < len(lines):
        fence = FENCE.match(lines[i])
        if not fence:
            i += 1
            continue
        start, language = i, fence.group(1)
        end = i + 1
        while end < len(lines) and not lines[end].startswith("```"):
            end += 1
        before = next((lines[k] for k in range(start - 1, -1, -1) if lines[k].strip()), "")
        marker = MARKER.search(before)
        found.append((start + 1, language, marker.group(1) if marker else None, "\n".join(lines[start + 1:end])))
        i = end + 1
    return found


# ---- 1. links ----------------------------------------------------------------

def check_links(root, problems):
    for page in pages(root):
        text = re.sub(r"```.*?```", "", page.read_text(encoding="utf-8"), flags=re.S)
        for target in LINK.findall(text):
            if re.match(r"[a-z]+:", target):
                continue
            path_part, _, anchor = target.partition("#")
            linked = (page.parent / path_part).resolve() if path_part else page
            where = f"{page.relative_to(root)}: link {target}"
            if not linked.exists():
                problems.add(where, "no such file")
            elif anchor and linked.suffix == ".md" and anchor not in headings(linked):
                problems.add(where, f"no heading #{anchor} in {linked.name}")
    for index in (root / "README.md", root / "docs" / "README.md"):
        text = index.read_text(encoding="utf-8")
        for page in sorted((root / "docs").glob("*.md")):
            if page.name == "README.md" and index.parent == page.parent:
                continue
            name = page.name if index.parent == page.parent else f"docs/{page.name}"
            if f"({name}" not in text:
                problems.add(index.relative_to(root), f"does not link {name}")


# ---- 2. blocks ---------------------------------------------------------------

def temporary_folder(prefix):
    folder = pathlib.Path(tempfile.mkdtemp(prefix=prefix))
    atexit.register(shutil.rmtree, folder, True)
    return folder


def scratch_folder(root, build):
    folder = temporary_folder("rulecalc-docs-")
    for name in ("examples", "include", "bindings"):
        (folder / name).symlink_to(root / name)
    (folder / "build").symlink_to(build)
    return folder


def environment(root, build, bin_dir):
    env = dict(os.environ)
    env.update({
        "PATH": f"{bin_dir}{os.pathsep}{env.get('PATH', '')}",
        "LC_ALL": "C.UTF-8",
        "PYTHONPATH": str(root / "bindings" / "python"),
        "PYTHONDONTWRITEBYTECODE": "1",
        "RULECALC_LIBRARY": str(build / "src" / "librulecalc.so.1"),
        "RULECALC_BATCH_LIBRARY": str(build / "src" / "batch" / "librulecalc_batch.so.1"),
    })
    return env


def console_steps(text):
    """(command, expected lines) for each "$ " line of a console block."""
    steps = []
    for line in text.splitlines():
        if line.startswith("$ "):
            steps.append((line[2:], []))
        elif steps:
            steps[-1][1].append(line.rstrip())
    return steps


def matches(expected, actual):
    """Whether the lines match, "..." standing for any number of lines."""
    if not expected:
        return not actual
    if expected[0] == "...":
        return any(matches(expected[1:], actual[k:]) for k in range(len(actual) + 1))
    return bool(actual) and expected[0] == actual[0] and matches(expected[1:], actual[1:])


def run_console(text, folder, env, where, problems):
    status = 0
    for command, expected in console_steps(text):
        done = subprocess.run(["bash", "-c", f"(exit {status}); {command}"], cwd=folder, env=env,
                              capture_output=True, timeout=COMMAND_TIMEOUT)
        status = done.returncode
        actual = (done.stdout + done.stderr).decode("utf-8", "replace").rstrip("\n")
        lines = [line.rstrip() for line in actual.splitlines()] if actual else []
        if not matches(expected, lines):
            problems.add(where, f"$ {command}\n--- shown:\n" + "\n".join(expected) +
                         "\n--- printed:\n" + "\n".join(lines))


def run_script(arguments, text, folder, env, where, problems, suffix):
    script = folder / f"block{suffix}"
    script.write_text(text + "\n", encoding="utf-8")
    done = subprocess.run(arguments + [str(script)], cwd=folder, env=env, capture_output=True,
                          timeout=COMMAND_TIMEOUT)
    if done.returncode != 0:
        problems.add(where, f"exit status {done.returncode}:\n" +
                     (done.stdout + done.stderr).decode("utf-8", "replace")[-3000:])


def check_blocks(root, build, python, problems):
    bin_dir = temporary_folder("rulecalc-docs-bin-")
    (bin_dir / "rulecalc").symlink_to(build / "cli" / "rulecalc")
    (bin_dir / "rulecalc-dask").write_text(f'#!/bin/sh\nexec "{python}" -m rulecalc.dask_batch "$@"\n')
    (bin_dir / "rulecalc-dask").chmod(0o755)
    env = environment(root, build, bin_dir)
    for page in pages(root):
        folder = scratch_folder(root, build)
        doctests = []
        for line, language, marker, text in blocks(page):
            where = f"{page.relative_to(root)}:{line}"
            if marker:
                if marker.startswith("not run"):
                    if not re.fullmatch(r"not run \(.+\)", marker):
                        problems.add(where, "a block not run says why: not run (the reason)")
                    continue
                shown = re.fullmatch(r"the file (\S+)", marker)
                if not shown:
                    problems.add(where, f"unknown docs-check marker {marker!r}")
                elif (root / shown.group(1)).read_text(encoding="utf-8").rstrip("\n") != text.rstrip("\n"):
                    problems.add(where, f"the block is not {shown.group(1)} as it is")
                continue
            if language == "console":
                run_console(text, folder, env, where, problems)
            elif language in ("sh", "bash"):
                run_script(["bash", "-e"], text, folder, env, where, problems, f"{line}.sh")
            elif language == "python":
                run_script([python], text, folder, env, where, problems, f"{line}.py")
            elif language == "pycon":
                doctests.append(text)
            elif language:
                problems.add(where, f"a {language} block neither runs nor says why not")
        if doctests:
            run_script([python, "-m", "doctest", "-o", "ELLIPSIS", "-o", "NORMALIZE_WHITESPACE"],
                       "\n\n".join(doctests), folder, env, f"{page.relative_to(root)} (pycon blocks)",
                       problems, ".txt")


# ---- 3. options --------------------------------------------------------------

def help_options(tool, command):
    """{option: [values]} of one command's --help (the tool's own without a command)."""
    arguments = [tool] + ([command] if command else []) + ["--help"]
    text = subprocess.run(arguments, capture_output=True, text=True, check=True).stdout
    section = text.split("Options:", 1)[1].split("\n\n", 1)[0]
    options = {}
    for match in re.finditer(r"^\s+(?:-\w,)?--([a-z][a-z-]*)(?:\s+\S+:\{([^}]*)\})?", section, re.M):
        if match.group(1) != "help":
            options[match.group(1)] = match.group(2).split(",") if match.group(2) else []
    return options


def commands_of(tool):
    text = subprocess.run([tool, "--help"], capture_output=True, text=True, check=True).stdout
    return re.findall(r"^\s{2}([a-z]+)\s{2,}", text.split("Subcommands:", 1)[1], re.M)


def manual_options(manual):
    """{option: (commands, its text)}; no commands for the tool's own."""
    text = manual.split(".SH OPTIONS", 1)[1].split(".SH ", 1)[0]
    options = {}
    for entry in text.split(".TP\n")[1:]:
        head, _, body = entry.partition("\n")
        for name in re.findall(r"\\-\\-([a-z\\-]+)", head):
            name = name.replace("\\-", "-")
            commands = re.match(r"\(((?:\\fB\w+\\fR(?:, )?)+)\)", body)
            options[name] = (set(re.findall(r"\\fB(\w+)\\fR", commands.group(1))) if commands else set(),
                             body.replace("\\-", "-"))
    return options


def cli_page_sections(page):
    """The text of docs/cli.md under each second-level heading."""
    sections, current = {}, ""
    for line in page.splitlines():
        if line.startswith("## "):
            current = line[3:].strip("` ")
        sections[current] = sections.get(current, "") + line + "\n"
    return sections


def check_options(root, build, problems):
    tool = str(build / "cli" / "rulecalc")
    manual = (root / "cli" / "share" / "rulecalc.1.in").read_text(encoding="utf-8")
    in_manual = manual_options(manual)
    cli_page = (root / "docs" / "cli.md").read_text(encoding="utf-8")
    sections = cli_page_sections(cli_page)
    listings = {"tokens", "numbers", "varnames"}
    seen = {}
    for command in [None] + commands_of(tool):
        for option, values in help_options(tool, command).items():
            seen.setdefault(option, (set(), values))[0].update({command} if command else set())
    for option, (commands, values) in seen.items():
        where = f"--{option}"
        if option not in in_manual:
            problems.add(where, "is in --help but not in the manual page")
            continue
        manual_commands, manual_text = in_manual[option]
        if manual_commands != commands:
            problems.add(where, f"--help has it for {sorted(commands) or 'the tool'}, the manual page for "
                                f"{sorted(manual_commands) or 'the tool'}")
        section = cli_page if not commands else "".join(
            sections.get("Listings" if c in listings else c, "") for c in commands)
        if f"`--{option}" not in section:
            problems.add(where, f"is not in docs/cli.md under {sorted(commands) or 'the tool'}")
        for value in values:
            if value not in manual_text or value not in section:
                problems.add(where, f"its value {value} is missing from the manual page or docs/cli.md")
    for option in set(in_manual) - set(seen) - {"help"}:
        problems.add(f"--{option}", "is in the manual page but in no --help")
    statuses = re.findall(r"=\s*(\d+),", (root / "cli" / "ExitStatus.h").read_text(encoding="utf-8"))
    exit_manual = manual.split(".SH EXIT STATUS", 1)[1].split(".SH ", 1)[0]
    for status in statuses + ["128+N"]:
        if f".B {status}\n" not in exit_manual:
            problems.add(f"exit status {status}", "is not in the manual page")
        if f"\n| {status} |" not in sections.get("Exit status", ""):
            problems.add(f"exit status {status}", "is not in the exit status table of docs/cli.md")


def main(root, build):
    root, build = pathlib.Path(root).resolve(), pathlib.Path(build).resolve()
    python = os.environ.get("RULECALC_DOCS_PYTHON", sys.executable)
    problems = Problems()
    check_links(root, problems)
    check_options(root, build, problems)
    check_blocks(root, build, python, problems)
    for problem in problems.found:
        print(problem, end="\n\n")
    print(f"{len(problems.found)} problems")
    return 1 if problems.found else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
