# Compiler settings shared by every target of the project.
option(ENABLE_SANITIZERS "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_compile_options(-Wall -Wextra)

if(ENABLE_SANITIZERS)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32 AND CMAKE_CROSSCOMPILING)
    # Self-contained executables: no zlib1.dll or libwinpthread-1.dll beside them.
    add_link_options(-static)
endif()
