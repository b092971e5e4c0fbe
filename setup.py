"""Builds the extension module gpio_dll._gpio_dll with the project's CMake.

Only the libraries and the extension are configured and built: no tools, examples, tests,
benchmarks or FLTK front end, so that neither CLI11 nor help2man nor FLTK is needed. Extra CMake
arguments come from GPIO_DLL_CMAKE_ARGS (after these, so they can switch them back on), the number
of parallel jobs from GPIO_DLL_BUILD_JOBS (2 by default). The version is the one of project() in
CMakeLists.txt. setuptools' metadata (egg-info) and build folders go under build-python/, which
git ignores, so that building from a work tree leaves nothing untracked in it.
"""
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build import build
from setuptools.command.build_ext import build_ext
from setuptools.command.egg_info import egg_info

ROOT = pathlib.Path(__file__).resolve().parent
BUILD_DIR = "build-python"


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    found = re.search(r"^project\(\s*gpio_dll\s+VERSION\s+([0-9.]+)", text, re.MULTILINE)
    if not found:
        raise RuntimeError("CMakeLists.txt has no project(gpio_dll VERSION x.y.z)")
    return found.group(1)


class EggInfo(egg_info):
    def initialize_options(self):
        super().initialize_options()
        self.egg_base = BUILD_DIR

    def finalize_options(self):
        # pip passes a folder of its own (--egg-base) when it prepares the metadata.
        os.makedirs(self.egg_base, exist_ok=True)
        super().finalize_options()


class Build(build):
    def initialize_options(self):
        super().initialize_options()
        self.build_base = BUILD_DIR


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = pathlib.Path(self.build_temp).resolve() / "cmake"
        configure = ["cmake", "-S", str(ROOT), "-B", str(build_dir),
                     "-DCMAKE_BUILD_TYPE=Release", "-DGPIO_DLL_BUILD_TESTS=OFF",
                     "-DGPIO_DLL_BUILD_BENCHMARKS=OFF", "-DGPIO_DLL_BUILD_TOOLS=OFF",
                     "-DGPIO_DLL_BUILD_EXAMPLES=OFF", "-DGPIO_DLL_WITH_FLTK=OFF",
                     "-DGPIO_DLL_PYTHON=ON", f"-DPython_EXECUTABLE={sys.executable}"]
        configure += shlex.split(os.environ.get("GPIO_DLL_CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "_gpio_dll", "-j",
                        os.environ.get("GPIO_DLL_BUILD_JOBS", "2")], check=True)
        built = sorted((build_dir / "python" / "gpio_dll").glob("_gpio_dll*.so"))
        if not built:
            raise RuntimeError(f"the CMake build made no _gpio_dll module in {build_dir}")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built[0], target)
        # gpio_dll.__version__, written by the CMake configuration from the project's version.
        shutil.copy2(build_dir / "python" / "gpio_dll" / "_version.py", target.parent / "_version.py")


setup(
    version=project_version(),
    packages=["gpio_dll"],
    package_dir={"": "python"},
    package_data={"gpio_dll": ["*.pyi", "py.typed"]},
    ext_modules=[Extension("gpio_dll._gpio_dll", sources=[])],
    cmdclass={"build": Build, "build_ext": CMakeBuild, "egg_info": EggInfo},
)
