"""The provider's Processing setting: where the areaclip program is."""
from . import runner

try:  # Processing's own settings (Settings > Options > Processing > Providers > areaclip)
    from processing.core.ProcessingConfig import ProcessingConfig, Setting
except ImportError:  # pragma: no cover - QGIS ships it with Processing
    ProcessingConfig = Setting = None

PROGRAM_SETTING = "AREACLIP_PROGRAM"


def add_settings(group, icon):
    if ProcessingConfig is None:
        return
    ProcessingConfig.settingIcons[group] = icon
    ProcessingConfig.addSetting(Setting(group, PROGRAM_SETTING, "areaclip program (empty: areaclip on PATH)", "",
                                        valuetype=Setting.FILE))
    ProcessingConfig.readSettings()


def remove_settings():
    if ProcessingConfig is not None:
        ProcessingConfig.removeSetting(PROGRAM_SETTING)


def configured_program():
    """The program to run: the setting when set, else `areaclip` on PATH (runner.AreaclipError when none)."""
    value = ProcessingConfig.getSetting(PROGRAM_SETTING) if ProcessingConfig is not None else None
    return runner.find_program(value or "")
