# Warnings that every target of the project builds with; the build stays clean under them.
function(veltra_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
                                             -Wno-missing-field-initializers)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE -Wshadow=local)
    else()
        target_compile_options(${target} PRIVATE -Wshadow-uncaptured-local)
    endif()
    if(VELTRA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
