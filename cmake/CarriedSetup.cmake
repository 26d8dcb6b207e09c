# kitpack carries the SETUP.EXE that ships, the stripped 32-bit build of the
# same source, and writes it on every medium that is not given another. The
# 32-bit Windows build has that program as a target of its own. Every other
# build (native, sanitizers, fuzz, 64-bit Windows) makes it in a build of its
# own below this one, with the 32-bit toolchain and the shipped build's
# settings; the program's build gives the same bytes in any folder, so every
# kitpack of one source carries the same SETUP.EXE.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(carried_setup $<TARGET_FILE:setup>)
  set(carried_setup_target setup)
else()
  include(ExternalProject)
  set(carried_setup_prefix ${CMAKE_BINARY_DIR}/carried-setup)
  set(carried_setup ${carried_setup_prefix}/build/src/SETUP.EXE)
  set(carried_setup_target carried_setup)
  ExternalProject_Add(carried_setup
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    PREFIX ${carried_setup_prefix}
    BINARY_DIR ${carried_setup_prefix}/build
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
               -DQV_SETUP_ONLY=ON
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target setup
    # The inner build decides what changed in the sources, and reconfigures
    # itself when its lists change.
    BUILD_ALWAYS ON
    CONFIGURE_HANDLED_BY_BUILD ON
    BUILD_BYPRODUCTS ${carried_setup}
    INSTALL_COMMAND "")
endif()

set(carried_setup_source ${CMAKE_CURRENT_BINARY_DIR}/CarriedSetupBytes.cpp)
add_custom_command(OUTPUT ${carried_setup_source}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${carried_setup} -DOUTPUT=${carried_setup_source} -DNAME=CARRIED_SETUP
          -P ${PROJECT_SOURCE_DIR}/cmake/EmbedBytes.cmake
  DEPENDS ${carried_setup} ${carried_setup_target} ${PROJECT_SOURCE_DIR}/cmake/EmbedBytes.cmake
  COMMENT "Carrying SETUP.EXE in kitpack"
  VERBATIM)
target_sources(kitpack PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/CarriedSetup.cpp ${carried_setup_source})
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/CarriedSetup.cpp PROPERTIES
  COMPILE_DEFINITIONS KITPACK_VERSION="${PROJECT_VERSION}")
