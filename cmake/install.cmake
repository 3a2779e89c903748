# What `cmake --install` puts where: libquarnel.so with the two libraries it loads, the C header
# of its jobs, the analysis core with its public headers, the quarnel host with its man page and
# bash completion, and the CMake package and pkg-config file through which other projects find
# them. The Windows build installs nothing: its DLL trio is copied as built.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Shared libraries carry the project's version; the SONAME changes with its major part only.
set_target_properties(quarnel ihxf kor PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})

# Installed programs and libraries find their libraries beside or below them, wherever the
# prefix lands.
file(RELATIVE_PATH quarnel_lib_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set_target_properties(quarnel ihxf PROPERTIES INSTALL_RPATH "$ORIGIN")

# Consumers of the C library include <quarnel/quarnel.h>; the core's headers sit beside it.
target_include_directories(quarnel INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(quarnel_core PROPERTIES EXPORT_NAME core)
install(TARGETS quarnel ihxf kor quarnel_core EXPORT QuarnelTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/jobs/frame/quarnel.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quarnel)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/quarnel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")

if(QUARNEL_CLI)
  set_target_properties(quarnel_cli PROPERTIES INSTALL_RPATH "$ORIGIN/${quarnel_lib_from_bin}")
  install(TARGETS quarnel_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/cli/quarnel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/cli/quarnel-completion.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quarnel)
endif()

# find_package(Quarnel): Quarnel::quarnel (the C library) and Quarnel::core (the C++ core).
set(quarnel_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Quarnel)
install(EXPORT QuarnelTargets NAMESPACE Quarnel:: DESTINATION ${quarnel_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuarnelConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/QuarnelConfig.cmake INSTALL_DESTINATION ${quarnel_cmake_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/QuarnelConfigVersion.cmake VERSION ${PROJECT_VERSION}
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/QuarnelConfig.cmake ${CMAKE_BINARY_DIR}/QuarnelConfigVersion.cmake
        DESTINATION ${quarnel_cmake_dir})

# pkg-config --cflags --libs quarnel: the C library. The file names its prefix relative to its
# own folder, so an installed tree can be moved or installed with --prefix.
file(RELATIVE_PATH quarnel_prefix_from_pc ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" quarnel_prefix_from_pc "${quarnel_prefix_from_pc}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/quarnel.pc.in ${CMAKE_BINARY_DIR}/quarnel.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/quarnel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
