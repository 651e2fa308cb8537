"""Model: views of the model's arrays, the operations, writing."""
import gc
import threading
import warnings

import numpy as np
import pytest

import glmobj
from conftest import read_warned

# Two triangles at a right angle along the x axis, vertex 5 a copy of 2,
# vertex 6 used by no triangle.
HINGE = b"v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nv 1 0 0\nv 9 9 9\nf 1 2 3\nf 1 4 5\n"


def hinge():
    return glmobj.read(HINGE)


def test_views_are_the_models_arrays_and_keep_it_alive(cube_dir):
    model = glmobj.read(cube_dir / "cube.obj")
    views = model.vertices, model.normals, model.texcoords
    assert [v.shape for v in views] == [(8, 3), (2, 3), (4, 2)]
    assert all(v.dtype == np.float32 and not v.flags.owndata and v.flags.writeable for v in views)
    model.vertices[7] = (4, 2, 1)  # the model's own array: operations see it
    assert model.extents() == (4.0, 2.0, 1.0)
    kept = [v.copy() for v in views]
    del model
    gc.collect()
    assert all(np.array_equal(v, k) for v, k in zip(views, kept))


def test_a_view_outlives_the_array_an_operation_replaces(cube_dir):
    model = glmobj.read(cube_dir / "cube.obj")
    old = model.vertices, model.normals, model.texcoords
    kept = [v.copy() for v in old]
    model.vertices[4] = model.vertices[0]
    kept[0][4] = kept[0][0]
    model.weld(0.001)
    model.vertex_normals(0)
    model.planar_texcoords()
    assert [len(model.vertices), len(model.texcoords)] == [7, 7] and len(model.normals) > 2
    assert all(np.array_equal(v, k) for v, k in zip(old, kept))
    welded = model.vertices
    once = welded.copy()
    model.scale(2)  # in place: a view of the current array shows it
    assert np.array_equal(welded, 2 * once) and np.array_equal(old[0], kept[0])


