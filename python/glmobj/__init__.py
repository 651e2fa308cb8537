"""glmobj: Wavefront OBJ/MTL models read by the glm library, as numpy arrays.

    import glmobj
    model = glmobj.read("chair.obj")
    model.vertices          # (N, 3) float32 view of the model's own array
    model.faces             # (T, 3) int32 vertex indices, 0-based
    model.vertex_normals(60); model.write("smooth.obj")

The library's warnings are given as glmobj.ObjWarning; a malformed file
raises glmobj.ObjError, a file that cannot be opened OSError.
"""
from __future__ import annotations

import os
import typing

from ._types import Group, Material, Object, ObjError, ObjWarning
from . import _core
from ._core import Model

__all__ = ["read", "Model", "Group", "Material", "Object", "ObjError", "ObjWarning"]
__version__ = _core.LIBRARY_VERSION

Path = typing.Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]
Source = typing.Union[Path, bytearray, memoryview, typing.IO[bytes]]
Opener = typing.Callable[[str], typing.Union[bytes, bytearray, memoryview, typing.IO[bytes], None]]


def read(source: Source, *, name: typing.Optional[Path] = None,
         open: typing.Optional[Opener] = None, threads: int = 0) -> Model:
    """Reads an OBJ model and the material libraries it names.

    source  a path (str or os.PathLike); or the OBJ text itself, bytes-like
            (bytes, bytearray, memoryview, ... read in place, not copied); or
            a binary file object, read to its end first.
    name    names a text or file object in messages and in Model.path, and
            its directory is where material libraries are looked for (a file
            object's own name is taken when it has one). Not for paths.
    open    serves the material libraries: called with the path the library
            would open (the "mtllib" name joined to the OBJ file's directory),
            it returns the library's bytes, a binary file object (read, then
            closed) or None when there is none (the library warns that it
            cannot open it and the model reads in the default material). An
            exception it raises comes out of read. A path source is still
            read from its path, then on one thread.
    threads the most threads the read may use: 0 lets the library read a
            large regular file or text in two halves at once, 1 keeps it on
            the calling thread.

    The GIL is released while the library reads. Its warnings (a library
    that cannot be opened, an unknown material) are given as ObjWarning
    once the read is done. Raises OSError (FileNotFoundError, ...) when the
    file cannot be opened or read, ObjError (a ValueError, with .line and
    .path) when it is malformed, MemoryError when memory runs out.
    """
    if isinstance(threads, bool) or not isinstance(threads, int) or threads < 0:
        raise ValueError(f"threads must be an int >= 0, not {threads!r}")
    if open is not None and not callable(open):
        raise TypeError(f"open must be callable, not {type(open).__name__}")
    if isinstance(source, (str, os.PathLike)):
        if name is not None:
            raise TypeError("name is for a text or file object, not a path")
        return _core._read_path(os.fsencode(source), open, threads)
    if hasattr(source, "read"):
        if name is None:
            own = getattr(source, "name", None)
            name = own if isinstance(own, (str, bytes, os.PathLike)) else None
        source = source.read()
        if isinstance(source, str):
            raise TypeError("the file object must be opened in binary mode")
    try:
        text = memoryview(source)
    except TypeError:
        raise TypeError("source must be a path, a bytes-like object or a binary file object, "
                        f"not {type(source).__name__}") from None
    if not text.c_contiguous:
        text = memoryview(text.tobytes())
    return _core._read_memory(text, None if name is None else os.fsencode(name), open, threads)
