#!/usr/bin/env python3
"""Runs black-box scenario files against the rule calculator.

Each scenario file (format: README.md beside this script) becomes a script of
calls for the scenario driver, which loads the library, makes the calls and
prints one result line per call. The runner checks every expectation of the
file against those lines.

With --windows-driver, --dll and --wine it also runs the same calls through
the Windows driver and DLL under Wine and requires its output to be
byte-identical to the Linux output.

Only the Python standard library is used.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

# Texts in scenario files are UTF-8; the library works on GBK bytes.
LIBRARY_ENCODING = "gbk"

GETTERS = {
    "tokens": "GetTokens",
    "numbers": "GetNumbers",
    "varnames": "GetVarnames",
    "analyse error": "GetAnalyseError",
    "runtime error": "GetRuntimeError",
    "explanation": "GetRuntimeError",
}


class ScenarioError(Exception):
    """A line of a scenario file that cannot be understood."""


class Step:
    """One call of the driver, with the expectation written beside it."""

    def __init__(self, line_no, source, command, check=None):
        self.line_no = line_no
        self.source = source
        self.command = command      # the driver line, as bytes
        self.check = check          # None, or a function(result, history) -> error text or None


# ---------------------------------------------------------------------------
# Texts

def encode_text(text):
    """UTF-8 text of a scenario file -> the GBK bytes the library sees."""
    try:
        return text.encode(LIBRARY_ENCODING)
    except UnicodeEncodeError as error:
        raise ScenarioError("text has no GBK form: %r" % text) from error


def hex_text(data):
    return b"x" + data.hex().encode("ascii")


def show_text(data, limit=160):
    """Bytes from the library, shown readably (GBK decoded, the rest escaped)."""
    shown = data.decode(LIBRARY_ENCODING, errors="backslashreplace")
    if len(shown) > limit:
        shown = shown[:limit] + "..."
    return '"%s" (%d bytes)' % (shown, len(data))


_ESCAPES = {'"': b'"', "\\": b"\\", "n": b"\n", "t": b"\t", "r": b"\r"}


def parse_quoted(text, pos):
    """Parses one "..." literal starting at text[pos]; returns (bytes, next pos).

    Escapes: \\" \\\\ \\n \\t \\r and \\xHH for one raw byte."""
    assert text[pos] == '"'
    out = bytearray()
    plain = []
    pos += 1
    while True:
        if pos >= len(text):
            raise ScenarioError("unterminated text")
        c = text[pos]
        if c == '"':
            out += encode_text("".join(plain))
            return bytes(out), pos + 1
        if c == "\\":
            out += encode_text("".join(plain))
            plain = []
            esc = text[pos + 1:pos + 2]
            if esc in _ESCAPES:
                out += _ESCAPES[esc]
                pos += 2
            elif esc == "x" and re.fullmatch(r"[0-9A-Fa-f]{2}", text[pos + 2:pos + 4]):
                out.append(int(text[pos + 2:pos + 4], 16))
                pos += 4
            else:
                raise ScenarioError("unknown escape \\%s" % esc)
        else:
            plain.append(c)
            pos += 1


def parse_text_expr(text):
    """A text expression: one or more "..." literals, each optionally repeated
    with * N; the pieces are joined. Returns the bytes."""
    pos, out = 0, bytearray()
    text = text.strip()
    if not text.startswith('"'):
        raise ScenarioError('expected a text in double quotes')
    while pos < len(text):
        if text[pos] == " ":
            pos += 1
            continue
        if text[pos] != '"':
            raise ScenarioError("unexpected %r in text expression" % text[pos:])
        piece, pos = parse_quoted(text, pos)
        m = re.match(r"\s*\*\s*(\d+)", text[pos:])
        if m:
            piece *= int(m.group(1))
            pos += m.end()
        out += piece
    return bytes(out)


# ---------------------------------------------------------------------------
# Checks

def check_bool(expected):
    def check(result, _history):
        actual = result.split(b" ")[1]
        if actual != (b"1" if expected else b"0"):
            return "expected %s, got %s" % (str(expected).lower(), "true" if actual == b"1" else "false")
        return None
    return check


def text_of(result):
    """The text of a driver result line 'Call rN xHEX'."""
    field = result.split(b" ")[2]
    return bytes.fromhex(field[1:].decode("ascii"))


def check_text(expected):
    def check(result, _history):
        actual = text_of(result)
        if actual != expected:
            return "expected %s\n      actual   %s" % (show_text(expected), show_text(actual))
        return None
    return check


def check_same_buffer(_result, history):
    # only the ten exports' texts name the address they came from (rN)
    texts = [line for line in history
             if line.split(b" ")[0].startswith(b"Get") and line.split(b" ")[1].startswith(b"r")]
    if len(texts) < 2:
        return "needs two text results before it"
    a, b = (t.split(b" ")[1].decode() for t in texts[-2:])
    if a != b:
        return "the last two text results came from different addresses (%s, %s)" % (a, b)
    return None


