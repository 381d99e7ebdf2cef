# Run by CPack's External generator once the files are staged: writes the
# lists of files the installer copies and its uninstaller deletes (so that
# both follow the install rules and nothing else), then runs makensis.
# Staging installs each component into a folder of its own; the packages
# take one component.
set(staging ${CPACK_TEMPORARY_DIRECTORY}/${CPACK_COMPONENTS_ALL})
set(work ${CPACK_TOPLEVEL_DIRECTORY})
file(GLOB_RECURSE staged RELATIVE ${staging} LIST_DIRECTORIES false ${staging}/*)
list(SORT staged)
if(NOT staged)
  message(FATAL_ERROR "Nothing was staged for the installer in ${staging}")
endif()

set(install_lines "")
set(uninstall_lines "")
set(folders "")
foreach(file IN LISTS staged)
  get_filename_component(folder ${file} DIRECTORY)
  file(TO_NATIVE_PATH "${staging}/${file}" source)
  string(REPLACE "/" "\\" target "${file}")
  string(REPLACE "/" "\\" subfolder "${folder}")
  if(subfolder)
    string(APPEND install_lines "SetOutPath \"$INSTDIR\\${subfolder}\"\n")
    list(APPEND folders ${subfolder})
  else()
    string(APPEND install_lines "SetOutPath \"$INSTDIR\"\n")
  endif()
  string(APPEND install_lines "File \"/oname=${target}\" \"${source}\"\n")
  string(APPEND uninstall_lines "Delete \"$INSTDIR\\${target}\"\n")
endforeach()
# Deepest first, so that each folder is empty when its turn comes.
list(REMOVE_DUPLICATES folders)
list(SORT folders)
list(REVERSE folders)
foreach(folder IN LISTS folders)
  string(APPEND uninstall_lines "RMDir \"$INSTDIR\\${folder}\"\n")
endforeach()
file(WRITE ${work}/InstallFiles.nsh "${install_lines}")
file(WRITE ${work}/UninstallFiles.nsh "${uninstall_lines}")

set(installer ${work}/${CPACK_PELKIN_INSTALLER_NAME})
execute_process(
  COMMAND ${CPACK_PELKIN_MAKENSIS} -V2 -INPUTCHARSET UTF8
          -DVERSION=${CPACK_PACKAGE_VERSION}
          -DOUTFILE=${installer}
          -DFILES_DIR=${work}
          -DLICENSE_FILE=${CPACK_RESOURCE_FILE_LICENSE}
          ${CPACK_PELKIN_NSIS_SCRIPT}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "makensis failed (${status}) on ${CPACK_PELKIN_NSIS_SCRIPT}")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${installer})
