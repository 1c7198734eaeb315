"""Builds the rulecalc Python package: the extension module rulecalc._native
(pybind11, from native/) and the shared libraries it is linked with, inside it.

The calculator comes from RULECALC_LIBRARY when that names a built
librulecalc.so.1, the batch engine from RULECALC_BATCH_LIBRARY when that
names a built librulecalc_batch.so.1; a library not named is built here with
CMake from the source tree this folder belongs to (its target only, in
build/library). The library's headers come from that source tree's include/,
else from the folder RULECALC_INCLUDE names (an installed rulecalc-dev). The
module finds the libraries beside it ($ORIGIN).

Debian's venv has setuptools but not the wheel package, which setuptools
needs to make a wheel; without it, the small wheel writer below does the job.
"""

import base64
import functools
import hashlib
import os
import shutil
import subprocess
import sys
import sysconfig
import zipfile

from setuptools import Command, Extension, setup
from setuptools.command.build_ext import build_ext
from setuptools.command.build_py import build_py
from setuptools.dist import Distribution

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(HERE, "rulecalc"))
from _library import batch_library_file_name, library_file_name  # noqa: E402  (the package's own naming)

sys.path.pop(0)


# (file name in the package, variable naming a built one, CMake target, its folder in a build)
LIBRARIES = [
    (library_file_name(), "RULECALC_LIBRARY", "rulecalc", "src"),
    (batch_library_file_name(), "RULECALC_BATCH_LIBRARY", "rulecalc_batch", os.path.join("src", "batch")),
]


def _built_library(file_name: str, variable: str, target: str, folder: str) -> str:
    """A library to put into the package: the variable's, else one built now."""
    chosen = os.environ.get(variable)
    if chosen:
        if not os.path.isfile(chosen):
            sys.exit(f"rulecalc: {variable} names {chosen!r}, which is not a file")
        return chosen
    if not os.path.isfile(os.path.join(SOURCE_ROOT, "CMakeLists.txt")):
        sys.exit(f"rulecalc: no source tree to build the library from; set {variable} to a built {file_name}")
    build_dir = os.path.join(HERE, "build", "library")
    generator = ["-G", "Ninja"] if shutil.which("ninja") else []
    subprocess.check_call(["cmake", "-S", SOURCE_ROOT, "-B", build_dir, *generator, "-DCMAKE_BUILD_TYPE=Release",
                           "-DRULECALC_BUILD_TESTS=OFF", "-DRULECALC_BUILD_CLI=OFF"], stdout=subprocess.DEVNULL)
    subprocess.check_call(["cmake", "--build", build_dir, "--target", target])
    return os.path.join(build_dir, folder, file_name)


@functools.lru_cache(maxsize=None)
def _libraries():
    """(file name in the package, path of the built library) of each library."""
    return tuple((entry[0], _built_library(*entry)) for entry in LIBRARIES)


def _include_dir() -> str:
    folder = os.path.join(SOURCE_ROOT, "include") if os.path.isfile(os.path.join(SOURCE_ROOT, "CMakeLists.txt")) else \
        os.environ.get("RULECALC_INCLUDE", "")
    if not os.path.isfile(os.path.join(folder, "rulecalc.h")):
        sys.exit("rulecalc: no source tree with the library's headers; set RULECALC_INCLUDE to a folder "
                 "holding rulecalc.h and rulecalc_batch.h")
    return folder


class BuildWithLibrary(build_py):
    """Copies the shared libraries into the package next to its modules."""

    def run(self) -> None:
        super().run()
        for file_name, path in _libraries():
            packaged = os.path.join(self.build_lib, "rulecalc", file_name)
            shutil.copyfile(path, packaged)
            os.chmod(packaged, 0o755)


class BuildNative(build_ext):
    """Compiles rulecalc._native against the library's headers and links it with the libraries."""

    def build_extensions(self) -> None:
        for extension in self.extensions:
            extension.include_dirs.append(_include_dir())
            extension.extra_objects.extend(path for _, path in _libraries())
        super().build_extensions()


NATIVE = Extension(
    "rulecalc._native",
    sources=[os.path.join("native", name) for name in
             ("module.cpp", "calculator.cpp", "rows.cpp", "frames.cpp", "batch.cpp", "gbk.cpp")],
    depends=[os.path.join("native", "native.h")],
    language="c++",
    extra_compile_args=["-std=c++17", "-fvisibility=hidden"],
    runtime_library_dirs=["$ORIGIN"],
)


class BinaryDistribution(Distribution):
    """The package holds a compiled library, so its wheel is for one platform."""

    def has_ext_modules(self) -> bool:
        return True


def _record_line(path: str, name: str) -> str:
    with open(path, "rb") as handle:
        data = handle.read()
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


class MinimalWheel(Command):
    """Writes the platform wheel from the build (used only when wheel is missing)."""

    description = "build a wheel"
    user_options = [("dist-dir=", "d", "where to put the wheel")]

    def initialize_options(self) -> None:
        self.dist_dir = None

    def finalize_options(self) -> None:
        self.dist_dir = self.dist_dir or "dist"

    def tag(self) -> str:
        python = f"cp{sys.version_info.major}{sys.version_info.minor}"
        return f"{python}-{python}-{sysconfig.get_platform().replace('-', '_').replace('.', '_')}"

    def egg2dist(self, egg_info_dir: str, dist_info_dir: str) -> None:
        shutil.rmtree(dist_info_dir, ignore_errors=True)
        os.makedirs(dist_info_dir)
        shutil.copyfile(os.path.join(egg_info_dir, "PKG-INFO"), os.path.join(dist_info_dir, "METADATA"))
        shutil.copyfile(os.path.join(egg_info_dir, "top_level.txt"), os.path.join(dist_info_dir, "top_level.txt"))
        with open(os.path.join(dist_info_dir, "WHEEL"), "w") as wheel:
            wheel.write(f"Wheel-Version: 1.0\nGenerator: rulecalc setup.py\nRoot-Is-Purelib: false\nTag: {self.tag()}\n")

    def run(self) -> None:
        self.run_command("build")
        build_lib = self.get_finalized_command("build_py").build_lib
        egg_info = self.get_finalized_command("egg_info")
        self.run_command("egg_info")
        name, version = self.distribution.get_name(), self.distribution.get_version()
        dist_info = f"{name}-{version}.dist-info"
        self.egg2dist(egg_info.egg_info, os.path.join(build_lib, dist_info))
        os.makedirs(self.dist_dir, exist_ok=True)
        wheel_path = os.path.join(self.dist_dir, f"{name}-{version}-{self.tag()}.whl")
        records = []
        with zipfile.ZipFile(wheel_path, "w", zipfile.ZIP_DEFLATED) as wheel:
            for folder, _, files in sorted(os.walk(build_lib)):
                for file_name in sorted(files):
                    path = os.path.join(folder, file_name)
                    name_in_wheel = os.path.relpath(path, build_lib).replace(os.sep, "/")
                    wheel.write(path, name_in_wheel)
                    records.append(_record_line(path, name_in_wheel))
            records.append(f"{dist_info}/RECORD,,")
            wheel.writestr(f"{dist_info}/RECORD", "\n".join(records) + "\n")
        shutil.rmtree(os.path.join(build_lib, dist_info))


def _wheel_command():
    try:
        from wheel.bdist_wheel import bdist_wheel
    except ImportError:
        return MinimalWheel
    return bdist_wheel


setup(distclass=BinaryDistribution, ext_modules=[NATIVE],
      cmdclass={"build_py": BuildWithLibrary, "build_ext": BuildNative, "bdist_wheel": _wheel_command()})
