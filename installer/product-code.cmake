# Prints a package's ProductCode: the name-based (SHA-1) UUID of its version in the
# namespace of its UpgradeCode, so a rebuilt package of one version has the same
# ProductCode and Windows Installer refuses it instead of installing it beside itself.
# usage: cmake -DUPGRADE_CODE=<uuid> -DVERSION=<A.B.C> -P product-code.cmake
string(UUID code NAMESPACE "${UPGRADE_CODE}" NAME "${VERSION}" TYPE SHA1 UPPER)
if(NOT code)
  message(FATAL_ERROR "product-code: '${UPGRADE_CODE}' is not a UUID")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "{${code}}")
