# rvx_strict_warnings(<target>...)
# The warnings every product target is built with on top of -Wall -Wextra -Wpedantic: shadowed
# names, conversions that change a value or its sign, and C-style casts.
function(rvx_strict_warnings)
    foreach(target IN LISTS ARGN)
        target_compile_options(${target} PRIVATE
            -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast)
    endforeach()
endfunction()
