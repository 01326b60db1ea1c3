# SPDX-License-Identifier: Apache-2.0
"""Finding the shared library: the order of the places, and what is said when it fails.

Each case runs a fresh interpreter, since a process loads the library once.
"""
import ast
import ctypes.util
import importlib.util
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

from support import LIBRARY_PATH

SOURCE_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PACKAGE = os.path.join(SOURCE_ROOT, "python", "eurocall")
LIBRARY_NAME = {"nt": "eurocall.dll"}.get(os.name, "libeurocall.dylib" if sys.platform == "darwin" else "libeurocall.so")

REPORT = ("import eurocall\n"
          "print('imported')\n"
          "print(eurocall.bs_call(S=100, K=100, T=1, r=0.05, vol=0.2).hex())\n"
          "print(eurocall.library_path())\n")


def run(code, pythonpath, **variables):
    """Run code in a fresh interpreter without EUROCALL_LIBRARY unless given."""
    env = {k: v for k, v in os.environ.items() if k not in ("EUROCALL_LIBRARY", "PYTHONPATH", "LD_LIBRARY_PATH")}
    env.update(PYTHONPATH=pythonpath, PYTHONDONTWRITEBYTECODE="1", **variables)
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=env, cwd=pythonpath)


class Discovery(unittest.TestCase):
    def setUp(self):
        # A copy of the package outside any source tree, without a library beside it.
        self.tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.tmp)
        self.package = os.path.join(self.tmp, "eurocall")
        shutil.copytree(PACKAGE, self.package, ignore=shutil.ignore_patterns("__pycache__", "*.so*", "*.dll", "*.dylib"))

    def assertLoaded(self, done, path):
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.split(), ["imported", (10.450583572185558).hex(), path])

    def test_not_found_says_where_it_looked(self):
        done = run(REPORT, self.tmp)
        if done.returncode == 0:
            self.skipTest("a library is installed where the system loader finds it")
        self.assertEqual(done.stdout, "imported\n")  # importing needs no library, calling does
        for words in ("LibraryNotFoundError", "EUROCALL_LIBRARY: not set", "next to the package: " + self.package,
                      "build tree: none (the package is not in a source tree)", "system loader: " + LIBRARY_NAME):
            self.assertIn(words, done.stderr)

    def test_the_variable_is_the_only_place_tried_when_set(self):
        shutil.copy(LIBRARY_PATH, os.path.join(self.package, LIBRARY_NAME))
        missing = os.path.join(self.tmp, "nowhere", LIBRARY_NAME)
        done = run(REPORT, self.tmp, EUROCALL_LIBRARY=missing)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("EUROCALL_LIBRARY=%s does not name a library that loads" % missing, done.stderr)

    def test_the_variable_may_name_a_directory(self):
        directory = os.path.join(self.tmp, "lib")
        os.mkdir(directory)
        shutil.copy(LIBRARY_PATH, os.path.join(directory, LIBRARY_NAME))
        self.assertLoaded(run(REPORT, self.tmp, EUROCALL_LIBRARY=directory), os.path.join(directory, LIBRARY_NAME))

    def test_next_to_the_package(self):
        shutil.copy(LIBRARY_PATH, os.path.join(self.package, LIBRARY_NAME))
        self.assertLoaded(run(REPORT, self.tmp), os.path.join(self.package, LIBRARY_NAME))

    def test_build_tree_of_the_source_checkout(self):
        build = os.path.join(SOURCE_ROOT, "build") + os.sep
        if not os.path.abspath(LIBRARY_PATH).startswith(build):
            self.skipTest("the library under test is not in %s" % build)
        done = run(REPORT, os.path.dirname(PACKAGE))
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertTrue(done.stdout.split()[-1].startswith(build), done.stdout)

    def test_build_tree_prefers_the_default_preset_then_the_newest_file(self):
        # A source tree of its own: preset "default" with a library left behind in an
        # older place (bin/) and a newer one, and another preset built later still.
        root = os.path.join(self.tmp, "checkout")
        os.makedirs(os.path.join(root, "include"))
        open(os.path.join(root, "include", "eurocall.h"), "w").close()
        shutil.copytree(self.package, os.path.join(root, "python", "eurocall"))
        places = [("default", "bin", 1000), ("default", os.path.join("src", "boundary"), 2000), ("asan", "bin", 3000)]
        for preset, sub, mtime in places:
            os.makedirs(os.path.join(root, "build", preset, sub))
            path = os.path.join(root, "build", preset, sub, LIBRARY_NAME)
            shutil.copy(LIBRARY_PATH, path)
            os.utime(path, (mtime, mtime))
        self.assertLoaded(run(REPORT, os.path.join(root, "python")),
                          os.path.join(root, "build", "default", "src", "boundary", LIBRARY_NAME))

    def test_the_path_reported_is_always_the_full_path_of_the_file_loaded(self):
        # A relative EUROCALL_LIBRARY, and a library the system loader finds by name.
        directory = os.path.join(self.tmp, "lib")
        os.mkdir(directory)
        shutil.copy(LIBRARY_PATH, os.path.join(directory, LIBRARY_NAME))
        self.assertLoaded(run(REPORT, self.tmp, EUROCALL_LIBRARY="lib"), os.path.join(directory, LIBRARY_NAME))
        if os.name == "posix" and sys.platform != "darwin":
            self.assertLoaded(run(REPORT, self.tmp, LD_LIBRARY_PATH=directory), os.path.join(directory, LIBRARY_NAME))

    @unittest.skipUnless(ctypes.util.find_library("m") and os.name == "posix", "needs a C maths library to stand in")
    def test_a_missing_export_is_named(self):
        # Any shared library without the exports stands in for an outdated build.
        stand_in = ctypes.util.find_library("m")
        done = run("import eurocall\nprint(hasattr(eurocall.raw, 'BSCall'))\neurocall.raw.BSVol\n", self.tmp,
                   EUROCALL_LIBRARY=stand_in)
        self.assertEqual(done.stdout, "False\n")
        # Named by its full path, though the system loader found it by name.
        self.assertRegex(done.stderr, r"MissingExportError: eurocall: the library /\S*/%s does not export BSVol"
                         % re.escape(stand_in))


