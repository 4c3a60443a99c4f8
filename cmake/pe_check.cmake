# The checker runs on the build machine, so it is built with the machine's own compiler in a
# build of its own, whatever compiler the module uses.
include(ExternalProject)
ExternalProject_Add(pe_check_build
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/pecheck
    BINARY_DIR ${PROJECT_BINARY_DIR}/pecheck
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=c++
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
set(PE_CHECK ${PROJECT_BINARY_DIR}/pecheck/pe_check)
add_test(NAME module_file_is_a_sound_dll COMMAND ${PE_CHECK} $<TARGET_FILE:orvalen_module>)
add_test(NAME module_file_check_refuses_broken_files
    COMMAND ${PE_CHECK} --self-test $<TARGET_FILE:orvalen_module>)
add_test(NAME module_file_check_refuses_a_text_file
    COMMAND ${PE_CHECK} ${PROJECT_SOURCE_DIR}/README.md)
set_tests_properties(module_file_check_refuses_a_text_file PROPERTIES WILL_FAIL ON)
