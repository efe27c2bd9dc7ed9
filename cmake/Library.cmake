# rvx_add_library(<target> ALIAS <namespace::name> INCLUDE <directory> SOURCES <files...>)
# A static library of the project under its alias, with its public include directory; no AUTOMOC,
# for a library without QObjects.
function(rvx_add_library target)
    cmake_parse_arguments(ARG "" "ALIAS;INCLUDE" "SOURCES" ${ARGN})
    add_library(${target} STATIC ${ARG_SOURCES})
    add_library(${ARG_ALIAS} ALIAS ${target})
    target_include_directories(${target} PUBLIC ${ARG_INCLUDE})
    set_target_properties(${target} PROPERTIES AUTOMOC OFF)
endfunction()
