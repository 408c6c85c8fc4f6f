# The build-time tools (the UI packer and the archive fuzzer) run on the build
# machine, so they are a separate project built with the host compiler.
include(ExternalProject)
set(QO_HOST_DIR ${CMAKE_BINARY_DIR}/host)
set(QO_UIPACK ${QO_HOST_DIR}/uipack)
ExternalProject_Add(host_tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/src/tools
  BINARY_DIR ${QO_HOST_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release 
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${QO_UIPACK})
