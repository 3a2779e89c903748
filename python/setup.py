"""Builds and installs the quarnel package offline (no build isolation, Debian's setuptools):

    /usr/bin/python3 -m pip install --no-build-isolation --break-system-packages .

from the repository root or from python/. The extension is built by the project's CMake with
-DQUARNEL_PYTHON=ON (only the module and the libraries it links); the module and the two shared
libraries it needs (libkor, libihxf) are copied into the package, which finds them beside
itself ($ORIGIN).
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
SOURCE = os.path.relpath(HERE, Path.cwd())
BUILD = ROOT / "build-python"
BUILD.mkdir(exist_ok=True)


class CMakeBuild(build_ext):
    """Configures and builds the quarnel_python target, then copies what it needs."""

    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
            "-DQUARNEL_PYTHON=ON", "-DQUARNEL_TESTS=OFF", "-DQUARNEL_CLI=OFF",
            f"-DPython3_EXECUTABLE={sys.executable}",
        ]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        subprocess.run(configure, check=True)
        jobs = os.environ.get("QUARNEL_BUILD_JOBS", "2")
        subprocess.run(["cmake", "--build", str(build), "--target", "quarnel_python", "-j", jobs], check=True)
        target = Path(self.get_ext_fullpath(ext.name)).resolve().parent
        target.mkdir(parents=True, exist_ok=True)
        for module in (build / "python" / "quarnel").glob("_core*.so"):
            shutil.copy2(module, target / module.name)
        for library in ("libkor.so.1", "libihxf.so.1"):
            shutil.copy2((build / library).resolve(), target / library)


setup(
    name="quarnel",
    version="1.0.0.1",
    description="Mineral-prospectivity batch methods (normalisation, BP network, hierarchy and feature analysis)",
    packages=["quarnel"],
    package_dir={"quarnel": os.path.join(SOURCE, "quarnel")},
    ext_modules=[Extension("quarnel._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    python_requires=">=3.11",
    install_requires=["numpy"],
    extras_require={"raster": ["xarray", "rioxarray"], "dask": ["dask", "distributed"], "vector": ["geopandas"]},
    zip_safe=False,
    # setuptools' own build folders go beside the CMake trees, not into them or the sources.
    options={"build": {"build_base": str(BUILD)}, "egg_info": {"egg_base": str(BUILD)}},
)
