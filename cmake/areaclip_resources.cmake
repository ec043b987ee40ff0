# areaclip_embed_resources(target RESOURCES TYPE NAME FILE [TYPE NAME FILE ...])
#
# Embeds files as Windows-style resources of the module or program `target`, found at run
# time by FindResource / LoadResource through the module's HMODULE (win32/resources.h).
#   TYPE  a predefined type (BITMAP, RCDATA, ICON, STRING, ...), a number, or a type name
#         such as TYPELIB;
#   NAME  a number (the resource id, e.g. 70) or a name (compared case-insensitively);
#   FILE  relative to the calling CMakeLists.txt. A BITMAP given as a .bmp file is stored
#         without its 14-byte file header, as the resource compiler stores it.
# Example: areaclip_embed_resources(mod RESOURCES BITMAP 70 scissors.bmp
#                                   RCDATA TFORM1 form.dfm TYPELIB 1 mod.idl)
# The generated source is added to the target itself (not to a static library, whose unused
# objects the linker may drop), and the target links areaclip_win32.
set(AREACLIP_EMBED_RESOURCES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/areaclip_resources_generate.cmake)

function(areaclip_embed_resources target)
  cmake_parse_arguments(R "" "" "RESOURCES" ${ARGN})
  list(LENGTH R_RESOURCES count)
  math(EXPR remainder "${count} % 3")
  if(count EQUAL 0 OR NOT remainder EQUAL 0)
    message(FATAL_ERROR "areaclip_embed_resources(${target}): RESOURCES takes TYPE NAME FILE triples")
  endif()
  set(entries "")
  set(files "")
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 3)
    math(EXPR j "${i} + 1")
    math(EXPR k "${i} + 2")
    list(GET R_RESOURCES ${i} type)
    list(GET R_RESOURCES ${j} name)
    list(GET R_RESOURCES ${k} file)
    get_filename_component(file "${file}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "areaclip_embed_resources(${target}): no file ${file}")
    endif()
    string(APPEND entries "list(APPEND RESOURCE_TYPES [==[${type}]==])\n")
    string(APPEND entries "list(APPEND RESOURCE_NAMES [==[${name}]==])\n")
    string(APPEND entries "list(APPEND RESOURCE_FILES [==[${file}]==])\n")
    list(APPEND files "${file}")
  endforeach()
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.list.cmake)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  file(WRITE ${list_file}.new "set(RESOURCE_TARGET [==[${target}]==])\n${entries}")
  file(COPY_FILE ${list_file}.new ${list_file} ONLY_IF_DIFFERENT)
  file(REMOVE ${list_file}.new)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DRESOURCE_LIST=${list_file} -DOUTPUT=${output} -P ${AREACLIP_EMBED_RESOURCES_SCRIPT}
    DEPENDS ${files} ${list_file} ${AREACLIP_EMBED_RESOURCES_SCRIPT}
    COMMENT "Embedding resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
  target_link_libraries(${target} PRIVATE areaclip_win32)
endfunction()
