"""The exception, warning and record types of glmobj."""
from __future__ import annotations

from dataclasses import dataclass
from typing import Optional, Tuple

import numpy as np


class ObjError(ValueError):
    """A malformed OBJ file: the library's message, with its line and file.

    line is the line the failure is on (None when it has none); path is the
    file's path or the name given to glmobj.read (None for an unnamed text).
    """

    def __init__(self, message: str, line: Optional[int] = None, path: Optional[str] = None):
        super().__init__(message)
        self.line = line
        self.path = path


class ObjWarning(UserWarning):
    """A warning of the library's, such as a material library it cannot open."""


RGBA = Tuple[float, float, float, float]


@dataclass(frozen=True, eq=False)
class Group:
    """A named group of triangles.

    triangles holds the indices of its triangles (rows of Model.faces);
    material is the index into Model.materials of the last material in force
    while the group was current, None when the model has no materials.
    """

    name: str
    triangles: np.ndarray
    material: Optional[int]


@dataclass(frozen=True)
class Material:
    """A material of the model's material library.

    Colours are RGBA (the library reads RGB; alpha stays 1), shininess is on
    OpenGL's 0..128 scale, dissolve is the opacity 0..1. The map names are the
    image files the MTL lines name (relative to the MTL file's directory), or
    None.
    """

    name: str
    diffuse: RGBA
    ambient: RGBA
    specular: RGBA
    shininess: float
    dissolve: float
    diffusemap: Optional[str] = None
    ambientmap: Optional[str] = None
    specularmap: Optional[str] = None
    alphamap: Optional[str] = None
    bumpmap: Optional[str] = None


for _shown in (ObjError, ObjWarning, Group, Material):
    _shown.__module__ = "glmobj"  # where they are used from
