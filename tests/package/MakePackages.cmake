# Makes both packages from the build and unpacks the zip the way a user
# would, into a folder whose name has spaces and non-Latin letters:
#   cmake -DBUILD_DIR=... -DSCRATCH=... -DZIP=<zip name> -P MakePackages.cmake
file(REMOVE_RECURSE ${SCRATCH})
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} --config ${BUILD_DIR}/CPackConfig.cmake
                WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cpack failed (${status})")
endif()
set(portable "${SCRATCH}/Pelkin Проба 試験")
file(MAKE_DIRECTORY "${portable}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${BUILD_DIR}/packages/${ZIP}
                WORKING_DIRECTORY "${portable}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the zip did not unpack (${status})")
endif()
