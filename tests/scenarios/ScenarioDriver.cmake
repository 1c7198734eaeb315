# The scenario driver program: one C source, built for whatever the build
# targets (a Linux program using dlopen, or a 32-bit Windows program using
# LoadLibraryA). Used by this folder's CMakeLists.txt and by cross builds,
# which skip the rest of the test tree.
function(rulecalc_add_scenario_driver)
  add_executable(rulecalc_scenario_driver ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/driver.c)
  set_target_properties(rulecalc_scenario_driver PROPERTIES
    OUTPUT_NAME rulecalc-scenario-driver
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/scenarios)
  target_compile_options(rulecalc_scenario_driver PRIVATE ${RULECALC_WARNINGS})
  # The driver finds the library by path, never through the linker; building
  # it still builds the library so that the two are always in step.
  add_dependencies(rulecalc_scenario_driver rulecalc)
  if(WIN32)
    # No MinGW runtime DLLs beside the driver: everything it needs is linked in.
    target_link_options(rulecalc_scenario_driver PRIVATE -static -static-libgcc)
  else()
    target_link_libraries(rulecalc_scenario_driver PRIVATE ${CMAKE_DL_LIBS})
  endif()
endfunction()
