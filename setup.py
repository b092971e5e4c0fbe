"""Builds the extension module gpio_dll._gpio_dll with the project's CMake.

Extra CMake arguments come from GPIO_DLL_CMAKE_ARGS (for example -DGPIO_DLL_WITH_FLTK=OFF), the
number of parallel jobs from GPIO_DLL_BUILD_JOBS (2 by default).
"""
import os
import pathlib
import shlex
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = pathlib.Path(self.build_temp).resolve() / "cmake"
        configure = ["cmake", "-S", str(ROOT), "-B", str(build_dir),
                     "-DCMAKE_BUILD_TYPE=Release", "-DGPIO_DLL_BUILD_TESTS=OFF",
                     "-DGPIO_DLL_BUILD_BENCHMARKS=OFF", "-DGPIO_DLL_PYTHON=ON",
                     f"-DPython_EXECUTABLE={sys.executable}"]
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
    packages=["gpio_dll"],
    package_dir={"": "python"},
    package_data={"gpio_dll": ["*.pyi", "py.typed"]},
    ext_modules=[Extension("gpio_dll._gpio_dll", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
