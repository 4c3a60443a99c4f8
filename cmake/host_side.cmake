# The stand-in host, the tools built on it, and the tests that load the module through it.
if(WIN32)
    # The test programs run under Wine from the build tree: nothing of the compiler's runtime
    # may be left for them to find.
    add_link_options(-static)
    if(CMAKE_CROSSCOMPILING)
        find_program(WINE_PROGRAM wine)
        if(NOT WINE_PROGRAM)
            message(FATAL_ERROR "The Windows test programs run under Wine, which is not "
                "installed (Debian: dpkg --add-architecture i386; apt-get update; apt-get "
                "install wine wine32). -DORVALEN_HOST_SIDE=OFF builds only the module.")
        endif()
    endif()
endif()
add_library(minihost STATIC
    minihost/active_host.cpp
    minihost/call_log.cpp
    minihost/camera_access.cpp
    minihost/envelope.cpp
    minihost/host.cpp
    minihost/module_file.cpp
    minihost/panel_toolkit.cpp
    minihost/plain_numbers.cpp
    minihost/scene_file.cpp
    minihost/scene_states.cpp
    minihost/session.cpp
)
# The operating system's loader and file system are reached through one file each per system.
if(WIN32)
    target_sources(minihost PRIVATE minihost/module_library_windows.cpp minihost/output_file_windows.cpp)
else()
    target_sources(minihost PRIVATE minihost/module_library_posix.cpp minihost/output_file_posix.cpp)
endif()
target_include_directories(minihost PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(minihost PUBLIC ${CMAKE_DL_LIBS})
if(CMAKE_SYSTEM_PROCESSOR MATCHES "i.86")
    # A plug-in may call the host's services on a stack aligned to 4 bytes only, as the real
    # host allows; the stand-in host's services must cope as the host's do.
    target_compile_options(minihost PRIVATE -mstackrealign)
endif()

if(ORVALEN_TOOLS)
    add_subdirectory(tools/render)
endif()

if(ORVALEN_FUZZ)
    add_subdirectory(tests/fuzz)
endif()

if(ORVALEN_TESTS)
    if(ORVALEN_GTEST_FROM_SOURCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    else()
        find_package(GTest REQUIRED)
    endif()
    include(GoogleTest)
    add_subdirectory(tests)
endif()

if(ORVALEN_BENCH)
    add_subdirectory(bench)
endif()
