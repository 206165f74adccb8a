# Installation and the CMake package: find_package(Orvane CONFIG) gives Orvane::Orvane (the
# library with the host's header), Orvane::General (the foundation the host shares with it) and,
# where the PAL stands in for Windows, Orvane::Pal.
include(CMakePackageConfigHelpers)

# A host includes lib/OrvaneLib.h, whose types come from the foundation: linking the library brings
# the foundation with it.
target_link_libraries(Orvane INTERFACE orvane_general)

set_target_properties(Orvane PROPERTIES EXPORT_NAME Orvane)
set_target_properties(orvane_general PROPERTIES EXPORT_NAME General)
set_target_properties(orvane_options PROPERTIES EXPORT_NAME Options)
set_target_properties(orvane_win32 PROPERTIES EXPORT_NAME Win32)
set(orvane_exported Orvane orvane_general orvane_options orvane_win32)
if(NOT WIN32)
    set_target_properties(OrvanePal PROPERTIES EXPORT_NAME Pal)
    list(APPEND orvane_exported OrvanePal)
    # The library finds the PAL beside itself.
    set_target_properties(Orvane PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()

install(TARGETS ${orvane_exported} EXPORT OrvaneTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

# Headers keep their folders: the include root is the installed include folder.
install(FILES lib/OrvaneLib.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lib)
install(DIRECTORY Common/General/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/Common/General
    FILES_MATCHING PATTERN "*.h")
install(FILES win32/Win32Api.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/win32)
if(NOT WIN32)
    install(DIRECTORY pal/inc/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pal/inc
        FILES_MATCHING PATTERN "*.h")
endif()

set(orvane_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Orvane)
install(EXPORT OrvaneTargets NAMESPACE Orvane:: DESTINATION ${orvane_package_dir})
configure_package_config_file(cmake/OrvaneConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/OrvaneConfig.cmake
    INSTALL_DESTINATION ${orvane_package_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/OrvaneConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/OrvaneConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/OrvaneConfigVersion.cmake
    DESTINATION ${orvane_package_dir})
