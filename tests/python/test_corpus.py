"""Every corpus file reads through glmobj as objtool (the C reader and
writer, in a process of their own) reads it: the same messages, counts,
groups, materials and bounds, and arrays equal to the ones the C writer
prints, or the same failure."""
import json
import subprocess
import warnings

import numpy as np
import pytest

import glmobj
from conftest import DATA

CORPUS = sorted(p for p in (DATA / "corpus").rglob("*")
                if p.is_file() and p.suffix != ".mtl" and p.name not in ("LICENSE", "SOURCES"))
CORPUS += sorted((DATA / "models").rglob("*.obj"))
MAPS = {"map_Kd": "diffusemap", "map_Ka": "ambientmap", "map_Ks": "specularmap",
        "map_d": "alphamap", "bump": "bumpmap"}


def written_arrays(text):
    """The entries and faces of an OBJ text the C writer wrote."""
    found = {"v": [], "vn": [], "vt": [], "f": []}
    for line in text.splitlines():
        word, _, rest = line.partition(" ")
        if word in found:
            found[word].append([c.split("/") for c in rest.split()] if word == "f" else rest.split())
    return found


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, errors="surrogateescape")


@pytest.mark.parametrize("path", CORPUS, ids=lambda p: str(p.relative_to(DATA)))
def test_reads_as_the_c_reader(path, objtool, tmp_path):
    path = str(path)
    info = run(objtool, "info", path, "--json")
    failures = [m for m in info.stderr.splitlines() if " failed: " in m]
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            model, error = glmobj.read(path), None
        except glmobj.ObjError as raised:
            model, error = None, raised
    assert [str(w.message) for w in caught] == [m for m in info.stderr.splitlines() if m not in failures]
    if info.returncode:
        assert model is None and [str(error)] == failures and error.path == path
        assert f"line {error.line}:" in str(error)
        return
    report = json.loads(info.stdout)

    counts = {"vertices": len(model.vertices), "normals": len(model.normals if model.normals is not None else []),
              "texcoords": len(model.texcoords if model.texcoords is not None else []),
              "triangles": len(model.faces), "groups": len(model.groups), "materials": len(model.materials)}
    assert counts == report["counts"]
    names = [m.name for m in model.materials]
    assert [(g.name, len(g.triangles), None if g.material is None else names[g.material]) for g in model.groups] == \
        [(g["name"], g["triangles"], g["material"]) for g in report["groups"]]
    per_material = np.bincount(model.face_materials, minlength=len(names)) if names else []
    assert [(m.name, int(n), {k: getattr(m, a) for k, a in MAPS.items() if getattr(m, a)})
            for m, n in zip(model.materials, per_material)] == \
        [(m["name"], m["triangles"], {k: v["file"] for k, v in m["maps"].items()}) for m in report["materials"]]
    if report["bounds"]:
        for key, ours in (("min", model.vertices.min(axis=0)), ("max", model.vertices.max(axis=0))):
            theirs = [o if x is None else x for x, o in zip(report["bounds"][key], ours)]
            assert np.array_equal(ours, np.array(theirs, dtype=np.float32), equal_nan=True)

    out = tmp_path / "out.obj"
    assert run(objtool, "convert", path, str(out), "--write", "smooth,texture").returncode == 0
    written = written_arrays(out.read_text(errors="surrogateescape"))
    for ours, key in ((model.vertices, "v"), (model.normals, "vn"), (model.texcoords, "vt")):
        theirs = np.array(written[key], dtype=np.float32).reshape(-1, 2 if key == "vt" else 3)
        assert np.array_equal(ours if ours is not None else theirs[:0], theirs, equal_nan=True)
    order = np.concatenate([g.triangles for g in model.groups])
    assert sorted(order) == list(range(len(model.faces)))
    corners = written["f"]
    theirs = np.array([[int(c[0]) - 1 for c in f] for f in corners], dtype=int).reshape(-1, 3)
    assert np.array_equal(model.faces[order], theirs)
    for column, ours, present in ((1, model.face_texcoords[order], model.texcoords is not None),
                                  (2, model.face_normals[order], model.normals is not None)):
        whole = present & (ours >= 0).all(axis=1)
        assert [len(c[0]) > column and c[0][column] != "" for c in corners] == list(whole)
        theirs = [[int(c[column]) - 1 for c in f] for f, w in zip(corners, whole) if w]
        assert np.array_equal(ours[whole], np.array(theirs, dtype=int).reshape(-1, 3))
