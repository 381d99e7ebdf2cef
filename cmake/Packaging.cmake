# What a user gets: the three binaries side by side with the help page, the
# licence and a read-me, as a portable zip and as an installer made by NSIS's
# makensis from packaging/Pelkin.nsi. Both come from one staged install tree,
# so they hold the same files.
#   cpack --config <build>/CPackConfig.cmake   (or the "release" workflow preset)
# The import libraries of the components are no use to a user: they sit in a
# component of their own that no package takes.
install(TARGETS Pelkin Kestrix Quillet
  RUNTIME DESTINATION . COMPONENT program
  ARCHIVE DESTINATION lib COMPONENT development EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/help/Pelkin.html ${PROJECT_SOURCE_DIR}/packaging/ReadMe.txt
  DESTINATION . COMPONENT program)
# A .txt name, so that a double click opens it.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . COMPONENT program RENAME License.txt)

set(CPACK_PACKAGE_NAME Pelkin)
set(CPACK_PACKAGE_VENDOR "The Pelkin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Hides, pins and brings back windows by rules, from the notification area")
# The build number is the part users see: 1.5.0.337 ships as 1.5.337.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_TWEAK})
# Kept apart for the tests: CPack's module leaves the source package's name
# in CPACK_PACKAGE_FILE_NAME.
set(PELKIN_PACKAGE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-x64)
set(PELKIN_INSTALLER_NAME ${PELKIN_PACKAGE_NAME}-setup.exe)
set(CPACK_PACKAGE_FILE_NAME ${PELKIN_PACKAGE_NAME})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# The test build links unstripped binaries; what ships never carries the
# debugging information.
set(CPACK_STRIP_FILES ON)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_COMPONENTS_ALL program)

set(CPACK_GENERATOR ZIP)
find_program(PELKIN_MAKENSIS makensis)
if(PELKIN_MAKENSIS)
  list(APPEND CPACK_GENERATOR External)
  set(CPACK_EXTERNAL_ENABLE_STAGING ON)
  set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/MakeInstaller.cmake)
  set(CPACK_PELKIN_MAKENSIS ${PELKIN_MAKENSIS})
  set(CPACK_PELKIN_NSIS_SCRIPT ${PROJECT_SOURCE_DIR}/packaging/Pelkin.nsi)
  set(CPACK_PELKIN_INSTALLER_NAME ${PELKIN_INSTALLER_NAME})
else()
  message(STATUS "makensis not found: the packages leave out the installer")
endif()
# The package managers' manifests, written beside the packages with their hashes.
set(PELKIN_DOWNLOAD_URL "" CACHE STRING "Address of the folder the packages are published in, for the manifests")
set(CPACK_PELKIN_DOWNLOAD_URL ${PELKIN_DOWNLOAD_URL})
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/WriteManifests.cmake)
include(CPack)
