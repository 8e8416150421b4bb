# Install rules: the shared libraries (the transport's too, when it is built), their headers under include/kov-vm/ (keeping the
# runtime/ binding/ vm/ layout, so installed headers include each other exactly as in the
# repository), the CMake package KovVmBindings and the pkg-config file kov-vm-bindings.pc.

include(CMakePackageConfigHelpers)

set(KOV_INSTALL_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}/kov-vm")
set(KOV_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/KovVmBindings")

set(KOV_INSTALL_TARGETS tarn_runtime kov_vm_bindings)
if(TARGET kov_vm_remote)
  list(APPEND KOV_INSTALL_TARGETS kov_vm_remote)
  set(KOV_HAS_REMOTE ON)
else()
  set(KOV_HAS_REMOTE OFF)
endif()

install(TARGETS ${KOV_INSTALL_TARGETS}
  EXPORT KovVmBindingsTargets
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
  INCLUDES DESTINATION "${KOV_INSTALL_INCLUDEDIR}")

# Header folders are copied at install time, so headers added later are picked up without
# touching this file. vm/ holds generated packages in subfolders.
foreach(dir runtime binding vm remote)
  if(EXISTS "${PROJECT_SOURCE_DIR}/${dir}")
    install(DIRECTORY "${PROJECT_SOURCE_DIR}/${dir}"
      DESTINATION "${KOV_INSTALL_INCLUDEDIR}"
      FILES_MATCHING PATTERN "*.h")
  endif()
endforeach()

# The transport's headers include the protoc output, and remote/wire.proto lets other programs
# speak to a server.
if(TARGET kov_vm_remote)
  install(FILES ${KOV_REMOTE_PROTO_HEADERS} "${PROJECT_SOURCE_DIR}/remote/wire.proto"
    DESTINATION "${KOV_INSTALL_INCLUDEDIR}/remote")
endif()

install(EXPORT KovVmBindingsTargets
  NAMESPACE KovVm::
  DESTINATION "${KOV_INSTALL_CMAKEDIR}")

configure_package_config_file(
  "${PROJECT_SOURCE_DIR}/cmake/KovVmBindingsConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/KovVmBindingsConfig.cmake"
  INSTALL_DESTINATION "${KOV_INSTALL_CMAKEDIR}")

# Before 1.0 a minor release may break the interface.
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/KovVmBindingsConfigVersion.cmake"
  VERSION "${PROJECT_VERSION}"
  COMPATIBILITY SameMinorVersion)

install(FILES
  "${PROJECT_BINARY_DIR}/KovVmBindingsConfig.cmake"
  "${PROJECT_BINARY_DIR}/KovVmBindingsConfigVersion.cmake"
  DESTINATION "${KOV_INSTALL_CMAKEDIR}")

# The pkg-config file locates the prefix from its own folder, so an install moved with
# `cmake --install --prefix` or DESTDIR still points at itself.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(KOV_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH _kov_pc_up "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  string(REGEX REPLACE "/$" "" _kov_pc_up "${_kov_pc_up}")
  set(KOV_PC_PREFIX "\${pcfiledir}/${_kov_pc_up}")
endif()
foreach(var LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${var}}")
    set(KOV_PC_${var} "${CMAKE_INSTALL_${var}}")
  else()
    set(KOV_PC_${var} "\${prefix}/${CMAKE_INSTALL_${var}}")
  endif()
endforeach()
configure_file(
  "${PROJECT_SOURCE_DIR}/cmake/kov-vm-bindings.pc.in"
  "${PROJECT_BINARY_DIR}/kov-vm-bindings.pc"
  @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/kov-vm-bindings.pc"
  DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
if(TARGET kov_vm_remote)
  configure_file(
    "${PROJECT_SOURCE_DIR}/cmake/kov-vm-remote.pc.in"
    "${PROJECT_BINARY_DIR}/kov-vm-remote.pc"
    @ONLY)
  install(FILES "${PROJECT_BINARY_DIR}/kov-vm-remote.pc"
    DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
endif()
