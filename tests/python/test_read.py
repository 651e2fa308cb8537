"""glmobj.read: its sources, the open callback, errors, warnings, threads."""
import errno
import io
import os
import threading
import warnings

import numpy as np
import pytest

import glmobj
from conftest import CUBE, CUBE_MTL, read_warned

MISSING = 'glmReadMTL() warning: can\'t open material file "{}": No such file or directory.'
UNKNOWN = 'glmFindMaterial():  can\'t find material "{}".'


def same_model(a, b):
    for name in ("vertices", "normals", "texcoords", "faces", "face_normals", "face_texcoords",
                 "face_materials"):
        assert np.array_equal(getattr(a, name), getattr(b, name)), name
    assert a.materials == b.materials
    assert [(g.name, list(g.triangles), g.material) for g in a.groups] == \
        [(g.name, list(g.triangles), g.material) for g in b.groups]


def test_every_source_reads_the_same_model(cube_dir):
    path = cube_dir / "cube.obj"
    model, said = read_warned(path)
    assert said == [] and model.path == str(path) and model.mtllib == "cube.mtl"
    spread = np.zeros(2 * len(CUBE), np.uint8)
    spread[::2] = np.frombuffer(CUBE, np.uint8)
    named = str(cube_dir / "named.obj")  # the name's directory holds the library
    for source in (CUBE, bytearray(CUBE), memoryview(CUBE), memoryview(spread)[::2]):
        same_model(glmobj.read(source, name=named), model)
    with open(path, "rb") as file:
        same_model(glmobj.read(file), model)  # the file's own name finds the library
    unnamed, said = read_warned(io.BytesIO(CUBE))
    assert unnamed.path == "" and unnamed.materials == []
    assert said == [MISSING.format("cube.mtl"), UNKNOWN.format("red"), UNKNOWN.format("blue")]


def test_sources_of_the_wrong_kind_are_refused(cube_dir):
    with pytest.raises(TypeError, match="binary mode"):
        glmobj.read(open(cube_dir / "cube.obj"))
    with pytest.raises(TypeError, match="not int"):
        glmobj.read(7)
    with pytest.raises(TypeError, match="not a path"):
        glmobj.read(cube_dir / "cube.obj", name="other.obj")
    with pytest.raises(ValueError, match="threads"):
        glmobj.read(CUBE, threads=-1)


def test_open_serves_the_libraries(cube_dir):
    asked = []

    def serve(name):
        asked.append(name)
        return CUBE_MTL

    served = glmobj.read(CUBE, name="pack/cube.obj", open=serve)
    assert asked == ["pack/cube.mtl"] and [m.name for m in served.materials] == ["default", "red", "blue"]
    files = []

    def as_file(name):
        files.append(io.BytesIO(CUBE_MTL))
        return files[-1]

    from_disk = glmobj.read(cube_dir / "cube.obj", open=as_file)  # the OBJ itself comes from the file
    assert from_disk.materials == served.materials and files[0].closed
    none, said = read_warned(CUBE, name="pack/cube.obj", open=lambda name: None)
    assert none.materials == [] and said[0] == MISSING.format("pack/cube.mtl")


def test_an_exception_in_a_callback_comes_out_of_read():
    class Broken(io.RawIOBase):
        def read(self, size=-1):
            raise problem

    problem = KeyError("the archive is gone")
    for opener in (lambda name: (_ for _ in ()).throw(problem), lambda name: Broken()):
        with pytest.raises(KeyError) as raised:
            glmobj.read(CUBE, open=opener)
        assert raised.value is problem
    with pytest.raises(TypeError, match="must return bytes"):
        glmobj.read(CUBE, open=lambda name: 42)
    with pytest.raises(RuntimeError, match="inside another read"):
        glmobj.read(CUBE, open=lambda name: glmobj.read(CUBE_MTL))


