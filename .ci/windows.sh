#!/usr/bin/env bash
# The 32-bit Windows side of CI, for a Debian 12 machine (run as root).
#
#  1. installs what it needs (MinGW-w64 i686, Wine with its 32-bit half);
#  2. cross-builds rulecalc.dll, the Windows scenario driver and rulecalc.exe
#     (preset mingw);
#  3. checks the binaries: imports, exactly the ten plain-named exports and
#     the handle functions, __stdcall returns (ret $0x4 / ret $0xc) and
#     __cdecl ones, DllMain; and checks that the check itself rejects a DLL
#     that breaks those rules;
#  4. runs the scenario files against the Linux library (build/, preset
#     default; built here if missing);
#  5. runs the same scenarios through the DLL under Wine and requires output
#     byte-identical to the Linux one;
#  6. builds the handle example against the DLL and runs it under
#     Wine: two threads, answers equal to the ten exports';
#  7. builds the host that loads the DLL at run time (examples/windows_host.c)
#     and checks what it prints under Wine;
#  8. runs rulecalc.exe under Wine beside the Linux tool (.ci/windows_tool.py):
#     the same exit status and the same bytes out, case by case.
#
# When the kernel cannot execute 32-bit x86 programs (no IA32 emulation, as on
# some virtual machines), 32-bit Wine runs under QEMU user-mode emulation
# (qemu-i386 10 or later, the version this was proven with; QEMU 7.2 does not
# honour Wine's fixed-address memory reservations, so Wine cannot start),
# registered with binfmt_misc. QEMU comes from Debian's bookworm-backports
# archive and is unpacked under build-mingw/ci-tools, not installed.
#
# If Wine cannot be installed (a mirror whose i386 package list fails its
# checks) or still cannot run a 32-bit program, steps 5 to 7 are reported as
# NOT RUN with the reason, and the script does not fail, unless
# RULECALC_REQUIRE_WINE=1 is set.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

