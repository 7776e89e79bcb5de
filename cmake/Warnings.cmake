# Warnings that every target of the project builds with; the build stays clean under them.
function(veltra_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local
                                             -Wno-missing-field-initializers)
    if(VELTRA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
