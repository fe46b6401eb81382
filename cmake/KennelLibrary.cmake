# kennel_library(<target> SOURCES <files>... DEPENDS <libraries>...)
#
# One static library per folder. Its headers are found as "<folder>/Name.h" by its own code
# and by the libraries that depend on it, and by no other: a header of a library a target
# does not depend on does not compile there. A library may depend only on libraries declared
# before it (the order of add_subdirectory in the top CMakeLists.txt), so the libraries can
# never form a cycle: a dependency on a later one stops the configuration.
function(kennel_library target)
  cmake_parse_arguments(L "" "" "SOURCES;DEPENDS" ${ARGN})
  foreach(dep IN LISTS L_DEPENDS)
    if(dep MATCHES "^kennel_" AND NOT TARGET ${dep})
      message(FATAL_ERROR "${target} may not depend on ${dep}: it is not declared before it")
    endif()
  endforeach()
  add_library(${target} STATIC ${L_SOURCES})
  # The folder alone, behind a link in a folder of the target's own.
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${L_DEPENDS})
endfunction()
