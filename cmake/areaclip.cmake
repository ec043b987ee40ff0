# clang has no narrow execution character set but UTF-8: the system's sources are compiled
# through a launcher that turns their narrow literals into Windows-1251 (cp1251_cc.cpp). It is
# a build tool, so it gets none of the tree's sanitizer or coverage options.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_executable(areaclip_cp1251_cc ${CMAKE_CURRENT_LIST_DIR}/cp1251_cc.cpp)
  set_target_properties(areaclip_cp1251_cc PROPERTIES COMPILE_OPTIONS "-Wall;-Wextra" LINK_OPTIONS ""
                                                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
endif()

# Marks a target as part of the system's own code: narrow texts are Windows-1251 in the
# binary, and only arcobjects/ and the platform headers are visible to it.
function(areaclip_system_target target)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set(launcher ${CMAKE_BINARY_DIR}/tools/areaclip_cp1251_cc)
    set_target_properties(${target} PROPERTIES CXX_COMPILER_LAUNCHER ${launcher})
    add_dependencies(${target} areaclip_cp1251_cc)
    # A changed launcher compiles the target's sources again.
    get_target_property(sources ${target} SOURCES)
    set_source_files_properties(${sources} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS ${launcher})
  else()
    target_compile_options(${target} PRIVATE -fexec-charset=CP1251)
  endif()
endfunction()

function(areaclip_optional_subdirectory dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/areaclip_resources.cmake)