# ---------------------------------------------------------------------------
# Scenario files

# The calls of a file go to the ten exports (classic) or to a handle that
# reads the extended language.
LANGUAGES = {"classic": 0, "extended": 1}


def parse_line(line_no, line, language="classic"):
    """One scenario line -> a Step (None for blank and comment lines).

    language: the language the lines before chose; statements about the
    shared result buffer need the ten exports."""
    stripped = line.strip()
    if not stripped or stripped.startswith("#"):
        return None

    def step(command, check=None):
        return Step(line_no, stripped, command, check)

    m = re.fullmatch(r"language\s+(\S+)", stripped)
    if m:
        if m.group(1) not in LANGUAGES:
            raise ScenarioError("unknown language (classic or extended)")
        return step(b"Language %d" % LANGUAGES[m.group(1)])

    if stripped == "reload":
        return step(b"Reload")
    if stripped == "clear":
        return step(b"ClearMemory")
    if stripped == "analyse":
        return step(b"Analyse")
    if stripped == "run":
        return step(b"Run")
    if stripped in GETTERS:
        return step(GETTERS[stripped].encode())

    if line.startswith("sentence"):
        rest = line[len("sentence"):]
        if rest and not rest.startswith(" "):
            raise ScenarioError("unknown statement")
        rest = rest[1:]
        if rest.startswith("made of "):
            sentence = parse_text_expr(rest[len("made of "):])
        else:
            sentence = encode_text(rest)
        return step(b"SetSentence " + hex_text(sentence))

    m = re.fullmatch(r"var\s+(\S+)\s*=(.*)", stripped)
    if m:
        name, value = encode_text(m.group(1)), m.group(2).strip()
        if value.startswith('"'):
            data, kind = parse_text_expr(value), 1
        else:
            data, kind = encode_text(value), 0
        return step(b"SetVarValue %s %s %d" % (hex_text(name), hex_text(data), kind))

    m = re.fullmatch(r'setvar\s+("(?:[^"\\]|\\.)*")\s+("(?:[^"\\]|\\.)*")\s+(-?\d+)', stripped)
    if m:
        name, value = parse_text_expr(m.group(1)), parse_text_expr(m.group(2))
        return step(b"SetVarValue %s %s %d" % (hex_text(name), hex_text(value), int(m.group(3))))

    m = re.fullmatch(r"expect\s+(analyse|run)\s+(true|false)", stripped)
    if m:
        return step(b"Analyse" if m.group(1) == "analyse" else b"Run", check_bool(m.group(2) == "true"))

    if stripped == "expect same buffer" or stripped.startswith("expect previous result"):
        if language != "classic":
            raise ScenarioError("the shared result buffer belongs to the ten exports: needs language classic")
    if stripped == "expect same buffer":
        return step(None, check_same_buffer)

    m = re.fullmatch(r"expect\s+previous result\s+(.*)", stripped)
    if m:
        expected = parse_text_expr(m.group(1))
        return step(b"PeekPrevious", check_text(expected))

    for what, call in GETTERS.items():
        m = re.fullmatch(r"expect\s+%s\s+(.*)" % what.replace(" ", r"\s+"), stripped)
        if m:
            expected = parse_text_expr(m.group(1))
            return step(call.encode(), check_text(expected))

    raise ScenarioError("unknown statement")


def language_after(command, language):
    """The language of the calls after a driver command."""
    if command == b"Reload":
        return "classic"  # the state at load: the ten exports
    for name, code in LANGUAGES.items():
        if command == b"Language %d" % code:
            return name
    return language


def parse_file(path):
    steps, language = [], "classic"
    with open(path, encoding="utf-8") as handle:
        for line_no, line in enumerate(handle, 1):
            line = line.rstrip("\r\n")
            try:
                parsed = parse_line(line_no, line, language)
            except ScenarioError as error:
                raise ScenarioError("%s:%d: %s: %s" % (path, line_no, error, line)) from error
            if parsed is None:
                continue
            steps.append(parsed)
            language = language_after(parsed.command, language)
    return steps


def driver_input(steps):
    return b"".join(s.command + b"\n" for s in steps if s.command is not None)


# ---------------------------------------------------------------------------
# Running

def run_driver(command, script, timeout, env=None):
    """Runs a driver; returns (exit status or None on time-out, stdout, stderr).

    Output goes to files, not pipes: under Wine, service processes started by
    the first program may inherit its handles and would keep a pipe open."""
    with tempfile.TemporaryFile() as script_file, tempfile.TemporaryFile() as out, \
            tempfile.TemporaryFile() as err:
        script_file.write(script)
        script_file.seek(0)
        try:
            code = subprocess.run(command, stdin=script_file, stdout=out, stderr=err,
                                  timeout=timeout, env=env, check=False).returncode
        except subprocess.TimeoutExpired:
            code = None
            err.write(b"timed out after %d s" % timeout)
        out.seek(0)
        err.seek(0)
        return code, out.read(), err.read()