MINGW_BUILD=$ROOT/build-mingw
# The Linux build that .ci/run made (preset default).
LINUX_BUILD=${RULECALC_LINUX_BUILD:-$ROOT/build}
TOOLS=$MINGW_BUILD/ci-tools
DLL=$MINGW_BUILD/src/rulecalc.dll
WIN_DRIVER=$MINGW_BUILD/tests/scenarios/rulecalc-scenario-driver.exe
WIN_TOOL=$MINGW_BUILD/cli/rulecalc.exe
LINUX_LIB=$LINUX_BUILD/src/librulecalc.so
LINUX_DRIVER=$LINUX_BUILD/tests/scenarios/rulecalc-scenario-driver
LINUX_TOOL=$LINUX_BUILD/cli/rulecalc
SCENARIOS=("$ROOT"/tests/scenarios/*.scn)
BINFMT_DIR=/proc/sys/fs/binfmt_misc
BINFMT_NAME=rulecalc-qemu-i386
# ELF header of a 32-bit x86 executable, and the mask QEMU's own setup uses.
I386_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

export DEBIAN_FRONTEND=noninteractive
export WINEPREFIX=$MINGW_BUILD/wine-prefix
export WINEARCH=win32
export WINEDEBUG=-all
# No .NET or HTML engine prompts while the prefix is created.
export WINEDLLOVERRIDES="mscoree,mshtml="

STEP_START=$SECONDS
step() {
  echo
  echo "== [windows] $* (at ${SECONDS}s)"
}

die() {
  echo "windows.sh: $*" >&2
  exit 1
}

stop_wineserver() {
  if command -v wineserver >/dev/null 2>&1 && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
}
trap stop_wineserver EXIT

# ---------------------------------------------------------------------------
step "1. packages"

missing=()
for tool in cmake ninja python3 i686-w64-mingw32-g++-posix i686-w64-mingw32-objdump; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
# rulecalc.exe takes the host's CLI11 headers; Wine's Chinese locale needs
# zh_CN's locale source (localedef).
[ -f /usr/include/CLI/CLI.hpp ] || missing+=(libcli11-dev)
[ -f /usr/share/i18n/locales/zh_CN ] || missing+=(locales)
have_wine32() { dpkg -s wine32:i386 >/dev/null 2>&1 && command -v wine >/dev/null 2>&1; }
if [ ${#missing[@]} -gt 0 ] || ! have_wine32; then
  [ "$(id -u)" = 0 ] || die "missing tools (${missing[*]:-wine32}) and not root: cannot apt-get install"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  .ci/apt-update -qq
  apt-get install -y -qq --no-install-recommends \
    cmake ninja-build python3 g++ libcli11-dev locales \
    g++-mingw-w64-i686-posix binutils-mingw-w64-i686 >/dev/null
fi
# Wine is installed apart: a mirror whose i386 package list fails its checks
# cannot give wine32, and the DLL is still built and checked without it.
wine_missing=""
if ! have_wine32; then
  wine_install_log=$(mktemp)
  [ "$(id -u)" = 0 ] && apt-get install -y -qq --no-install-recommends wine wine32:i386 wine64 >"$wine_install_log" 2>&1 ||
    wine_missing="apt-get install wine32:i386 failed: $(grep -m 3 -E '^(E:| [a-z0-9.+-]+:i386 :)' "$wine_install_log" | tr '\n' ' ')"
  rm -f "$wine_install_log"
fi
echo "i686 MinGW: $(i686-w64-mingw32-g++-posix --version | head -n1)"
echo "Wine:       $(dpkg-query -W -f='${Version}' wine32:i386 2>/dev/null || echo "not installed: $wine_missing")"

# ---------------------------------------------------------------------------
step "2. cross-build the DLL, the Windows driver and rulecalc.exe (preset mingw)"

cmake --preset mingw >/dev/null
cmake --build --preset mingw
[ -f "$DLL" ] || die "no $DLL"
[ -f "$WIN_DRIVER" ] || die "no $WIN_DRIVER"
[ -f "$WIN_TOOL" ] || die "no $WIN_TOOL"

# ---------------------------------------------------------------------------
step "3. check the Windows binaries"

python3 .ci/check_windows_dll.py "$DLL" "$WIN_DRIVER"
# The tool is one file: nothing but system DLLs beside it.
tool_imports=$(i686-w64-mingw32-objdump -p "$WIN_TOOL" | sed -n 's/^\tDLL Name: //p' | tr '\n' ' ')
[ "$tool_imports" = "KERNEL32.dll msvcrt.dll " ] || die "rulecalc.exe imports $tool_imports"
echo "ok   rulecalc.exe imports only $tool_imports"

# The check must be able to fail: a DLL that breaks every rule is rejected.
mkdir -p "$MINGW_BUILD/selfcheck"
i686-w64-mingw32-gcc-posix -Wall -Wextra -Wpedantic -Werror -O2 -shared \
  -o "$MINGW_BUILD/selfcheck/wrong_exports.dll" tests/scenarios/selfcheck/wrong_exports.c
if python3 .ci/check_windows_dll.py "$MINGW_BUILD/selfcheck/wrong_exports.dll" >"$MINGW_BUILD/selfcheck/check.log"; then
  cat "$MINGW_BUILD/selfcheck/check.log"
  die "the binary check accepted a DLL that breaks its rules"
fi
echo "ok   the binary check rejects a DLL with wrong exports, conventions and DllMain ($(grep -c '^FAIL' "$MINGW_BUILD/selfcheck/check.log") findings)"

# ---------------------------------------------------------------------------
step "3b. the zip for Windows users (CPack)"
(cd "$MINGW_BUILD" && rm -f rulecalc-*-win32.zip && cpack -G ZIP >/dev/null)
ZIP=$(ls "$MINGW_BUILD"/rulecalc-*-win32.zip)
zip_listing=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$ZIP")
for part in rulecalc.exe rulecalc.dll lib/librulecalc.dll.a include/rulecalc.h include/rulecalc.hpp \
            examples/applicants.rules examples/applicants.csv examples/claims.csv README.txt windows.md; do
  grep -q "^rulecalc-[0-9.]*-win32/$part\$" <<<"$zip_listing" || die "$(basename "$ZIP") lacks $part"
done
echo "ok   $(basename "$ZIP"): the exe, the DLL with its headers and import library, the examples, the README"

# ---------------------------------------------------------------------------
step "4. scenarios against the Linux library"

if [ ! -f "$LINUX_BUILD/build.ninja" ]; then
  cmake --preset default >/dev/null
elif ! grep -q rulecalc_scenario_driver "$LINUX_BUILD/build.ninja"; then
  cmake "$LINUX_BUILD" >/dev/null
fi
cmake --build "$LINUX_BUILD" --target rulecalc rulecalc_scenario_driver rulecalc_cli
RUNNER=(python3 tests/scenarios/run_scenarios.py --driver "$LINUX_DRIVER" --library "$LINUX_LIB")
"${RUNNER[@]}" "${SCENARIOS[@]}"
"${RUNNER[@]}" --expect-failures tests/scenarios/selfcheck/wrong_expectations.scn

# ---------------------------------------------------------------------------
step "5. the same scenarios through the DLL under Wine"

# Prints the version of a QEMU binary as "major minor", or nothing.
qemu_version() {
  "$1" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\.\([0-9]*\).*/\1 \2/p' | head -n1
}

qemu_is_recent() {
  local version
  version=$(qemu_version "$1")
  [ -n "$version" ] && [ "${version%% *}" -ge 10 ]
}

