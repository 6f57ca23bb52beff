"""Builds the package with its bindings generated from the driver's header:
KAVREL_HEADER, else driver/kavrel.h of the source tree this directory is in,
else an installed kavrel.h."""
import importlib.util
import os

from setuptools import setup
from setuptools.command.build_py import build_py

HERE = os.path.dirname(os.path.abspath(__file__))


def header():
    for path in (os.environ.get("KAVREL_HEADER"), os.path.join(HERE, "..", "driver", "kavrel.h"),
                 "/usr/local/include/kavrel.h", "/usr/include/kavrel.h"):
        if path and os.path.exists(path):
            return path
    raise SystemExit("kavrel.h not found: set KAVREL_HEADER to the driver's header")


class BuildWithBindings(build_py):
    def run(self):
        super().run()
        found = importlib.util.spec_from_file_location("kavrel_header", os.path.join(HERE, "kavrel", "_header.py"))
        generator = importlib.util.module_from_spec(found)
        found.loader.exec_module(generator)
        target = os.path.join(self.build_lib, "kavrel", "_api.py")
        self.mkpath(os.path.dirname(target))
        generator.main(["_header.py", header(), target])


setup(cmdclass={"build_py": BuildWithBindings})
