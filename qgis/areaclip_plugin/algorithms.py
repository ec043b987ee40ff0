"""The provider's algorithms: each runs `areaclip cut` on the project as QGIS holds it.

The project is read in prepareAlgorithm (QGIS's main thread); the program runs in
processAlgorithm (a background thread in the Processing dialog), cancellable from the
dialog; postProcessAlgorithm offers the result project back in the main thread.
"""
import os
import shutil
import tempfile

from qgis.core import (
    QgsProcessing,
    QgsProcessingAlgorithm,
    QgsProcessingException,
    QgsProcessingOutputFile,
    QgsProcessingOutputFolder,
    QgsProcessingOutputNumber,
    QgsProcessingParameterBoolean,
    QgsProcessingParameterEnum,
    QgsProcessingParameterFolderDestination,
    QgsProcessingParameterNumber,
    QgsProcessingParameterString,
    QgsProcessingParameterVectorLayer,
)

from . import runner, settings

SCALES = ["1:1000000", "1:500000", "1:200000", "1:100000", "1:50000", "1:25000", "1:10000", "1:5000", "1:2000"]


def project_document(project, feedback):
    """The project file to cut and the temporary folder holding it (None when the user's own
    file is cut): a saved project without unsaved changes is cut from its file; one with
    unsaved changes (or never saved) is written to a temporary copy, and the project keeps its
    own file name and its unsaved state, so the user's file is never written."""
    if project is None:
        raise QgsProcessingException("There is no project to cut.")
    path = project.fileName()
    if path and not project.isDirty() and os.path.isfile(path):
        return path, None
    extension = ".qgz" if path.lower().endswith(".qgz") else ".qgs"
    stem = os.path.splitext(os.path.basename(path))[0] if path else "project"
    folder = tempfile.mkdtemp(prefix="areaclip-project-")
    copy = os.path.join(folder, stem + extension)
    dirty = project.isDirty()
    try:
        written = project.write(copy)
    finally:
        # QgsProject.write(name) takes the new name as the project's own: give it back.
        project.setFileName(path)
        project.setDirty(dirty)
    if not written:
        shutil.rmtree(folder, ignore_errors=True)
        raise QgsProcessingException(f"The project could not be written to a temporary copy: {project.error()}")
    feedback.pushInfo(f"The project has unsaved changes: a temporary copy is cut ({copy}); the project file stays as it is")
    return copy, folder


class AreaclipAlgorithm(QgsProcessingAlgorithm):
    FOLDER = "FOLDER"
    OPEN_RESULT = "OPEN_RESULT"
    PROJECT = "PROJECT"
    STATUS = "STATUS"

    def __init__(self):
        super().__init__()
        self._program = None
        self._args = []
        self._document = None
        self._temporary = None
        self._result_project = None
        self._open_result = False

    def createInstance(self):  # noqa: N802
        return type(self)()

    def groupId(self):  # noqa: N802
        return ""

    def group(self):
        return ""

    def shortDescription(self):  # noqa: N802
        return self.shortHelpString().split("\n")[0]

    def add_common_outputs(self, open_offer=True):
        self.addParameter(QgsProcessingParameterFolderDestination(self.FOLDER, "Result folder"))
        if open_offer:
            self.addParameter(QgsProcessingParameterBoolean(self.OPEN_RESULT, "Open the result project", False))
            self.addOutput(QgsProcessingOutputFile(self.PROJECT, "Result project"))
        self.addOutput(QgsProcessingOutputNumber(self.STATUS, "areaclip's exit status"))

    # Subclasses: the options of `areaclip cut` after DOC and before --folder.
    def cut_options(self, parameters, context, feedback):
        raise NotImplementedError

    def prepareAlgorithm(self, parameters, context, feedback):  # noqa: N802
        try:
            self._program = settings.configured_program()
        except runner.AreaclipError as e:
            raise QgsProcessingException(str(e)) from e
        options = self.cut_options(parameters, context, feedback)
        folder = self.parameterAsString(parameters, self.FOLDER, context)
        if not folder:
            raise QgsProcessingException("Choose a result folder.")
        self._open_result = self.OPEN_RESULT in [p.name() for p in self.parameterDefinitions()] and \
            self.parameterAsBoolean(parameters, self.OPEN_RESULT, context)
        self._document, self._temporary = project_document(context.project(), feedback)
        self._args = ["cut", self._document] + options + ["--folder", folder]
        if "--json" in runner.command_options(self._program):
            self._args.append("--json")
        return True

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        try:
            outcome = runner.run(self._program, self._args, feedback)
            warnings = runner.check(outcome)
        except runner.AreaclipError as e:
            raise QgsProcessingException(str(e)) from e
        finally:
            if self._temporary:
                shutil.rmtree(self._temporary, ignore_errors=True)
        for warning in warnings:
            feedback.pushWarning(warning)
        if outcome.status == runner.PARTIAL:
            feedback.pushWarning("The result is written, but not every layer was cut (areaclip's exit 3).")
        documents = runner.result_documents(outcome)
        self._result_project = runner.result_project(documents)
        for document in documents:
            feedback.pushInfo(f"Result document: {document}")
        results = {self.FOLDER: self.parameterAsString(parameters, self.FOLDER, context), self.STATUS: outcome.status}
        if any(o.name() == self.PROJECT for o in self.outputDefinitions()):
            results[self.PROJECT] = self._result_project
        return results

    def postProcessAlgorithm(self, context, feedback):  # noqa: N802
        if self._open_result and self._result_project:
            open_project(self._result_project, feedback)
        return {}


