# The JSON library is header-only. Its folder is copied into the build, and
# only that copy is on the include path: the cross build must not see the
# host's other headers beside it.
set(NLOHMANN_JSON_DIR /usr/include/nlohmann CACHE PATH
    "Folder holding nlohmann's json.hpp (Debian's nlohmann-json3-dev; on Windows, the release's include/nlohmann)")
if(NOT EXISTS ${NLOHMANN_JSON_DIR}/json.hpp)
  message(FATAL_ERROR "nlohmann/json.hpp not found in ${NLOHMANN_JSON_DIR}: install nlohmann-json3-dev "
                      "or give its folder with -DNLOHMANN_JSON_DIR=...")
endif()
set(PELKIN_JSON_INCLUDE ${CMAKE_BINARY_DIR}/third-party/include)
file(COPY ${NLOHMANN_JSON_DIR} DESTINATION ${PELKIN_JSON_INCLUDE}/)
add_library(nlohmann_json_headers INTERFACE)
target_include_directories(nlohmann_json_headers SYSTEM INTERFACE ${PELKIN_JSON_INCLUDE})
