"""Shared fixtures of the glmobj tests: the test data, objtool (the C
reader's own program, for the differential test) and small models."""
import os
import warnings
from pathlib import Path

import pytest

import glmobj

DATA = Path(__file__).resolve().parents[1] / "data"

# A unit cube with texture coordinates, normals, two groups and a library.
CUBE = b"""mtllib cube.mtl
v 0 0 0
v 1 0 0
v 1 1 0
v 0 1 0
v 0 0 1
v 1 0 1
v 1 1 1
v 0 1 1
vt 0 0
vt 1 0
vt 1 1
vt 0 1
vn 0 0 -1
vn 0 0 1
g sides
usemtl red
f 1/1/1 4/4/1 3/3/1 2/2/1
f 5/1/2 6/2/2 7/3/2 8/4/2
g ring
usemtl blue
f 1 2 6 5
f 2 3 7 6
f 3 4 8 7
f 4 1 5 8
"""
CUBE_MTL = b"""newmtl red
Kd 1 0 0
Ns 500
d 0.5
map_Kd -s 2 2 red tiles.png
newmtl blue
Kd 0 0 1
bump blue.png
"""


def pytest_report_header(config):
    return f"glmobj {glmobj.__version__} from {os.path.dirname(glmobj.__file__)}"


@pytest.fixture
def cube_dir(tmp_path):
    (tmp_path / "cube.obj").write_bytes(CUBE)
    (tmp_path / "cube.mtl").write_bytes(CUBE_MTL)
    return tmp_path


@pytest.fixture
def objtool():
    """The C reader's program: $GLMOBJ_OBJTOOL, else the build tree's."""
    path = os.environ.get("GLMOBJ_OBJTOOL") or str(DATA.parents[1] / "build" / "objtool" / "objtool")
    if not os.access(path, os.X_OK):
        pytest.skip(f"no objtool at {path} (build it, or set GLMOBJ_OBJTOOL)")
    return path


def read_warned(*args, **kwargs):
    """glmobj.read, and the messages of the warnings it gave."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        model = glmobj.read(*args, **kwargs)
    assert all(w.category is glmobj.ObjWarning for w in caught)
    return model, [str(w.message) for w in caught]