def open_project(path, feedback):
    """Opens the result project in QGIS's window, asking first to save unsaved changes of the
    open one (nothing is opened when the user cancels); headless, only says where it is."""
    try:
        from qgis.utils import iface
    except ImportError:
        iface = None
    if iface is None:
        feedback.pushInfo(f"The result project is {path}")
        return
    if iface.newProject(True):
        iface.addProject(path)


class CutByPolygon(AreaclipAlgorithm):
    POLYGONS = "POLYGONS"
    FEATURE_ID = "FEATURE_ID"

    def name(self):
        return "cutbypolygon"

    def displayName(self):  # noqa: N802
        return "Cut project by polygon"

    def shortHelpString(self):  # noqa: N802
        return ("Cuts every layer of the project to one polygon of a polygon layer of the project: the feature of "
                "the given id, or else the layer's one selected feature. The cut layers are written as shapefiles "
                "into the result folder with a cut project (cross.qgs or cross.qgz) beside them.")

    def initAlgorithm(self, config=None):  # noqa: N802
        self.addParameter(QgsProcessingParameterVectorLayer(
            self.POLYGONS, "Polygon layer of the project", [QgsProcessing.TypeVectorPolygon]))
        self.addParameter(QgsProcessingParameterNumber(
            self.FEATURE_ID, "Feature id (empty: the layer's selected feature)",
            QgsProcessingParameterNumber.Integer, None, True, 0))
        self.add_common_outputs()

    def cut_options(self, parameters, context, feedback):
        layer = self.parameterAsVectorLayer(parameters, self.POLYGONS, context)
        project = context.project()
        if layer is None or project is None or project.mapLayer(layer.id()) is None:
            raise QgsProcessingException("The polygon layer must be a layer of the project.")
        if len(project.mapLayersByName(layer.name())) > 1:
            raise QgsProcessingException(f"The project has more than one layer named \"{layer.name()}\": "
                                         "areaclip finds its polygon layer by name, rename one of them.")
        if parameters.get(self.FEATURE_ID) is not None:
            fid = self.parameterAsInt(parameters, self.FEATURE_ID, context)
        else:
            selected = layer.selectedFeatureIds()
            if len(selected) != 1:
                raise QgsProcessingException(
                    f"Give a feature id, or select exactly one feature of \"{layer.name()}\" "
                    f"({len(selected)} selected).")
            fid = selected[0]
        if not layer.getFeature(fid).isValid():
            raise QgsProcessingException(f"\"{layer.name()}\" has no feature {fid}.")
        if layer.isEditable() and layer.isModified():
            feedback.pushWarning(f"\"{layer.name()}\" has unsaved edits: areaclip cuts its saved data.")
        return ["--layer", layer.name(), "--feature-id", str(fid)]


class CutBySheet(AreaclipAlgorithm):
    SHEET = "SHEET"

    def name(self):
        return "cutbysheet"

    def displayName(self):  # noqa: N802
        return "Cut project by map sheet"

    def shortHelpString(self):  # noqa: N802
        return ("Cuts every layer of the project to a map sheet given by its name (as M-36-1-Б), its frame "
                "computed from the name. The cut layers are written as shapefiles into the result folder with a "
                "cut project beside them. A name that is no map sheet is refused with areaclip's own reason.")

    def initAlgorithm(self, config=None):  # noqa: N802
        self.addParameter(QgsProcessingParameterString(self.SHEET, "Map sheet (as M-36-1-Б)"))
        self.add_common_outputs()

    def cut_options(self, parameters, context, feedback):
        sheet = self.parameterAsString(parameters, self.SHEET, context).strip()
        if not sheet:
            raise QgsProcessingException("Give the name of a map sheet.")
        return ["--sheet", sheet]


class CutIntoSheets(AreaclipAlgorithm):
    SCALE = "SCALE"
    RESUME = "RESUME"

    def name(self):
        return "cutintosheets"

    def displayName(self):  # noqa: N802
        return "Cut project into every sheet"

    def shortHelpString(self):  # noqa: N802
        return ("Cuts the project once per map sheet of the scale that holds features of the project, each sheet "
                "into its own folder of the result folder. Resume goes on with an earlier run into the same "
                "folder, when the installed areaclip can.")

    def initAlgorithm(self, config=None):  # noqa: N802
        self.addParameter(QgsProcessingParameterEnum(self.SCALE, "Scale of the sheets", SCALES, False, 3))
        self.addParameter(QgsProcessingParameterBoolean(self.RESUME, "Resume an earlier run into this folder", False))
        self.add_common_outputs(open_offer=False)

    def cut_options(self, parameters, context, feedback):
        options = ["--all-sheets", SCALES[self.parameterAsEnum(parameters, self.SCALE, context)]]
        if self.parameterAsBoolean(parameters, self.RESUME, context):
            if "--resume" in runner.command_options(self._program):
                options.append("--resume")
            else:
                feedback.pushWarning("This areaclip cannot resume (its cut has no --resume): every sheet is cut again.")
        return options
