# The plug-in module: a shared object (a DLL on Windows) named Orvalen.p that exports only
# _mod_descrip.
set(ORVALEN_MODULE_SOURCES
    camera/axis_rotation.cpp
    camera/camera_evaluate.cpp
    camera/camera_params.cpp
    camera/camera_preview.cpp
    camera/instance_ops.cpp
    camera/scene_data.cpp
    module/descriptor.cpp
    module/handler_activate.cpp
    module/module_state.cpp
    panel/interface_activate.cpp
    panel/panel_callbacks.cpp
    panel/panel_tables.cpp
)

add_library(orvalen_module MODULE ${ORVALEN_MODULE_SOURCES})
target_include_directories(orvalen_module PRIVATE ${PROJECT_SOURCE_DIR})
set_target_properties(orvalen_module PROPERTIES
    OUTPUT_NAME Orvalen
    PREFIX ""
    SUFFIX ".p"
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
# Nothing may be thrown across the host boundary, and the host knows no C++ runtime.
target_compile_options(orvalen_module PRIVATE -fno-exceptions -fno-rtti)
# Nothing in the module reads errno, so a square root need not leave room to set it: on every
# ray that is a compare and a branch fewer.
target_compile_options(orvalen_module PRIVATE -fno-math-errno)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "i.86")
    # The host, built by another compiler, promises only 4-byte stack alignment when it calls
    # a plug-in: any function that wants more must align the stack itself. MinGW assumes this
    # already; saying it keeps every 32-bit build of the module honest.
    target_compile_options(orvalen_module PRIVATE -mincoming-stack-boundary=2)
endif()
if(WIN32)
    # Every DLL the module needs must already be on any Windows machine.
    target_link_options(orvalen_module PRIVATE -static -static-libgcc -static-libstdc++ -s)
endif()