def has_modules(*names):
    return all(importlib.util.find_spec(name) is not None for name in names)


class Packaging(unittest.TestCase):
    @unittest.skipUnless(os.name == "posix" and has_modules("pip", "setuptools", "wheel"),
                         "needs pip, setuptools and wheel for %s" % sys.executable)
    def test_a_wheel_with_the_library_is_tagged_for_its_platform_and_carries_it(self):
        tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, tmp)
        built = subprocess.run(["bash", os.path.join(SOURCE_ROOT, "scripts", "python-wheel.sh"), LIBRARY_PATH, tmp],
                               capture_output=True, text=True, env=dict(os.environ, PYTHON=sys.executable))
        self.assertEqual(built.returncode, 0, built.stderr)
        wheels = [name for name in os.listdir(tmp) if name.endswith(".whl")]
        self.assertEqual(len(wheels), 1, wheels)
        python, abi, platform = wheels[0][:-len(".whl")].split("-")[2:]
        self.assertEqual((python, abi), ("py3", "none"))
        self.assertNotEqual(platform, "any")
        with zipfile.ZipFile(os.path.join(tmp, wheels[0])) as wheel:
            self.assertIn("eurocall/" + LIBRARY_NAME, wheel.namelist())  # at the root, not under .data
            self.assertIn("Root-Is-Purelib: false", wheel.read("eurocall-%s.dist-info/WHEEL" % wheels[0].split("-")[1])
                          .decode())
        # Installed, it loads the library it carries.
        site = os.path.join(tmp, "site")
        installed = subprocess.run([sys.executable, "-m", "pip", "install", "--quiet", "--no-index", "--no-deps",
                                    "--target", site, os.path.join(tmp, wheels[0])], capture_output=True, text=True)
        self.assertEqual(installed.returncode, 0, installed.stderr)
        done = run(REPORT, site)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.split()[-1], os.path.join(site, "eurocall", LIBRARY_NAME))
        # Nothing was left behind in the source tree.
        self.assertFalse(os.path.exists(os.path.join(SOURCE_ROOT, "python", "build")))


class Portability(unittest.TestCase):
    def test_package_parses_as_python_3_8(self):
        for name in sorted(os.listdir(PACKAGE)):
            if name.endswith(".py"):
                with self.subTest(name), open(os.path.join(PACKAGE, name), encoding="utf-8") as source:
                    ast.parse(source.read(), name, feature_version=(3, 8))


if __name__ == "__main__":
    unittest.main()
