# Checks that the dependencies between the program's layers point one way:
#   device link  <-  model  <-  workflow  <-  widgets  <-  application
# Every source file may include headers of its own layer and of the layers below it, never of a
# layer above. The tools (simulator, trace viewer, veltra-cli) use the model and the workflow
# only. Tests and benchmarks may reach everything.
#
#   cmake -DROOT=<source dir> -P cmake/CheckLayers.cmake
# prints each include that points upwards and fails when there is one.

if(NOT ROOT)
    message(FATAL_ERROR "ROOT (the source folder) is not set")
endif()

# Layer of a path relative to ROOT; the most specific folder comes first. -1: not checked.
function(layer_of path out)
    set(rules
        "app/=5"
        "widgets/=4" "config/ui/=4" "keys/ui/=4" "network/ui/=4" "update/ui/=4"
        "station/ui/=4"
        "tools/=3" "config/workflow/=3" "keys/workflow/=3" "network/workflow/=3"
        "update/workflow/=3" "station/workflow/=3"
        "config/=2" "keys/=2" "update/=2" "resources/strings/=2"
        "devicelink/=1")
    foreach(rule IN LISTS rules)
        string(REPLACE "=" ";" parts "${rule}")
        list(GET parts 0 prefix)
        list(GET parts 1 layer)
        string(FIND "${path}" "${prefix}" at)
        if(at EQUAL 0)
            set(${out} ${layer} PARENT_SCOPE)
            return()
        endif()
    endforeach()
    set(${out} -1 PARENT_SCOPE)
endfunction()

set(names "" "device link" "model" "workflow" "widgets" "application")
# The device link's public header is installed on its own and included by its name alone.
set(public_headers "qnlink.h=1")

file(GLOB_RECURSE sources RELATIVE ${ROOT}
     ${ROOT}/app/*.cpp ${ROOT}/app/*.h ${ROOT}/widgets/*.cpp ${ROOT}/widgets/*.h
     ${ROOT}/config/*.cpp ${ROOT}/config/*.h ${ROOT}/keys/*.cpp ${ROOT}/keys/*.h
     ${ROOT}/network/*.cpp ${ROOT}/network/*.h
     ${ROOT}/resources/strings/*.cpp ${ROOT}/resources/strings/*.h
     ${ROOT}/update/*.cpp ${ROOT}/update/*.h
     ${ROOT}/station/*.cpp ${ROOT}/station/*.h
     ${ROOT}/devicelink/*.cpp ${ROOT}/devicelink/*.h ${ROOT}/tools/*.cpp ${ROOT}/tools/*.h)

set(violations 0)
foreach(source IN LISTS sources)
    layer_of("${source}" own)
    if(own LESS 0)
        continue()
    endif()
    # Tools stand beside the widgets, not on them: model and workflow only (their layer).
    set(allowed ${own})
    file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
        set(target -1)
        foreach(entry IN LISTS public_headers)
            string(REPLACE "=" ";" parts "${entry}")
            list(GET parts 0 name)
            if(header STREQUAL name)
                list(GET parts 1 target)
            endif()
        endforeach()
        if(target LESS 0)
            layer_of("${header}" target)
        endif()
        if(target LESS 0)
            continue() # generated files, headers of the same folder written by name
        endif()
        if(target GREATER allowed)
            list(GET names ${own} own_name)
            list(GET names ${target} target_name)
            message("${source}: includes ${header} (${own_name} -> ${target_name})")
            math(EXPR violations "${violations} + 1")
        endif()
    endforeach()
endforeach()

if(violations GREATER 0)
    message(FATAL_ERROR "${violations} include(s) point from a lower layer to a higher one")
endif()
list(LENGTH sources count)
message(STATUS "Layers: no upward include in ${count} files")
