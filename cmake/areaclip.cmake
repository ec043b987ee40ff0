# Marks a target as part of the system's own code: narrow texts are Windows-1251 in the
# binary, and only arcobjects/ and the platform headers are visible to it.
function(areaclip_system_target target)
  target_compile_options(${target} PRIVATE -fexec-charset=CP1251)
endfunction()

function(areaclip_optional_subdirectory dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/areaclip_resources.cmake)
