# harkbox_program_variant(NAME HOST PORT): another copy of the desktop
# program, `NAME`, that looks its web host up at HOST:PORT instead of the
# build setting; only the application library is compiled again (from its
# own sources, settings and dependencies), the rest is shared. Built only
# when asked for or needed.
function(harkbox_program_variant name host port)
    set(library quil_app_${name})
    string(REPLACE "-" "_" library "${library}")
    get_target_property(app_sources quil_app SOURCES)
    get_target_property(app_definitions quil_app COMPILE_DEFINITIONS)
    get_target_property(app_libraries quil_app LINK_LIBRARIES)
    add_library(${library} STATIC EXCLUDE_FROM_ALL ${app_sources})
    harkbox_target(${library})
    if(app_definitions)
        target_compile_definitions(${library} PRIVATE ${app_definitions})
    endif()
    if(app_libraries)
        target_link_libraries(${library} PUBLIC ${app_libraries})
    endif()
    add_executable(${name} EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/app/main/HarkboxMain.cpp)
    harkbox_target(${name})
    target_link_libraries(${name} PRIVATE ${library})
    # Read by quil_net's definitions of the web host (net/CMakeLists.txt).
    set_target_properties(${library} ${name} PROPERTIES
        HARKBOX_WEB_HOST_OVERRIDE "${host}" HARKBOX_WEB_PORT_OVERRIDE "${port}")
endfunction()
