# The Windows layout, one folder to unpack anywhere: rulecalc.exe (linked
# statically: only the system's DLLs beside it) and rulecalc.dll at the top,
# the C and C++ headers in include\, the DLL's import library in lib\, the
# examples, and a README in Chinese and English. Paths are relative to the
# prefix.
install(TARGETS rulecalc RUNTIME DESTINATION . ARCHIVE DESTINATION lib)
if(TARGET rulecalc_cli)
  install(TARGETS rulecalc_cli RUNTIME DESTINATION .)
endif()
# The batch engine is inside rulecalc.exe only: its header stays out.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION include PATTERN rulecalc_batch.h EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/examples/applicants.rules ${PROJECT_SOURCE_DIR}/examples/applicants.csv
  ${PROJECT_SOURCE_DIR}/examples/applicants.tests.csv ${PROJECT_SOURCE_DIR}/examples/claims.rules
  ${PROJECT_SOURCE_DIR}/examples/claims.csv ${PROJECT_SOURCE_DIR}/examples/claims.expected.csv
  ${PROJECT_SOURCE_DIR}/examples/hello.c ${PROJECT_SOURCE_DIR}/examples/handles.c
  ${PROJECT_SOURCE_DIR}/examples/windows_host.c
  DESTINATION examples)
configure_file(${PROJECT_SOURCE_DIR}/cli/share/README-windows.txt ${PROJECT_BINARY_DIR}/README.txt @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${PROJECT_SOURCE_DIR}/docs/windows.md DESTINATION .)
