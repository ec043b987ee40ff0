// Declarations from the type library vot_arcmap_areaclip (resources/vot_arcmap_areaclip.idl):
// the library, the two creatable classes and their member-less event dispinterfaces.
#pragma once

#include <arcobjects/ao_iid.h>

DEFINE_GUID(LIBID_vot_arcmap_areaclip, 0xB1532AF0, 0x85A1, 0x491B, 0x96, 0xF8, 0xEE, 0xF8, 0x99, 0xC3, 0xB9, 0xCC);

AO_DECLARE_IID(Ivo_arcmap_tool_bar_areaclipEvents, 0x6D19C0B6, 0x4F5E, 0x43DC, 0xAB, 0x39, 0xB4, 0x27, 0x3B,
               0xC3, 0x08, 0x5F)
DEFINE_GUID(CLSID_vo_arcmap_tool_bar_areaclip, 0x3A43C927, 0x85BD, 0x4CD2, 0xAD, 0x96, 0x3A, 0xF6, 0xC4, 0x45, 0xFA,
            0xC6);
AO_DECLARE_IID(Ivo_arcmap_command_areaclipEvents, 0xBB292A6C, 0x281C, 0x41D6, 0x82, 0x8A, 0xB7, 0x57, 0x11,
               0x6F, 0xC4, 0x50)
DEFINE_GUID(CLSID_vo_arcmap_command_areaclip, 0x5E1406A0, 0xAA3A, 0x45CB, 0x9A, 0xA4, 0x4D, 0x9C, 0x50, 0x09, 0xB2,
            0x5C);

// Events of the toolbar (no members).
struct Ivo_arcmap_tool_bar_areaclipEvents : IDispatch {};
// Events of the command (no members).
struct Ivo_arcmap_command_areaclipEvents : IDispatch {};

inline constexpr const char* vot_arcmap_areaclip_tool_bar_progid = "vot_arcmap_areaclip.vo_arcmap_tool_bar_areaclip";
inline constexpr const char* vot_arcmap_areaclip_command_progid = "vot_arcmap_areaclip.vo_arcmap_command_areaclip";
