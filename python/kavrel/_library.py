"""Finding and loading libkavrel, and where the simulator's pieces are."""
import ctypes
import os
import shutil
import sys

try:  # written by a CMake build or install: where the library and the simulator are
    from kavrel import _paths
except ImportError:
    _paths = None

_HERE = os.path.dirname(os.path.abspath(__file__))
SONAME = "libkavrel.so.1"
DLL_NAME = "kavrel.dll"


def _system_name():
    """The library as the system search knows it. On Windows, Python's own DLL
    search leaves out PATH, so kavrel.dll is looked for there by this package."""
    if sys.platform != "win32":
        return SONAME
    for directory in os.environ.get("PATH", "").split(os.pathsep):
        path = os.path.join(directory, DLL_NAME) if directory else ""
        if path and os.path.isfile(path):
            return os.path.abspath(path)
    return DLL_NAME


def _from_paths(name):
    """A location from _paths, relative to the package directory."""
    value = getattr(_paths, name, None) if _paths else None
    if value is None:
        return None
    if isinstance(value, (list, tuple)):
        return [os.path.normpath(os.path.join(_HERE, value[0]))] + list(value[1:])
    return os.path.normpath(os.path.join(_HERE, value))


def candidates():
    """Where the library is looked for, in order: next to the package (a CMake
    build or install), KAVREL_LIBRARY, then the system loader's search."""
    found = []
    built = _from_paths("LIBRARY")
    if built:
        found.append(("next to the package", built))
    if os.environ.get("KAVREL_LIBRARY"):
        found.append(("KAVREL_LIBRARY", os.environ["KAVREL_LIBRARY"]))
    found.append(("system loader", _system_name()))
    return found


def load():
    """The loaded library and its path; OSError naming every place tried."""
    tried = []
    for source, path in candidates():
        if source == "next to the package" and not os.path.exists(path):
            tried.append(f"{path} ({source}): not found")
            continue
        try:
            library = ctypes.CDLL(path)
        except OSError as error:
            tried.append(f"{path} ({source}): {error}")
            continue
        return library, loaded_path(library, path)
    raise OSError(("kavrel.dll" if sys.platform == "win32" else "libkavrel") + " cannot be loaded; tried " + "; ".join(tried) +
                  ". Set KAVREL_LIBRARY to the library's path.")


class _LinkMap(ctypes.Structure):
    _fields_ = [("l_addr", ctypes.c_void_p), ("l_name", ctypes.c_char_p)]


def loaded_path(library, fallback):
    """The file the loader opened, as an absolute path."""
    if sys.platform == "win32":
        return _module_path(library, fallback)
    libdl = ctypes.CDLL(None)
    link_map = ctypes.POINTER(_LinkMap)()
    RTLD_DI_LINKMAP = 2
    try:
        if libdl.dlinfo(ctypes.c_void_p(library._handle), RTLD_DI_LINKMAP, ctypes.byref(link_map)) == 0:
            name = link_map.contents.l_name
            if name:
                return os.path.realpath(os.fsdecode(name))
    except AttributeError:
        pass
    return os.path.realpath(fallback) if os.path.exists(fallback) else fallback


def _module_path(library, fallback):
    """The file Windows loaded for a module handle."""
    buffer = ctypes.create_unicode_buffer(32768)
    length = ctypes.windll.kernel32.GetModuleFileNameW(ctypes.c_void_p(library._handle), buffer, len(buffer))
    return buffer.value[:length] if length else os.path.abspath(fallback)


def standin(library_path):
    """The project's VISA stand-in: from _paths, else beside the library in a
    build tree (testbed/visa) or an install (<libdir>/kavrel). On Windows
    kavrel.dll is in bin/, and the stand-in visa32.dll in testbed/visa or lib/kavrel."""
    known = _from_paths("STANDIN")
    if known and os.path.exists(known):
        return known
    libdir = os.path.dirname(library_path)
    if sys.platform == "win32":
        root = os.path.dirname(libdir)
        places = (os.path.join(root, "testbed", "visa", "visa32.dll"), os.path.join(root, "lib", "kavrel", "visa32.dll"))
    else:
        places = (os.path.join(libdir, "testbed", "visa", "libvisa.so.0"), os.path.join(libdir, "kavrel", "libvisa.so.0"))
    for path in places:
        if os.path.exists(path):
            return path
    return None


def simulator_command(library_path):
    """The command that runs the simulated instrument: kavrel-sim, or 'kavrel sim'."""
    known = _from_paths("SIMULATOR")
    if known and os.path.exists(known[0]):
        return known
    libdir = os.path.dirname(library_path)
    if sys.platform == "win32":
        program = os.path.join(libdir, "kavrel-sim.exe")  # beside kavrel.dll, built or installed
    else:
        program = os.path.join(libdir, "testbed", "sim", "kavrel-sim")
    if os.path.exists(program):
        return [program]
    for name, args in (("kavrel-sim", []), ("kavrel", ["sim"])):
        program = shutil.which(name)
        if program:
            return [program] + args
    return None