# The interpreters of the enabled binfmt_misc entries for 32-bit x86 ELF.
i386_binfmt_interpreters() {
  local entry
  [ -d "$BINFMT_DIR" ] || return 0
  for entry in "$BINFMT_DIR"/*; do
    [ -f "$entry" ] || continue
    case "$(basename "$entry")" in register|status) continue ;; esac
    if grep -qx enabled "$entry" && grep -q '^magic 7f454c4601010100000000000000000002000300' "$entry"; then
      sed -n 's/^interpreter //p' "$entry"
    fi
  done
}

# A minimal 32-bit x86 Linux program that exits with status 42.
write_i386_probe() {
  python3 - "$1" <<'PY'
import struct, sys
code = bytes([0xb8, 1, 0, 0, 0, 0xbb, 42, 0, 0, 0, 0xcd, 0x80])   # exit(42)
entry = 0x08048000 + 52 + 32
header = struct.pack("<16sHHIIIIIHHHHHH", b"\x7fELF\x01\x01\x01" + bytes(9), 2, 3, 1, entry, 52, 0, 0,
                     52, 32, 1, 0, 0, 0)
segment = struct.pack("<IIIIIIII", 1, 0, 0x08048000, 0x08048000, 84 + len(code), 84 + len(code), 5, 0x1000)
with open(sys.argv[1], "wb") as out:
    out.write(header + segment + code)
PY
  chmod +x "$1"
}

# Unpacks qemu-i386 from bookworm-backports under $TOOLS (apt-get download,
# no installation) and prints its path.
fetch_recent_qemu() {
  local apt_dir=$TOOLS/apt arch
  arch=$(dpkg --print-architecture)
  mkdir -p "$apt_dir/lists/partial" "$TOOLS/qemu"
  echo "deb http://deb.debian.org/debian bookworm-backports main" >"$apt_dir/sources.list"
  local apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
                     -o "Dir::State::Lists=$apt_dir/lists" -o "APT::Architecture=$arch")
  apt-get "${apt_options[@]}" update -qq >&2
  (cd "$apt_dir" && rm -f qemu-user_*.deb && apt-get "${apt_options[@]}" download qemu-user >&2 2>/dev/null)
  dpkg-deb -x "$apt_dir"/qemu-user_*.deb "$TOOLS/qemu"
  echo "$TOOLS/qemu/usr/bin/qemu-i386"
}

# Registers (or re-registers) the binfmt_misc entry that runs 32-bit x86
# programs with the given QEMU.
register_qemu() {
  if ! mountpoint -q "$BINFMT_DIR"; then
    mount -t binfmt_misc binfmt_misc "$BINFMT_DIR"
  fi
  [ -e "$BINFMT_DIR/$BINFMT_NAME" ] && echo -1 >"$BINFMT_DIR/$BINFMT_NAME"
  # F: the interpreter is opened now, so it works in any mount namespace later.
  printf ':%s:M::%s:%s:%s:F' "$BINFMT_NAME" "$I386_MAGIC" "$I386_MASK" "$1" >"$BINFMT_DIR/register"
}

# Makes 32-bit x86 programs runnable; prints how, or fails with the reason.
prepare_i386() {
  local probe=$TOOLS/i386-probe interpreters candidate qemu="" status
  mkdir -p "$TOOLS"
  write_i386_probe "$probe"
  interpreters=$(i386_binfmt_interpreters)
  if [ -z "$interpreters" ]; then
    status=0
    "$probe" 2>/dev/null || status=$?
    if [ "$status" = 42 ]; then
      echo "the kernel runs 32-bit x86 programs natively"
      return 0
    fi
    echo "the kernel cannot run 32-bit x86 programs (probe exit status $status;" \
         "dmesg: $(dmesg 2>/dev/null | grep -i '32-bit emulation' | tail -n1 || true))" >&2
  else
    echo "32-bit x86 programs are emulated (binfmt_misc: ${interpreters//$'\n'/ })" >&2
  fi
  # Emulation: make sure the newest binfmt_misc entry for 32-bit x86, which
  # the kernel consults first, names a recent enough QEMU.
  [ "$(id -u)" = 0 ] || { echo "not root: cannot set up QEMU" >&2; return 1; }
  for candidate in "$TOOLS/qemu/usr/bin/qemu-i386" $interpreters \
                   "$(command -v qemu-i386 || true)" "$(command -v qemu-i386-static || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ] && qemu_is_recent "$candidate"; then
      qemu=$candidate
      break
    fi
  done
  if [ -z "$qemu" ]; then
    qemu=$(fetch_recent_qemu) || { echo "could not fetch qemu-user from bookworm-backports" >&2; return 1; }
    qemu_is_recent "$qemu" || { echo "$qemu is older than QEMU 10" >&2; return 1; }
  fi
  register_qemu "$qemu" || { echo "could not register $qemu with binfmt_misc" >&2; return 1; }
  status=0
  "$probe" 2>/dev/null || status=$?
  [ "$status" = 42 ] || { echo "the probe still does not run under $qemu (exit status $status)" >&2; return 1; }
  echo "32-bit x86 programs run under $qemu (QEMU $(qemu_version "$qemu" | tr ' ' .))," \
       "registered as binfmt_misc entry $BINFMT_NAME"
}

wine_unavailable() {
  echo
  echo "!! Wine cannot run 32-bit Windows programs on this machine: $*"
  echo "!! NOT run against the DLL: the scenarios (steps 5), the handle example (6), the host example (7) and rulecalc.exe (8)."
  echo "!! The DLL was built and its exports and conventions checked (steps 2 and 3), and the Linux run passed."
  if [ "${RULECALC_REQUIRE_WINE:-0}" = 1 ]; then
    die "RULECALC_REQUIRE_WINE=1: failing"
  fi
  exit 0
}

[ -z "$wine_missing" ] || wine_unavailable "Wine could not be installed: $wine_missing"
how=$(prepare_i386 2>"$MINGW_BUILD/i386.log") || wine_unavailable "$(tr '\n' ' ' <"$MINGW_BUILD/i386.log")"
cat "$MINGW_BUILD/i386.log"
echo "$how"

# One persistent server for all the runs (starting Wine's services is slow
# under emulation), and a prefix of its own, created once.
stop_wineserver
mkdir -p "$WINEPREFIX"
wineserver -p || wine_unavailable "wineserver -p failed"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 600 wineboot --init >"$MINGW_BUILD/wineboot.log" 2>&1 \
    || wine_unavailable "creating the Wine prefix failed: $(tail -n 5 "$MINGW_BUILD/wineboot.log" | tr '\n' ' ')"
fi
WIN_DLL_PATH="Z:${DLL//\//\\}"
if ! timeout 300 wine "$WIN_DRIVER" "$WIN_DLL_PATH" </dev/null >"$MINGW_BUILD/wine-probe.log" 2>&1; then
  wine_unavailable "the Windows driver did not run: $(tail -n 5 "$MINGW_BUILD/wine-probe.log" | tr '\n' ' ')"
fi
echo "ok   the Windows driver loads and unloads rulecalc.dll under Wine"

"${RUNNER[@]}" --wine wine --windows-driver "$WIN_DRIVER" --dll "$DLL" "${SCENARIOS[@]}"

# ---------------------------------------------------------------------------
step "6. the handle example through the DLL under Wine"
# The handle example, linked against the DLL: two threads, two handles
# each (__cdecl), every answer checked against the ten exports (__stdcall).
HANDLES_DIR=$MINGW_BUILD/handles-example
mkdir -p "$HANDLES_DIR"
cp "$DLL" "$HANDLES_DIR/"
i686-w64-mingw32-gcc-posix -std=c99 -Wall -Wextra -Wpedantic -Werror -O2 -Iinclude examples/handles.c \
  "$HANDLES_DIR/rulecalc.dll" -static -lpthread -Wl,--enable-stdcall-fixup -o "$HANDLES_DIR/handles.exe"
(cd "$HANDLES_DIR" && timeout 300 wine handles.exe </dev/null) || die "the handle example failed under Wine"
echo "ok   the handle example gives the ten exports' answers on two threads through rulecalc.dll"

# ---------------------------------------------------------------------------
step "7. the host that loads the DLL at run time, under Wine"
# The Windows page's host: LoadLibraryA and GetProcAddress, __stdcall
# imports declared by hand, one rule through the ten exports.
i686-w64-mingw32-gcc-posix -std=c99 -Wall -Wextra -Wpedantic -Werror -O2 -Iinclude examples/windows_host.c \
  -o "$HANDLES_DIR/windows_host.exe"
host_output=$(cd "$HANDLES_DIR" && timeout 300 wine windows_host.exe </dev/null | tr -d '\r' | iconv -f GBK -t UTF-8) ||
  die "the Windows host example failed under Wine"
[ "$host_output" = "the rule does not hold: SCORE::IF AGE>=18 成立则 SCORE>=60" ] ||
  die "the Windows host example printed: $host_output"
echo "ok   the Windows host example loads rulecalc.dll and prints the explanation"

# ---------------------------------------------------------------------------
step "8. rulecalc.exe under Wine beside the Linux tool"
python3 .ci/windows_tool.py --linux "$LINUX_TOOL" --windows "$WIN_TOOL" --examples examples \
    --locales "$MINGW_BUILD/locales" ||
  die "rulecalc.exe does not do what the Linux tool does"
echo
echo "== [windows] done in $((SECONDS - STEP_START))s"