def test_a_file_that_cannot_be_opened_is_an_os_error(tmp_path):
    missing = str(tmp_path / "missing.obj")
    for opener in (None, lambda name: None):
        with pytest.raises(FileNotFoundError) as raised:
            glmobj.read(missing, open=opener)
        assert raised.value.filename == missing
        assert raised.value.strerror == f'glmReadOBJ() failed: can\'t open data file "{missing}".'
    with pytest.raises(IsADirectoryError):
        glmobj.read(tmp_path)
    with pytest.raises(OSError, match="is a device") as raised:
        glmobj.read("/dev/null")
    assert raised.value.errno == errno.ENODEV


def test_a_malformed_file_is_an_obj_error(tmp_path):
    bad = tmp_path / "bad.obj"
    bad.write_bytes(b"v 0 0 0\nv 1 0 0\n\nf 1 2 3\n")
    with pytest.raises(glmobj.ObjError) as raised:
        glmobj.read(bad)
    assert isinstance(raised.value, ValueError)
    assert (raised.value.line, raised.value.path) == (4, str(bad))
    assert str(raised.value) == f'glmReadOBJ() failed: "{bad}" line 4: vertex index 3 is out of range.'
    with pytest.raises(glmobj.ObjError, match='Unknown token "vx"') as raised:
        glmobj.read(b"v 0 0 0\nvx 1\n")
    assert (raised.value.line, raised.value.path) == (2, None)


def test_warnings_come_in_order_from_the_callers_line(tmp_path):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        glmobj.read(b"mtllib gone.mtl\nusemtl x\nv 0 0 0\nf 1 1 1\n", name=str(tmp_path / "m.obj"))
    assert [str(w.message) for w in caught] == [MISSING.format(tmp_path / "gone.mtl"), UNKNOWN.format("x")]
    assert {w.filename for w in caught} == {__file__}
    with warnings.catch_warnings():
        warnings.simplefilter("error", glmobj.ObjWarning)
        with pytest.raises(glmobj.ObjWarning, match="gone.mtl"):
            glmobj.read(b"mtllib gone.mtl\n")


def test_threads_read_at_once_each_with_its_own_messages(cube_dir):
    expected = glmobj.read(cube_dir / "cube.obj")
    seen, failures = [], []
    show = lambda message, *rest, **kw: seen.append((threading.current_thread().name, str(message)))

    def reader():
        try:
            me = threading.current_thread().name
            for _ in range(20):
                same_model(glmobj.read(cube_dir / "cube.obj"), expected)
                glmobj.read(b"mtllib gone.mtl\n", name=f"{me}/m.obj")
        except BaseException as error:  # noqa: B902 - reported below
            failures.append(error)

    with warnings.catch_warnings():
        warnings.simplefilter("always")
        warnings.showwarning = show
        threads = [threading.Thread(target=reader, name=f"t{i}") for i in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    assert failures == []
    assert sorted(seen) == sorted((f"t{i}", MISSING.format(f"t{i}/gone.mtl")) for i in range(4) for _ in range(20))


@pytest.mark.filterwarnings("ignore::glmobj.ObjWarning")
def test_the_read_runs_without_the_gil(tmp_path):
    # The reader opens and reads the pipe while this thread, holding the GIL
    # only when the read does not, writes into it.
    pipe = tmp_path / "pipe.obj"
    os.mkfifo(pipe)
    result = []
    reader = threading.Thread(target=lambda: result.append(glmobj.read(pipe)))
    reader.start()
    with open(pipe, "wb") as out:
        out.write(CUBE)
    reader.join()
    assert len(result[0].faces) == 12


def test_a_large_text_reads_alike_in_two_halves():
    block = np.random.default_rng(5).random((1000, 3)).astype(np.float32)
    points = np.tile(block, (400, 1))  # over 8 MiB: two threads where there are two cores
    text = "".join(f"v {x:.7f} {y:.7f} {z:.7f}\n" for x, y, z in block) * 400
    text += "".join(f"f {i} {i + 1} {i + 2}\n" for i in range(1, len(points) - 1))
    halves, one = glmobj.read(text.encode()), glmobj.read(text.encode(), threads=1)
    same_model(halves, one)
    assert len(one.faces) == len(points) - 2 and np.allclose(one.vertices, points, atol=1e-6)
