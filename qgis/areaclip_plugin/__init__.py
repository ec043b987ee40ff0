"""The areaclip plugin: a Processing provider that cuts the project with the areaclip program."""


def classFactory(iface):  # noqa: N802 (QGIS's name)
    from .plugin import AreaclipPlugin
    return AreaclipPlugin(iface)
