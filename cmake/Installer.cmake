# The MSI package of this build's architecture in the build folder:
# QuillmarkOrvane-<version>-x64.msi from a 64-bit build (the one for 64-bit
# Windows), QuillmarkOrvane-<version>-x86.msi from a 32-bit build (for 32-bit
# Windows), built by installer/make-msi.sh with msitools' wixl from
# installer/QuillmarkOrvane.wxs. Given -DQO_SIGN_CERT=<PEM certificate chain>
# -DQO_SIGN_KEY=<PEM private key>, both programs in the package and the package
# itself are signed with osslsigncode.

# Windows Installer compares three version fields: the package is A.B.C and the
# programs A.B.C.0 (src/common/version.h.in), so all three show the same version.
if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "The version ${PROJECT_VERSION} is not A.B.C (the programs are A.B.C.0)")
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QO_MSI_ARCH x64)
else()
  set(QO_MSI_ARCH x86)
endif()
set(QO_MSI_NAME QuillmarkOrvane-${PROJECT_VERSION}-${QO_MSI_ARCH}.msi)
set(QO_MAKE_MSI ${PROJECT_SOURCE_DIR}/installer/make-msi.sh)

# The builds whose packages the installer test installs: the 32-bit build and,
# inside it, the 64-bit build of the same sources (build/x64, scripts/machine.sh).
if(QO_MSI_ARCH STREQUAL x64)
  get_filename_component(product_dir ${CMAKE_BINARY_DIR} DIRECTORY)
  set(QO_PACKAGE64_DIR ${CMAKE_BINARY_DIR})
else()
  set(product_dir ${CMAKE_BINARY_DIR})
  set(QO_PACKAGE64_DIR ${CMAKE_BINARY_DIR}/x64)
endif()
set(QO_PRODUCT_DIR ${product_dir} CACHE PATH "The 32-bit build folder whose MSI package the tests install")

set(QO_SIGN_CERT "" CACHE FILEPATH "PEM certificate chain that signs the programs and the MSI package")
set(QO_SIGN_KEY "" CACHE FILEPATH "PEM private key of QO_SIGN_CERT")
set(sign_options "")
if(QO_SIGN_CERT OR QO_SIGN_KEY)
  if(NOT QO_SIGN_CERT OR NOT QO_SIGN_KEY)
    message(FATAL_ERROR "Signing needs both QO_SIGN_CERT and QO_SIGN_KEY")
  endif()
  find_program(QO_OSSLSIGNCODE osslsigncode REQUIRED)
  set(sign_options --sign ${QO_SIGN_CERT} ${QO_SIGN_KEY})
endif()

find_program(QO_WIXL wixl REQUIRED)
# The seed comes from where cmake/SeedDatabase.cmake builds it: the copy in
# bin/ is gone once the program has run there.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${QO_MSI_NAME}
  COMMAND ${QO_MAKE_MSI} ${sign_options} ${QO_MSI_ARCH} ${CMAKE_BINARY_DIR} ${PROJECT_VERSION}
    ${CMAKE_BINARY_DIR}/${QO_MSI_NAME}
  DEPENDS ${QO_MAKE_MSI} ${PROJECT_SOURCE_DIR}/installer/product-code.cmake
    ${PROJECT_SOURCE_DIR}/installer/QuillmarkOrvane.wxs ${PROJECT_SOURCE_DIR}/src/ui/icon.ico
    ${PROJECT_SOURCE_DIR}/installer/policy/QuillmarkOrvane.admx
    ${PROJECT_SOURCE_DIR}/installer/policy/en-US/QuillmarkOrvane.adml
    QuillmarkOrvane orvane ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Orvaneupdatecfg.ini
    seed_database ${CMAKE_BINARY_DIR}/seed/newupdate.db ${QO_SIGN_CERT} ${QO_SIGN_KEY}
  COMMENT "Building the MSI package ${QO_MSI_NAME}")
add_custom_target(msi ALL DEPENDS ${CMAKE_BINARY_DIR}/${QO_MSI_NAME})