def check_output(path, steps, output):
    """Pairs result lines with steps; returns (failures, number of checks)."""
    lines = output.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    failures, checks, history, index = [], 0, [], 0
    for s in steps:
        result = None
        if s.command is not None:
            if index >= len(lines):
                failures.append("%s:%d: %s\n      no result from the driver" % (path, s.line_no, s.source))
                return failures, checks
            result = lines[index]
            index += 1
            call = s.command.split(b" ")[0]
            if result.split(b" ")[0] != call:
                failures.append("%s:%d: %s\n      driver answered %r" % (path, s.line_no, s.source, result[:60]))
                return failures, checks
            # addresses from before a reload are not comparable with later ones
            history = [] if call == b"Reload" else history + [result]
        if s.check is not None:
            checks += 1
            problem = s.check(result, history)
            if problem:
                failures.append("%s:%d: %s\n      %s" % (path, s.line_no, s.source, problem))
    if index != len(lines):
        failures.append("%s: %d result lines left over" % (path, len(lines) - index))
    return failures, checks


def windows_path(path):
    """A Linux path as Wine's drive Z: sees it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def first_difference(linux, wine, names=("linux", "wine ")):
    """The first result line where two driver outputs differ, for a report."""
    a, b = linux.split(b"\n"), wine.split(b"\n")
    for i in range(max(len(a), len(b))):
        la = a[i] if i < len(a) else b"<none>"
        lb = b[i] if i < len(b) else b"<none>"
        if la != lb:
            return "result line %d differs:\n      %s %r\n      %s %r" % (i + 1, names[0], la[:120], names[1], lb[:120])
    return "outputs differ"


def run_file(path, args):
    """Runs one scenario file; returns a list of failure texts."""
    try:
        steps = parse_file(path)
    except (ScenarioError, UnicodeDecodeError) as error:
        return [str(error)]
    script = driver_input(steps)

    code, output, errors = run_driver([args.driver, args.library], script, args.timeout)
    if code != 0:
        return ["%s: Linux driver failed (exit %s): %s" % (path, code, errors.decode(errors="replace").strip())]
    failures, checks = check_output(path, steps, output)

    if args.expect_failures:
        wanted = sum(1 for s in steps if s.check is not None)
        if len(failures) != wanted or wanted == 0:
            return ["%s: %d of %d expectations failed; every one should have" % (path, len(failures), wanted)]
        print("ok   %s (all %d wrong expectations were caught)" % (path, wanted))
        return []

    if args.wine:
        env = dict(os.environ)
        env.setdefault("WINEDEBUG", "-all")
        command = [args.wine, args.windows_driver, windows_path(args.dll)]
        wcode, woutput, werrors = run_driver(command, script, args.wine_timeout, env)
        if wcode != 0:
            failures.append("%s: Windows driver under Wine failed (exit %s): %s"
                            % (path, wcode, werrors.decode(errors="replace").strip()[-2000:]))
        elif woutput != output:
            failures.append("%s: Wine output is not identical to Linux output: %s"
                            % (path, first_difference(output, woutput)))

    if not failures:
        where = "Linux and Wine, identical" if args.wine else "Linux"
        print("ok   %s (%d checks, %d calls; %s)" % (path, checks, len(script.splitlines()), where))
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--driver", required=True, help="the Linux scenario driver")
    parser.add_argument("--library", required=True, help="the Linux shared library")
    parser.add_argument("--windows-driver", help="the Windows scenario driver (.exe)")
    parser.add_argument("--dll", help="the Windows DLL")
    parser.add_argument("--wine", help="the wine program used to run the Windows driver")
    parser.add_argument("--timeout", type=int, default=60, help="seconds per file on Linux")
    parser.add_argument("--wine-timeout", type=int, default=300, help="seconds per file under Wine")
    parser.add_argument("--expect-failures", action="store_true",
                        help="succeed only when every expectation of the files fails (checks the runner)")
    parser.add_argument("files", nargs="+", help="scenario files")
    args = parser.parse_args()
    if args.wine and not (args.windows_driver and args.dll):
        parser.error("--wine needs --windows-driver and --dll")

    all_failures = []
    for path in args.files:
        failures = run_file(path, args)
        for failure in failures:
            print("FAIL " + failure)
        all_failures += failures
    print("%d file(s), %d failure(s)" % (len(args.files), len(all_failures)))
    return 1 if all_failures else 0


if __name__ == "__main__":
    sys.exit(main())
