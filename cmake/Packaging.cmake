# The Debian package: everything `cmake --install` puts in place, under /usr.
#     cmake --build build && (cd build && cpack -G DEB)
# Package dependencies come from dpkg-shlibdeps (dpkg-dev), plus the few files the programs
# read at run time rather than link.

# The validation rules are the standards bodies' files, fetched into the build tree and never
# committed; a package built where they exist carries them, so that it can validate.
option(LEDGERLENS_INSTALL_RULES "Install the fetched rule sets (build/resources/rules)" ON)
if(LEDGERLENS_INSTALL_RULES)
    install(DIRECTORY ${LEDGERLENS_RESOURCE_BUILD_DIR}/rules/
            DESTINATION ${CMAKE_INSTALL_DATADIR}/ledgerlens/resources/rules OPTIONAL)
endif()

# Our own shared libraries are found in the build tree while dpkg-shlibdeps looks at the
# programs: the folders of every shared library target of the build.
function(ledgerlens_shared_library_dirs directory out)
    set(dirs)
    get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "SHARED_LIBRARY")
            get_target_property(binaryDir ${target} BINARY_DIR)
            list(APPEND dirs ${binaryDir})
        endif()
    endforeach()
    get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
    foreach(subdirectory ${subdirectories})
        ledgerlens_shared_library_dirs(${subdirectory} found)
        list(APPEND dirs ${found})
    endforeach()
    list(REMOVE_DUPLICATES dirs)
    set(${out} ${dirs} PARENT_SCOPE)
endfunction()
ledgerlens_shared_library_dirs(${CMAKE_SOURCE_DIR} LEDGERLENS_SHARED_LIBRARY_DIRS)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ledgerlens)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ledgerlens")
set(CPACK_PACKAGE_CONTACT "Ledgerlens developers <ledgerlens@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and validator for structured electronic invoices")
set(CPACK_PACKAGE_DESCRIPTION
    "Ledgerlens opens, checks and files e-invoices: CII (ZUGFeRD, Factur-X, XRechnung), UBL, \
FatturaPA and Facturae, as XML or as PDF carrying the XML. It validates them against the XSD \
and Schematron rule sets that apply, shows them as readable PDF pages and keeps them in \
libraries. Command-line tools: ledgerlens-cli, ruleweave, pagewright.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION office)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${LEDGERLENS_SHARED_LIBRARY_DIRS})
# Read at run time, not linked: the layout's fonts, the PDF/A colour profiles (sRGB; CMYK).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-liberation2, fonts-dejavu-core, icc-profiles-free, libgs-common")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
include(CPack)
