#!/usr/bin/python3
"""The areaclip Processing provider in QGIS itself (Debian's python3-qgis), headless.

  /usr/bin/python3 qgis/tests/test_processing.py build/bin/areaclip

Loads the plugin from qgis/areaclip_plugin as QGIS would, points its setting at the given
program, and runs each algorithm through processing.run on copies of the fixture projects
(tests/data/qgis) and on a project QGIS writes here; the result projects open in QGIS with
every layer valid. Also: a sheet name areaclip refuses, a project with unsaved changes (cut
from a temporary copy, the user's file and state untouched), a cancel while a slow cut runs,
and the plugin's zip. Never needed by `make test`.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
# QGIS keeps Processing's settings in the user's configuration: the tests keep theirs apart.
SETTINGS_HOME = tempfile.mkdtemp(prefix="areaclip-qgis-settings-")
os.environ["XDG_CONFIG_HOME"] = SETTINGS_HOME
from qgis.core import (  # noqa: E402
    QgsApplication,
    QgsProcessingException,
    QgsProcessingFeedback,
    QgsProject,
    QgsVectorLayer,
)

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
FIXTURES = os.path.join(SOURCE, "tests", "data", "qgis")
PROGRAM = None  # set by main()

sys.path.insert(0, os.path.join(SOURCE, "qgis"))
sys.path.append("/usr/share/qgis/python/plugins")

APP = QgsApplication([], False)
APP.initQgis()
from processing.core.Processing import Processing  # noqa: E402
from processing.core.ProcessingConfig import ProcessingConfig  # noqa: E402
import processing  # noqa: E402

Processing.initialize()
from areaclip_plugin import classFactory  # noqa: E402
from areaclip_plugin import runner, settings  # noqa: E402

PLUGIN = classFactory(None)
PLUGIN.initProcessing()


class Feedback(QgsProcessingFeedback):
    """Keeps what the run told; cancels itself `cancel_after` seconds into the run when given."""

    def __init__(self, cancel_after=None):
        super().__init__()
        self.commands, self.infos, self.warnings, self.errors, self.progress = [], [], [], [], []
        self.cancel_after = cancel_after
        self.started = None

    def pushCommandInfo(self, text):  # noqa: N802
        self.commands.append(text)
        self.started = time.monotonic()

    def pushInfo(self, text):  # noqa: N802
        self.infos.append(text)

    def pushConsoleInfo(self, text):  # noqa: N802
        self.infos.append(text)

    def pushWarning(self, text):  # noqa: N802
        self.warnings.append(text)

    def setProgress(self, value):  # noqa: N802
        self.progress.append(value)
        super().setProgress(value)

    def reportError(self, text, fatal=False):  # noqa: N802
        self.errors.append(text)

    def isCanceled(self):  # noqa: N802
        if self.cancel_after is not None and self.started is not None and \
                time.monotonic() - self.started > self.cancel_after:
            self.cancel()
        return super().isCanceled()


def layers_valid(path):
    """{layer name: valid} of the project at path, read by a project of its own."""
    project = QgsProject()
    if not project.read(path):
        return None
    return {layer.name(): layer.isValid() for layer in project.mapLayers().values()}


def file_bytes(path):
    with open(path, "rb") as f:
        return f.read()


class ProcessingProvider(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="areaclip-processing-")
        os.environ["AREACLIP_REGISTRY"] = os.path.join(self.work, "registry.txt")
        for name in ("data", "sub"):
            shutil.copytree(os.path.join(FIXTURES, name), os.path.join(self.work, name))
        for name in ("project.qgs", "project.qgz"):
            shutil.copy(os.path.join(FIXTURES, name), self.work)
        ProcessingConfig.setSettingValue(settings.PROGRAM_SETTING, PROGRAM)
        self.project = QgsProject.instance()

    def tearDown(self):
        self.project.clear()
        shutil.rmtree(self.work, ignore_errors=True)

    def open_fixture(self, name="project.qgs"):
        path = os.path.join(self.work, name)
        self.assertTrue(self.project.read(path), path)
        return path

    def run_cut(self, algorithm, parameters, feedback=None):
        feedback = feedback or Feedback()
        result = processing.run("areaclip:" + algorithm, parameters, feedback=feedback)
        return result, feedback

    def failed_cut(self, algorithm, parameters, feedback=None):
        """The error the algorithm reported for a run that must fail."""
        feedback = feedback or Feedback()
        with self.assertRaises(QgsProcessingException) as raised:
            processing.run("areaclip:" + algorithm, parameters, feedback=feedback)
        # Processing raises the algorithm's own message, or reports it and raises its own.
        return "\n".join(feedback.errors + [str(raised.exception)])

    def assert_opens_valid(self, path):
        """Every layer of the project at path is valid in QGIS."""
        layers = layers_valid(path)
        self.assertIsNotNone(layers, path)
        self.assertTrue(layers)
        self.assertEqual([name for name, valid in layers.items() if not valid], [], path)

    def test_provider_lists_its_algorithms(self):
        provider = QgsApplication.processingRegistry().providerById("areaclip")
        self.assertIsNotNone(provider)
        self.assertEqual(sorted(a.id() for a in provider.algorithms()),
                         ["areaclip:cutbypolygon", "areaclip:cutbysheet", "areaclip:cutintosheets"])

    def test_cut_by_polygon_by_id_and_by_selection(self):
        path = self.open_fixture()
        before = file_bytes(path)
        parcels = self.project.mapLayersByName("Parcels")[0]
        fid = next(parcels.getFeatures()).id()
        for case, parameters in (("by id", {"FEATURE_ID": fid}), ("by selection", {})):
            with self.subTest(case):
                parcels.selectByIds([fid])
                out = os.path.join(self.work, "out " + case)
                result, feedback = self.run_cut("cutbypolygon",
                                                dict(parameters, POLYGONS=parcels.id(), FOLDER=out))
                self.assertEqual(os.path.basename(result["PROJECT"]), "cross.qgs")
                self.assertTrue(result["PROJECT"].startswith(out))
                self.assert_opens_valid(result["PROJECT"])
                self.assertIn(result["STATUS"], (0, 3))
                # The command is echoed as an argument list: the folder's space is quoted.
                self.assertIn(f"'{out}'", feedback.commands[0])
                self.assertIn("--feature-id", feedback.commands[0])
                # The memory layer is not cut: a warning, not a failure.
                self.assertTrue(any("Scratch" in w for w in feedback.warnings), feedback.warnings)
        self.assertEqual(file_bytes(path), before)
        self.assertEqual(self.project.fileName(), path)
        self.assertFalse(self.project.isDirty())

    def test_cut_by_polygon_needs_one_feature(self):
        self.open_fixture()
        parcels = self.project.mapLayersByName("Parcels")[0]
        parcels.removeSelection()
        for case, parameters, message in (
                ("nothing selected", {}, "select exactly one feature"),
                ("no such feature", {"FEATURE_ID": 99999}, "has no feature 99999")):
            with self.subTest(case):
                error = self.failed_cut("cutbypolygon",
                                        dict(parameters, POLYGONS=parcels.id(), FOLDER=os.path.join(self.work, case)))
                self.assertIn(message, error)
                self.assertFalse(os.path.exists(os.path.join(self.work, case, "cross.qgs")))

    def test_cut_by_sheet_of_a_qgz_project(self):
        self.open_fixture("project.qgz")
        out = os.path.join(self.work, "sheet")
        result, feedback = self.run_cut("cutbysheet", {"SHEET": "M-36-1-Б", "FOLDER": out})
        self.assertEqual(result["PROJECT"], os.path.join(out, "cross.qgz"))
        self.assert_opens_valid(result["PROJECT"])
        self.assertTrue(os.path.isfile(os.path.join(out, "cross.mxd")))

    def test_sheet_frame_layer_of_the_result_project_is_valid(self):
        # The frame layer the cut adds is named from the result folder, where its file is.
        self.open_fixture()
        out = os.path.join(self.work, "frame")
        result, _ = self.run_cut("cutbysheet", {"SHEET": "M-36-1-Б", "FOLDER": out})
        self.assertTrue(os.path.isfile(os.path.join(out, "M-36-1-Б.shp")))
        self.assertEqual(layers_valid(result["PROJECT"]).get("M-36-1-Б"), True)

    def test_refused_sheet_name_is_the_algorithms_error(self):
        self.open_fixture()
        out = os.path.join(self.work, "refused")
        message = self.failed_cut("cutbysheet", {"SHEET": "X-99", "FOLDER": out})
        self.assertIn("'X-99' is no map sheet", message)
        self.assertIn("exit 2", message)
        self.assertFalse(os.path.exists(os.path.join(out, "cross.qgs")))

    def test_unsaved_changes_are_cut_from_a_temporary_copy(self):
        path = self.open_fixture()
        before = file_bytes(path)
        # An unsaved change the cut must see: the polygon layer renamed.
        parcels = self.project.mapLayersByName("Parcels")[0]
        parcels.setName("Plots")
        self.project.setDirty(True)
        out = os.path.join(self.work, "unsaved")
        result, feedback = self.run_cut("cutbypolygon", {"POLYGONS": parcels.id(), "FEATURE_ID": 0, "FOLDER": out})
        self.assertNotIn(path, feedback.commands[0])
        self.assertIn("Plots", layers_valid(result["PROJECT"]))
        self.assertEqual(file_bytes(path), before)
        self.assertEqual(self.project.fileName(), path)
        self.assertTrue(self.project.isDirty())
        copy = feedback.commands[0].split()[2]
        self.assertFalse(os.path.exists(copy), "the temporary copy is left behind")

    def test_every_sheet(self):
        self.open_fixture()
        out = os.path.join(self.work, "sheets")
        result, feedback = self.run_cut("cutintosheets", {"SCALE": 4, "RESUME": True, "FOLDER": out})
        self.assertIn("--all-sheets 1:50000", feedback.commands[0])
        resumable = "--resume" in runner.command_options(PROGRAM)
        self.assertEqual("--resume" in feedback.commands[0], resumable)
        projects = [os.path.join(folder, name) for folder, _, names in os.walk(out) for name in names
                    if name == "cross.qgs"]
        self.assertTrue(projects, os.listdir(out))
        for project in projects:
            self.assert_opens_valid(project)

    def test_programs_that_do_not_run(self):
        self.open_fixture()
        fake = os.path.join(self.work, "fake-areaclip")
        for case, mode, text, message in (
                ("not executable", 0o644, "", "areaclip program was not found"),
                ("no program", 0o755, "not a program\n", "areaclip could not be started"),
                ("crashes", 0o755, "#!/bin/sh\nkill -SEGV $$\n", "areaclip crashed (SIGSEGV)"),
                ("stopped from outside", 0o755, "#!/bin/sh\nexit 143\n", "stopped from outside (SIGTERM)"),
                ("odd status", 0o755, "#!/bin/sh\necho 'areaclip: odd' >&2; exit 7\n", "unexpected exit status 7: odd")):
            with self.subTest(case):
                with open(fake, "w") as f:
                    f.write(text)
                os.chmod(fake, mode)
                ProcessingConfig.setSettingValue(settings.PROGRAM_SETTING, fake)
                error = self.failed_cut("cutbysheet", {"SHEET": "M-36-1-Б", "FOLDER": os.path.join(self.work, "x")})
                self.assertIn(message, error)

    def test_json_report_of_the_program(self):
        # A stand-in for an areaclip with --json: its report is what the run's outcome is read from.
        self.open_fixture()
        fake = os.path.join(self.work, "json-areaclip")
        out = os.path.join(self.work, "json out")
        cut = {"folder": out, "status": 3, "not_cut": [{"name": "Scratch", "reason": "memory layer"}],
               "layers": [{"name": "Roads", "file": "roads.shp", "features_read": 5, "features_written": 2,
                           "warnings": [{"message": "field NAME_LONG cut to NAME_LON", "count": 2}]}],
               "documents": [os.path.join(out, "cross.mxd"), os.path.join(out, "cross.qgs")], "failure": []}
        report = {"format": "areaclip-cut/1", "kind": "cut", "document": "p.qgs", "by": {"sheet": "M-36-1-Б"},
                  "cut": cut, "status": 3}
        refused = dict(report, status=1, cut=dict(cut, status=1, documents=[], failure=["the folder is not empty"]))
        for case, answer, status in (("partial", report, 3), ("refused", refused, 1)):
            with self.subTest(case):
                with open(fake, "w") as f:
                    f.write("#!/usr/bin/python3\nimport sys\n"
                            "if '--help' in sys.argv: print('usage: areaclip cut DOC ... [--json]'); sys.exit(0)\n"
                            "assert sys.argv[-1] == '--json' and '--sheet' in sys.argv, sys.argv\n"
                            "sys.stderr.write('Обрабатывается: Roads 40%\\n')\n"
                            f"print({json.dumps(json.dumps(answer))}); sys.exit({status})\n")
                os.chmod(fake, 0o755)
                runner._help_cache.clear()
                ProcessingConfig.setSettingValue(settings.PROGRAM_SETTING, fake)
                parameters = {"SHEET": "M-36-1-Б", "FOLDER": out}
                if status == 3:
                    result, feedback = self.run_cut("cutbysheet", parameters)
                    self.assertEqual(result["PROJECT"], os.path.join(out, "cross.qgs"))
                    self.assertEqual(result["STATUS"], 3)
                    self.assertIn('layer "Scratch" is not cut: memory layer', feedback.warnings)
                    self.assertIn('layer "Roads": field NAME_LONG cut to NAME_LON (2 times)', feedback.warnings)
                    self.assertIn("Обрабатывается: Roads 40%", feedback.infos)
                    self.assertIn(40, feedback.progress)
                else:
                    error = self.failed_cut("cutbysheet", parameters)
                    self.assertIn("(exit 1): the folder is not empty", error)

    def test_cancel_while_a_slow_cut_runs(self):
        # A project written by QGIS over a large generated point layer and a many-vertex cutter.
        generated = os.path.join(self.work, "large")
        subprocess.run([os.path.join(os.path.dirname(PROGRAM), "gen_layers"), generated, "--points", "1500000",
                        "--lines", "0", "--polygons", "0"], check=True, stdout=subprocess.DEVNULL)
        project = QgsProject.instance()
        project.clear()
        for name in ("sheets", "points"):
            layer = QgsVectorLayer(os.path.join(generated, "data", name + ".shp"), name, "ogr")
            self.assertTrue(layer.isValid())
            project.addMapLayer(layer)
        path = os.path.join(self.work, "large.qgs")
        self.assertTrue(project.write(path))
        sheets = project.mapLayersByName("sheets")[0]
        out = os.path.join(self.work, "cancelled")
        feedback = Feedback(cancel_after=1.0)
        error = self.failed_cut("cutbypolygon", {"POLYGONS": sheets.id(), "FEATURE_ID": 1, "FOLDER": out}, feedback)
        self.assertIn("The cut was cancelled", error)
        self.assertFalse(os.path.exists(os.path.join(out, "cross.qgs")))
        self.assertFalse(os.path.exists(os.path.join(out, "points.shp")))

    def test_plugin_zip(self):
        zip_path = os.path.join(self.work, "areaclip_plugin.zip")
        subprocess.run([os.path.join(SOURCE, "scripts", "qgis-plugin.sh"), zip_path], check=True,
                       stdout=subprocess.DEVNULL)
        with zipfile.ZipFile(zip_path) as z:
            names = z.namelist()
            metadata = z.read("areaclip_plugin/metadata.txt").decode()
        self.assertEqual({n.split("/")[0] for n in names}, {"areaclip_plugin"})
        self.assertFalse([n for n in names if "__pycache__" in n or n.endswith(".pyc")])
        self.assertIn("areaclip_plugin/__init__.py", names)
        for key in ("name", "qgisMinimumVersion", "description", "about", "version", "author", "email",
                    "repository"):
            self.assertRegex(metadata, rf"(?m)^{key}=\S")
        self.assertRegex(metadata, r"(?m)^hasProcessingProvider=yes$")


def main():
    global PROGRAM
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    try:
        unittest.main(verbosity=2)
    finally:
        shutil.rmtree(SETTINGS_HOME, ignore_errors=True)


if __name__ == "__main__":
    main()
