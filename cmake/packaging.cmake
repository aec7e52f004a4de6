# The release archive of a Windows build: the tool, an example settings file and the README in
# one ZIP, made with "cpack" in the build folder (scripts/check does it for win32). The maker's
# link library is not ours to ship; the technician puts VN818upgrade.dll next to the tool.
if(NOT WIN32)
  return()
endif()

# The example settings of the archive carry the wait times a real printer needs (the ones in
# examples/upgrade.ini are cut short for the simulated printer of the demo).
install(FILES ${PROJECT_SOURCE_DIR}/examples/release/upgrade.ini ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION .)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(VN_PACKAGE_SYSTEM win32)
else()
  set(VN_PACKAGE_SYSTEM win64)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vn818fw)
set(CPACK_PACKAGE_VENDOR "vn818fw")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME vn818fw-${PROJECT_VERSION}-${VN_PACKAGE_SYSTEM})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
