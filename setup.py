# `pip install .` from the repository root builds the Python package described in python/setup.py.
import runpy

runpy.run_path("python/setup.py", run_name="__main__")
