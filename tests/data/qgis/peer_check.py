#!/usr/bin/python3
"""Opens the projects areaclip writes in QGIS itself (Debian's python3-qgis), headless.

  /usr/bin/python3 tests/data/qgis/peer_check.py build/bin/areaclip

In a temporary folder, with copies of the fixture projects beside this script, areaclip writes
projects the ways a user makes them: convert (project to project in another folder and format,
project through a map document and back, a map document to a project), add (a layer added in
place) and cut (the result project of a cut). QGIS then opens each one and its origin and
checks that every layer QGIS finds valid in the origin is valid in the result, with the same
renderer class and the same feature count (a cut layer: at most as many, and some), and that
the layers of a project made from a map document are all valid. Exits 1 on any difference.
CI runs it after the test suite; the suite itself never needs QGIS.
"""
import os
import shutil
import subprocess
import sys
import tempfile

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
from qgis.core import QgsApplication, QgsProject  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))


def layers_of(path):
    """name -> (valid, renderer class, feature count) of every layer QGIS reads from path."""
    project = QgsProject.instance()
    project.clear()
    if not project.read(path):
        return None
    out = {}
    for node in project.layerTreeRoot().findLayers():
        layer = node.layer()
        if layer is None:
            out[node.name()] = (False, "-", -1)
            continue
        renderer = layer.renderer().type() if hasattr(layer, "renderer") and layer.renderer() else "-"
        count = layer.featureCount() if hasattr(layer, "featureCount") and layer.isValid() else -1
        out[layer.name()] = (layer.isValid(), renderer, count)
    return out


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    program = os.path.abspath(argv[1])
    app = QgsApplication([], False)
    app.initQgis()
    work = tempfile.mkdtemp(prefix="areaclip-qgis-")
    env = dict(os.environ, AREACLIP_REGISTRY=os.path.join(work, "registry.txt"))
    try:
        for name in ("data", "sub"):
            shutil.copytree(os.path.join(HERE, name), os.path.join(work, name))
        for name in ("project.qgs", "project.qgz"):
            shutil.copy(os.path.join(HERE, name), work)
        shutil.copytree(os.path.join(SOURCE, "examples"), os.path.join(work, "examples"))
        for folder in ("elsewhere", "sub/deeper"):
            os.makedirs(os.path.join(work, folder), exist_ok=True)
        shutil.copy(os.path.join(work, "sub/fidelity.qgs"), os.path.join(work, "sub/added.qgs"))

        # A cut whose project holds a layer the program does not read (delimited text) leaves
        # that layer naming its source and exits 3.
        def areaclip(*args, ok=(0,)):
            run = subprocess.run([program, *args], cwd=work, env=env, capture_output=True, text=True)
            if run.returncode not in ok:
                sys.exit(f"areaclip {' '.join(args)} failed ({run.returncode}):\n{run.stderr}")

        # (written, origin, how the counts compare)
        checks = []
        for origin, written in [("project.qgs", "elsewhere/a.qgz"), ("project.qgz", "sub/deeper/b.qgs"),
                                ("sub/fidelity.qgs", "sub/deeper/c.qgs"), ("sub/fidelity.qgz", "elsewhere/d.qgz"),
                                ("sub/fidelity.qgz", "e.qgs")]:
            areaclip("convert", origin, written)
            checks.append((written, origin, "same"))
        areaclip("convert", "sub/fidelity.qgs", "middle.mxd")
        areaclip("convert", "middle.mxd", "sub/back.qgs")
        checks.append(("sub/back.qgs", "sub/fidelity.qgs", "same"))
        areaclip("add", "sub/added.qgs", "data/parcels.shp")
        checks.append(("sub/added.qgs", "sub/fidelity.qgs", "same"))
        for origin, folder, written in [("sub/fidelity.qgs", "out", "cross.qgs"), ("sub/fidelity.qgz", "outz", "cross.qgz")]:
            areaclip("cut", origin, "--layer", "Geology", "--feature", "clay", "--folder", folder, ok=(0, 3))
            checks.append((os.path.join(folder, written), origin, "cut"))
        areaclip("convert", "examples/map.mxd", "examples/map.qgs")
        checks.append(("examples/map.qgs", None, "valid"))

        bad = 0
        for written, origin, how in checks:
            got = layers_of(os.path.join(work, written))
            if got is None:
                print(f"{written}: QGIS cannot read it")
                bad = 1
                continue
            want = layers_of(os.path.join(work, origin)) if origin else {name: (True, None, None) for name in got}
            print(f"{written} (from {origin or 'a map document'}):")
            for name, (valid, renderer, count) in sorted(want.items()):
                if not valid:
                    continue
                g = got.get(name)
                ok = g is not None and g[0]
                if ok and renderer is not None:
                    ok = g[1] == renderer
                if ok and count is not None:
                    ok = g[2] == count if how == "same" else 0 < g[2] <= count
                print(f"  {'ok ' if ok else 'BAD'} {name:12} {g if g else 'missing'} (origin: {valid}, {renderer}, {count})")
                bad |= not ok
        return bad
    finally:
        QgsProject.instance().clear()
        app.exitQgis()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
