# The Debian package (scripts/package): what `cmake --install` puts in place, plus maintainer
# scripts that register the control library for every user and remove it again.
set(TARVELL_PACKAGE_MAINTAINER "Orvane <tarvell@orvane.example>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvell)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TARVELL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of at most 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Type an address; Tarvell fetches the page's HTML source and shows it as
editable text, lists the page's links and the files it refers to, and
downloads the ones you tick.")
# The maintainer scripts name files by their installed paths, so the package installs where
# the build was configured to.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
# The changelog's newest entry is the package being built.
file(STRINGS ${PROJECT_SOURCE_DIR}/dist/debian/changelog _packaging_newest LIMIT_COUNT 1)
set(_packaging_version ${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
if(NOT _packaging_newest MATCHES "^${CPACK_PACKAGE_NAME} \\(${_packaging_version}\\) ")
    message(FATAL_ERROR "dist/debian/changelog begins with \"${_packaging_newest}\": "
        "the package being built is ${_packaging_version}; add an entry for it")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends come from the libraries the binaries link, as Debian's own packages compute them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The layouts ask for Arial by name; this is the font fontconfig gives in its place.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)

set(TARVELL_INSTALLED_REGCONTROL ${CMAKE_INSTALL_FULL_BINDIR}/regcontrol)
set(TARVELL_INSTALLED_CONTROL_LIBRARY
    ${CMAKE_INSTALL_PREFIX}/${TARVELL_INSTALL_PRIVATE_LIBDIR}/${CMAKE_SHARED_LIBRARY_PREFIX}Lumet${CMAKE_SHARED_LIBRARY_SUFFIX})
# The system configuration folder every session reads, whatever the administrator's own
# session adds to XDG_CONFIG_DIRS.
set(TARVELL_SYSTEM_CONFIG_DIRS ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg)
foreach(script postinst prerm postrm)
    configure_file(${PROJECT_SOURCE_DIR}/dist/debian/${script}.in
        ${CMAKE_BINARY_DIR}/debian/${script} @ONLY
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE)
    list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/${script})
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
