# Common compile settings for every target of the project: strict warnings
# (errors with HARKBOX_WERROR), and the sanitizers chosen for this build tree.

if(HARKBOX_SANITIZE)
    set(_harkbox_san_flags -fsanitize=${HARKBOX_SANITIZE} -fno-omit-frame-pointer)
    if(HARKBOX_SANITIZE MATCHES "undefined")
        list(APPEND _harkbox_san_flags -fno-sanitize-recover=all)
    endif()
    add_compile_options(${_harkbox_san_flags})
    add_link_options(${_harkbox_san_flags})
endif()

# A fuzz build instruments every library for coverage, not only the entry
# points, so that libFuzzer can see its way into the parsers.
if(HARKBOX_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

function(harkbox_target target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
        -Wimplicit-fallthrough $<$<BOOL:${HARKBOX_WERROR}>:-Werror>)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# A static library of the program: every .cpp file of the given folders
# (their own folder only, not subfolders), linked to `DEPS`.
function(harkbox_library name)
    cmake_parse_arguments(ARG "" "" "FOLDERS;DEPS" ${ARGN})
    set(sources)
    foreach(folder ${ARG_FOLDERS})
        file(GLOB found CONFIGURE_DEPENDS ${folder}/*.cpp)
        list(APPEND sources ${found})
    endforeach()
    if(sources)
        add_library(${name} STATIC ${sources})
        harkbox_target(${name})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()
