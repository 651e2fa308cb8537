#!/usr/bin/python3
"""Seconds to read OBJ files from Python: glmobj against the C library's
own read in the same process (glmobj's extension times glmReadOBJFrom with
no Python in between) and against pywavefront and meshio.

    taskset -c 0 bench/bench_python.py [--torus N] [--generator GEN_OBJ.py] [FILE.obj ...]

Without files it reads the largest meshes of tests/data (the corpus and the
models) and a torus of N x N quads (default 600: about 60 MB) made by the
peers' generator gen_obj.py (default: ../shared/peers/gen_obj.py beside the
repository). Each row gives the load average when it was measured, the
median wall time per read of each reader, glmobj's time against the C
read's, and each peer's against glmobj's read with its arrays in hand (the
faces copied out), the way the peers return them. Run it on a quiet
machine (load below 1.5), pinned to one core, so that the figures compare.
glmobj must be importable: installed, or PYTHONPATH=build/python.
"""
import argparse
import gc
import logging
import os
import statistics
import subprocess
import sys
import tempfile
import time
import warnings
from pathlib import Path

import glmobj

ROOT = Path(__file__).resolve().parents[1]


def timed(read, least_seconds, most_runs):
    """Median seconds of read() over runs that together last least_seconds
    (at least one run, at most most_runs)."""
    times, spent = [], 0.0
    gc.collect()
    while not times or (spent < least_seconds and len(times) < most_runs):
        start = time.perf_counter()
        kept = read()
        times.append(time.perf_counter() - start)
        spent += times[-1]
        del kept
    return statistics.median(times)


def c_and_python(path, least_seconds):
    """Median seconds of the C read and of glmobj.read, run in turns."""
    encoded = os.fsencode(path)
    c, python, spent = [], [], 0.0
    gc.collect()
    while len(c) < 5 or (spent < least_seconds and len(c) < 2000):
        c.append(glmobj._core._read_seconds(encoded, 0))
        start = time.perf_counter()
        model = glmobj.read(path)
        python.append(time.perf_counter() - start)
        del model
        spent += c[-1] + python[-1]
    return statistics.median(c), statistics.median(python)


def with_arrays(path):
    model = glmobj.read(path)
    return model.vertices, model.faces


def pywavefront_read(path):
    import pywavefront
    scene = pywavefront.Wavefront(str(path), collect_faces=True, create_materials=True, parse=True)
    return scene.vertices, [mesh.faces for mesh in scene.mesh_list]


def meshio_read(path):
    import meshio
    return meshio.read(str(path), file_format="obj")


def peer(read, path, least_seconds):
    try:
        return timed(lambda: read(path), least_seconds, 20)
    except Exception as error:  # a peer that cannot read the file is said, not fatal
        return f"{type(error).__name__}"


def default_files():
    data = ROOT / "tests" / "data"
    corpus = [p for p in (data / "corpus").rglob("*.obj")]
    corpus.sort(key=lambda p: p.stat().st_size, reverse=True)
    return corpus[:3] + sorted((data / "models").rglob("*.obj"), key=lambda p: p.stat().st_size)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("files", nargs="*", type=Path)
    parser.add_argument("--torus", type=int, default=600, help="N of the N x N torus (0: none)")
    parser.add_argument("--generator", type=Path, default=ROOT.parent / "shared" / "peers" / "gen_obj.py")
    parser.add_argument("--seconds", type=float, default=2.0, help="least time spent per reader and file")
    parser.add_argument("--no-peers", action="store_true", help="glmobj and the C read only")
    args = parser.parse_args()
    logging.disable(logging.WARNING)  # pywavefront logs every statement it skips

    files = args.files or default_files()
    scratch = tempfile.TemporaryDirectory()
    if args.torus and not args.files:
        torus = Path(scratch.name) / f"torus{args.torus}.obj"
        subprocess.run([sys.executable, str(args.generator), str(torus), str(args.torus)], check=True)
        files.append(torus)

    cores = len(os.sched_getaffinity(0))
    print(f"glmobj {glmobj.__version__} from {Path(glmobj.__file__).parent}; {cores} core(s) to run on")
    if cores != 1:
        print("(not pinned: run under taskset -c 0 for figures that compare)")
    header = (f"{'file':<40} {'MB':>7} {'load':>5} {'C ms':>9} {'glmobj ms':>10} {'/C':>5}"
              f" {'+arrays ms':>11} {'pywavefront ms':>18} {'meshio ms':>16}")
    print(header)
    print("-" * len(header))
    warnings.simplefilter("ignore", glmobj.ObjWarning)
    for path in files:
        load = os.getloadavg()[0]
        c, python = c_and_python(path, args.seconds)
        arrays = timed(lambda: with_arrays(path), args.seconds, 2000)
        cells = []
        for read in (pywavefront_read, meshio_read):
            seconds = "-" if args.no_peers else peer(read, path, args.seconds)
            cells.append(seconds if isinstance(seconds, str) else f"{seconds * 1e3:.2f} ({seconds / arrays:.0f}x)")
        print(f"{path.name[:40]:<40} {path.stat().st_size / 1e6:7.3f} {load:5.2f} {c * 1e3:9.3f}"
              f" {python * 1e3:10.3f} {python / c:5.2f} {arrays * 1e3:11.3f} {cells[0]:>18} {cells[1]:>16}",
              flush=True)
    print(f"load average at the end: {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
