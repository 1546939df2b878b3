# CLI11 and nlohmann-json come from Debian's header-only packages
# (libcli11-dev, nlohmann-json3-dev). Every build sees them through a folder of
# its own that holds only those two header trees, so the mingw build never
# reaches into the host's /usr/include for anything else.
set(REACHKIT_HEADER_ONLY_SOURCE /usr/include CACHE PATH
  "Folder holding the CLI and nlohmann header trees")
set(_header_only ${CMAKE_BINARY_DIR}/third_party-include)
foreach(_tree CLI nlohmann)
  if(NOT IS_DIRECTORY ${REACHKIT_HEADER_ONLY_SOURCE}/${_tree})
    message(FATAL_ERROR "${REACHKIT_HEADER_ONLY_SOURCE}/${_tree} is missing: "
      "run scripts/install-deps.sh (libcli11-dev, nlohmann-json3-dev)")
  endif()
  file(COPY ${REACHKIT_HEADER_ONLY_SOURCE}/${_tree} DESTINATION ${_header_only})
endforeach()
add_library(reachkit_header_only INTERFACE)
target_include_directories(reachkit_header_only SYSTEM INTERFACE ${_header_only})
