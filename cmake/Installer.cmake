# The MSI package, QuillmarkOrvane-<version>.msi in the build folder: the 32-bit
# program and the files it needs beside it, built by installer/make-msi.sh with
# msitools' wixl from installer/QuillmarkOrvane.wxs.
set(QO_MSI_NAME QuillmarkOrvane-${PROJECT_VERSION}.msi)
set(QO_MAKE_MSI ${PROJECT_SOURCE_DIR}/installer/make-msi.sh)
# The build whose package the tests install: this one, or, for a 64-bit build
# of the same sources (<build>/x64, scripts/machine.sh), the 32-bit build around it.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(product_dir ${CMAKE_BINARY_DIR})
else()
  get_filename_component(product_dir ${CMAKE_BINARY_DIR} DIRECTORY)
endif()
set(QO_PRODUCT_DIR ${product_dir} CACHE PATH "The 32-bit build folder whose MSI package the tests install")

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  find_program(QO_WIXL wixl REQUIRED)
  # The seed comes from where cmake/SeedDatabase.cmake builds it: the copy in
  # bin/ is gone once the program has run there.
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${QO_MSI_NAME}
    COMMAND ${QO_MAKE_MSI} ${CMAKE_BINARY_DIR} ${PROJECT_VERSION} ${CMAKE_BINARY_DIR}/${QO_MSI_NAME}
    DEPENDS ${QO_MAKE_MSI} ${PROJECT_SOURCE_DIR}/installer/QuillmarkOrvane.wxs ${PROJECT_SOURCE_DIR}/src/ui/icon.ico
      QuillmarkOrvane orvane ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Orvaneupdatecfg.ini
      seed_database ${CMAKE_BINARY_DIR}/seed/newupdate.db
    COMMENT "Building the MSI package ${QO_MSI_NAME}")
  add_custom_target(msi ALL DEPENDS ${CMAKE_BINARY_DIR}/${QO_MSI_NAME})
endif()