def test_views_and_operations_on_threads_never_see_freed_memory(cube_dir):
    model = glmobj.read(cube_dir / "cube.obj")
    original, wrong = model.vertices.copy(), []

    def work():
        for _ in range(200):
            model.weld(0)  # replaces the vertices with equal ones
            if not np.array_equal(model.vertices, original):
                wrong.append(1)

    threads = [threading.Thread(target=work) for _ in range(3)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert wrong == []


def test_indices_are_zero_based_with_minus_one_for_none(cube_dir):
    model = glmobj.read(cube_dir / "cube.obj")
    assert model.faces.dtype == np.int32 and model.faces[:2].tolist() == [[0, 3, 2], [0, 2, 1]]
    assert model.face_texcoords[:2].tolist() == [[0, 3, 2], [0, 2, 1]]
    assert model.face_normals[:2].tolist() == [[0, 0, 0], [0, 0, 0]]
    assert (model.face_normals[4:] == -1).all() and (model.face_texcoords[4:] == -1).all()
    assert model.face_materials.tolist() == [1] * 4 + [2] * 8
    assert (hinge().face_materials == -1).all() and hinge().groups[0].material is None


def test_groups_and_materials(cube_dir):
    model = glmobj.read(cube_dir / "cube.obj")
    assert [(g.name, g.triangles.tolist(), g.material) for g in model.groups] == [
        ("default", [], 0), (" sides", [0, 1, 2, 3], 1), (" ring", list(range(4, 12)), 2)]
    default, red, blue = model.materials
    assert default.name == "default" and default.diffuse == pytest.approx((0.8, 0.8, 0.8, 1))
    assert (red.diffuse, red.shininess, red.dissolve, red.diffusemap) == ((1, 0, 0, 1), 64, 0.5, "red tiles.png")
    assert (blue.bumpmap, blue.diffusemap, blue.dissolve) == ("blue.png", None, 1)


def test_normals():
    model = hinge()
    model.facet_normals()
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        model.vertex_normals(89)  # the faces meet at 90 degrees: a crease
    assert [str(w.message) for w in caught] == ["glmVertexNormals(): vertex w/o a triangle"]
    assert caught[0].filename == __file__
    facets = np.array([[0, 0, 1], [0, 1, 0]], np.float32)
    assert np.array_equal(model.normals[model.face_normals], np.repeat(facets[:, None], 3, axis=1))
    with pytest.warns(glmobj.ObjWarning):
        model.vertex_normals(91)
    corner = model.normals[model.face_normals[0, 0]]
    assert np.allclose(corner, [0, 0.70710677, 0.70710677]) and len(model.normals) == 5


def test_transforms():
    model = hinge()
    model.translate(1, 2, 3)
    assert np.array_equal(model.vertices[0], [1, 2, 3])
    model.scale(0.5)
    assert np.array_equal(model.vertices[1], [1, 1, 1.5])
    assert model.extents() == (5.5, 6.5, 7.5)  # |max| + |min|
    assert model.fit_to_unit_cube() == pytest.approx(2 / 7.5)
    assert np.array_equal(model.vertices.max(axis=0), -model.vertices.min(axis=0))
    before = model.faces
    model.flip_winding()
    assert np.array_equal(model.faces, before[:, ::-1])


def test_texture_coordinates(cube_dir):
    model = hinge()
    with pytest.raises(ValueError, match="no normals"):
        model.spherical_texcoords()
    model.planar_texcoords()
    assert np.array_equal(model.face_texcoords, model.faces)
    assert np.allclose(model.texcoords[5], [1.5, 1.5])  # (x or z scaled by 2 / 9, + 1) / 2
    up = glmobj.read(b"vn 0 1 0\nv 0 0 0\nf 1//1 1//1 1//1\n")
    up.spherical_texcoords()
    assert np.allclose(up.texcoords, [[1, 0.5]]) and np.array_equal(up.face_texcoords, up.face_normals)


def test_weld_joins_close_vertices():
    model = hinge()
    model.weld(0.01)
    assert len(model.vertices) == 5 and model.faces.tolist() == [[0, 1, 2], [0, 3, 1]]


def test_write_then_read_gives_the_model_back(cube_dir, tmp_path):
    model = glmobj.read(cube_dir / "cube.obj")
    out = tmp_path / "out" / "copy.obj"
    out.parent.mkdir()
    model.write(out)
    again, said = read_warned(out)
    assert said == [] and again.materials == model.materials
    for name in ("vertices", "normals", "texcoords", "faces", "face_normals", "face_texcoords", "face_materials"):
        assert np.array_equal(getattr(again, name), getattr(model, name)), name
    again.write(tmp_path / "twice.obj")
    assert (tmp_path / "twice.obj").read_bytes() == out.read_bytes()


def test_write_failures_and_modes(tmp_path):
    model = hinge()
    with pytest.raises(FileNotFoundError, match="can't open file"):
        model.write(tmp_path / "no" / "such.obj", "none")
    with pytest.raises(ValueError, match='unknown write mode "shiny"'):
        model.write(tmp_path / "m.obj", "flat, shiny")
    with pytest.warns(glmobj.ObjWarning, match="smooth normal output requested with no normals"):
        model.write(tmp_path / "m.obj", "smooth")
    assert b"vn" not in (tmp_path / "m.obj").read_bytes()


def test_records_beside_faces_and_a_weld_that_keeps_them(tmp_path):
    (tmp_path / "r.mtl").write_bytes(b"newmtl red\nKe 0.5 0 0\nNi 1.5\nillum 2\nPr 0.25\nnorm n.png\n")
    (tmp_path / "r.obj").write_bytes(
        b"mtllib r.mtl\nv 0 0 0 1 0 0\nv 1 0 0\nv 0 0 0 0 0 1\nvt 0 0\n"
        b"f 1 2 3\no lid\ns 1\nusemtl red\nf 3 2 1\nl 1/1 2 3\np 3 -1\n")
    model = glmobj.read(tmp_path / "r.obj")
    colors = model.colors
    assert not colors.flags.owndata
    assert colors.tolist() == [[1, 0, 0], [1, 1, 1], [0, 0, 1]]
    assert model.objects == [glmobj.Object("lid", 1, 1)]
    assert model.smoothing.tolist() == [0, 1]
    assert model.lines.tolist() == [[0, 1], [1, 2]]
    assert model.line_texcoords.tolist() == [[0, -1], [-1, -1]]
    assert model.line_materials.tolist() == [1, 1]
    assert model.points.tolist() == [2, 2]
    red = model.materials[1]
    assert (red.emissive, red.ior, red.illum, red.roughness, red.normalmap) == \
        ((0.5, 0, 0, 1), 1.5, 2, 0.25, "n.png")
    assert model.materials[0].illum is None
    model.weld(0.001)  # vertex 3 joins vertex 1, whose colour it takes
    assert colors.tolist() == [[1, 0, 0], [1, 1, 1], [0, 0, 1]]  # the old view keeps its values
    assert model.colors.tolist() == [[1, 0, 0], [1, 1, 1]]
    assert model.lines.tolist() == [[0, 1], [1, 0]] and model.points.tolist() == [0, 0]
