# SPDX-License-Identifier: Apache-2.0
"""Finding and loading the shared library.

Places are tried in this order, and the first library that loads is used:

1. the file named by the environment variable EUROCALL_LIBRARY (a file, or a directory
   holding it); when the variable is set, nothing else is tried;
2. the package's own directory, where an install or a build can put the library;
3. the build tree, when the package is used from the source tree: build/<preset>/ in
   bin, lib, src/boundary or the build directory itself, preset "default" first, and
   within a preset the most recently built file;
4. the system loader (LD_LIBRARY_PATH, the loader cache, PATH on Windows).

The path reported is always the full path of the file that loaded: for a library the
system loader found by name, the file the loader chose, as the loader itself reports it.
"""
import ctypes
import ctypes.util
import os
import sys
import threading

ENV_VAR = "EUROCALL_LIBRARY"

PACKAGE_DIR = os.path.dirname(os.path.abspath(__file__))

# Where CMake places a shared library in a build directory: bin/ or lib/ when an output
# directory is set, else the folder of the target; one level deeper per configuration
# with a multi-configuration generator.
_BUILD_SUBDIRS = ("bin", "lib", os.path.join("src", "boundary"), "")
_CONFIGURATIONS = ("", "Release", "RelWithDebInfo", "MinSizeRel", "Debug")


class LibraryNotFoundError(OSError):
    """The shared library could not be found or loaded; the message says where it looked."""


def file_names():
    """The library's file names on this platform, the development name first."""
    if os.name == "nt" or sys.platform == "cygwin":
        return ("eurocall.dll", "libeurocall.dll")
    if sys.platform == "darwin":
        return ("libeurocall.dylib", "libeurocall.1.dylib")
    return ("libeurocall.so", "libeurocall.so.1")


def _open(path):
    # 32-bit Windows exports are __stdcall; everywhere else the one C convention.
    if os.name == "nt" and ctypes.sizeof(ctypes.c_void_p) == 4:
        return ctypes.WinDLL(path)
    return ctypes.CDLL(path)


class _LinkMap(ctypes.Structure):
    # The head of the loader's record of a loaded object (<link.h>): its address
    # offset, then its file name.
    _fields_ = [("l_addr", ctypes.c_void_p), ("l_name", ctypes.c_char_p)]


_RTLD_DI_LINKMAP = 2


def _file_of(handle, name):
    """The full path of the file behind a loaded handle; name as given when it cannot be told."""
    if os.name == "nt":
        kernel32 = ctypes.WinDLL("kernel32")
        kernel32.GetModuleFileNameW.argtypes = [ctypes.c_void_p, ctypes.c_wchar_p, ctypes.c_uint32]
        kernel32.GetModuleFileNameW.restype = ctypes.c_uint32
        buffer = ctypes.create_unicode_buffer(32768)
        if kernel32.GetModuleFileNameW(handle._handle, buffer, len(buffer)):
            return buffer.value
    else:
        # dlinfo is glibc's and the BSDs'; it lives in libc, or in libdl before glibc 2.34.
        for library in (None, ctypes.util.find_library("dl")):
            try:
                dlinfo = ctypes.CDLL(library).dlinfo
            except (OSError, AttributeError, TypeError):
                continue
            dlinfo.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p]
            dlinfo.restype = ctypes.c_int
            record = ctypes.POINTER(_LinkMap)()
            if dlinfo(handle._handle, _RTLD_DI_LINKMAP, ctypes.byref(record)) == 0 and record and record.contents.l_name:
                return os.path.abspath(os.fsdecode(record.contents.l_name))
    return os.path.abspath(name) if os.path.dirname(name) else name


def _source_root(package_dir):
    """The source tree that holds the package, or None for an installed package."""
    root = os.path.dirname(os.path.dirname(package_dir))
    if os.path.isfile(os.path.join(root, "include", "eurocall.h")):
        return root
    return None


def _build_dirs(root):
    build = os.path.join(root, "build")
    try:
        presets = sorted(os.listdir(build), key=lambda name: (name != "default", name))
    except OSError:
        return build, []
    return build, [os.path.join(build, p) for p in presets if os.path.isdir(os.path.join(build, p))]


def _try_files(directories, names, failures, newest_first=False):
    paths = [os.path.join(d, n) for d in directories for n in names]
    paths = [p for p in paths if os.path.isfile(p)]
    if newest_first:
        # A build directory can hold a library left behind where an older layout put it.
        paths.sort(key=lambda p: -os.path.getmtime(p))
    for path in paths:
        try:
            return _open(path), path
        except OSError as error:
            failures.append("    %s: %s" % (path, error))
    return None


def load(environ=None, package_dir=PACKAGE_DIR):
    """Return (handle, path) of the first library that loads; raise LibraryNotFoundError."""
    environ = os.environ if environ is None else environ
    handle, path = _find(environ, package_dir)
    return handle, _file_of(handle, path)


def _find(environ, package_dir):
    names = file_names()
    explicit = environ.get(ENV_VAR)
    if explicit:
        candidates = [os.path.join(explicit, n) for n in names] if os.path.isdir(explicit) else [explicit]
        errors = []
        for path in candidates:
            try:
                return _open(path), path
            except OSError as error:
                errors.append("    %s: %s" % (path, error))
        raise LibraryNotFoundError(
            "eurocall: %s=%s does not name a library that loads:\n%s" % (ENV_VAR, explicit, "\n".join(errors)))

    looked = ["  %s: not set" % ENV_VAR]
    failures = []

    found = _try_files([package_dir], names, failures)
    if found:
        return found
    looked.append("  next to the package: %s" % package_dir)

    root = _source_root(package_dir)
    if root is None:
        looked.append("  build tree: none (the package is not in a source tree)")
    else:
        build, presets = _build_dirs(root)
        if not presets:
            looked.append("  build tree: none (no build directory %s)" % build)
        for preset in presets:
            directories = [os.path.join(preset, sub, config) for sub in _BUILD_SUBDIRS for config in _CONFIGURATIONS]
            found = _try_files([d for d in directories if os.path.isdir(d)], names, failures, newest_first=True)
            if found:
                return found
            looked.append("  build tree: %s (in bin, lib, src/boundary and the directory itself)" % preset)

    system = list(names)
    located = ctypes.util.find_library("eurocall")
    if located and located not in system:
        system.append(located)
    for name in system:
        try:
            return _open(name), name
        except OSError:
            pass
    looked.append("  system loader: %s" % ", ".join(system))

    message = ["eurocall: cannot find the shared library (%s). Looked in:" % ", ".join(names)]
    message += looked
    if failures:
        message.append("  files that did not load:")
        message += failures
    message.append("Build it (cmake --workflow --preset default) or set %s to its path." % ENV_VAR)
    raise LibraryNotFoundError("\n".join(message))


_lock = threading.Lock()
_loaded = None


def library():
    """The loaded library as (handle, path), loading it on first use."""
    global _loaded
    with _lock:
        if _loaded is None:
            _loaded = load()
        return _loaded
