"""Builds glmobj: the Python package in python/glmobj and its extension,
compiled from python/glmobj_core.cpp and the library's own sources (all of
glm/ but the drawing, which would need OpenGL and is not offered)."""
import re
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

here = Path(__file__).parent
# The version is stated once, in CMakeLists.txt.
version = re.search(r"project\(\w+ VERSION ([0-9.]+)", (here / "CMakeLists.txt").read_text()).group(1)
library = sorted(str(p.relative_to(here)) for p in (here / "glm").glob("*.cpp") if p.name != "draw.cpp")

# Two compilations at a time at most (GLMOBJ_BUILD_JOBS=N changes that).
ParallelCompile("GLMOBJ_BUILD_JOBS", max=2).install()

core = Pybind11Extension(
    "glmobj._core",
    ["python/glmobj_core.cpp", *library],
    include_dirs=["glm"],
    cxx_std=20,
    define_macros=[("GLMOBJ_VERSION", f'"{version}"')],
    extra_compile_args=["-Wall", "-Wextra"],
    extra_link_args=["-Wl,--version-script=python/glmobj_core.map", "-pthread"],
)

setup(
    version=version,
    package_dir={"": "python"},
    packages=["glmobj"],
    package_data={"glmobj": ["py.typed", "*.pyi"]},
    ext_modules=[core],
    cmdclass={"build_ext": build_ext},
    # Beside the CMake build directories, not in build/, which is one of them.
    options={"build": {"build_base": "build-pip"}},
)
