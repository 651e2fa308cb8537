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
    None. emissive (Ke), ior (Ni), illum, transmission (Tf) and the physically
    based parameters (Pr, Pm, Ps, Pc, Pcr, aniso, anisor) hold their unset
    values when the library names none (illum None).
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
    emissive: RGBA = (0.0, 0.0, 0.0, 1.0)
    ior: float = 1.0
    illum: Optional[int] = None
    transmission: Tuple[float, float, float] = (1.0, 1.0, 1.0)
    roughness: float = 0.0
    metallic: float = 0.0
    sheen: float = 0.0
    clearcoat: float = 0.0
    clearcoatroughness: float = 0.0
    anisotropy: float = 0.0
    anisotropyrotation: float = 0.0
    emissivemap: Optional[str] = None
    roughnessmap: Optional[str] = None
    metallicmap: Optional[str] = None
    sheenmap: Optional[str] = None
    normalmap: Optional[str] = None
    displacementmap: Optional[str] = None
    reflectionmap: Optional[str] = None


@dataclass(frozen=True)
class Object:
    """An object of the file's "o" lines: the triangles from its line to the
    next, rows firsttriangle .. firsttriangle + trianglecount - 1 of
    Model.faces."""

    name: str
    firsttriangle: int
    trianglecount: int


for _shown in (ObjError, ObjWarning, Group, Material, Object):
    _shown.__module__ = "glmobj"  # where they are used from
