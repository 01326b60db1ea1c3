# SPDX-License-Identifier: Apache-2.0
"""The wheel's tag. The package itself is pure Python (ctypes), but a shared library
copied into eurocall/ before the build makes the wheel one for this platform alone:
tagged py3-none-<platform> (any Python 3, no extension ABI, this operating system and
processor), never py3-none-any. Without a library inside, the wheel stays pure.

Everything else is in pyproject.toml.
"""
import glob
import os

from setuptools import Distribution, setup

try:
    from setuptools.command.bdist_wheel import bdist_wheel
except ImportError:  # setuptools before 70.1 has it from the wheel package
    try:
        from wheel.bdist_wheel import bdist_wheel
    except ImportError:
        bdist_wheel = None

PACKAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "eurocall")
LIBRARY_PATTERNS = ("*.so", "*.so.*", "*.dylib", "*.dll")


def carries_library():
    return any(glob.glob(os.path.join(PACKAGE, pattern)) for pattern in LIBRARY_PATTERNS)


options = {}
if bdist_wheel is not None and carries_library():
    class PlatformDistribution(Distribution):
        # Installs into the platform's library tree, as a package with compiled parts does.
        def has_ext_modules(self):
            return True

    class PlatformWheel(bdist_wheel):
        def get_tag(self):
            platform = super().get_tag()[2]
            return "py3", "none", platform

    options = dict(distclass=PlatformDistribution, cmdclass={"bdist_wheel": PlatformWheel})

setup(**options)
