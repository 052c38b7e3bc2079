# Per-target warning flags and the sanitizer switch shared by every Halvorn target.
function(halvorn_target_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    if(HALVORN_WARNINGS)
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                                 -Wno-unused-parameter)
    endif()
endfunction()

if(HALVORN_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
