# What "cmake --install" puts in place, and the packages CPack makes of it:
#   cpack -G DEB  (Linux)    quorvale_<version>_amd64.deb
#   cpack -G ZIP  (Windows)  quorvale-<version>-win64.zip or -win32.zip

set(quorvale_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(quorvale_desktop ${PROJECT_SOURCE_DIR}/app/desktop)

if(WIN32)
    # A portable folder: the programs, the licence, a short guide and the
    # example beside them, so that a double-click shows its lists.
    configure_file(${quorvale_packaging}/README.txt.in README.txt @ONLY NEWLINE_STYLE CRLF)
    configure_file(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt NEWLINE_STYLE CRLF)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt DESTINATION . RENAME LICENSE)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt ${PROJECT_SOURCE_DIR}/examples/Data.txt
            DESTINATION .)
else()
    include(GNUInstallDirs)
    set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
        OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(doc ${CMAKE_INSTALL_DATADIR}/doc/quorvale)

    # Debian wants the manual page and the changelog compressed, reproducibly.
    find_program(QUORVALE_GZIP gzip REQUIRED)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/compressed)
    foreach(pair "docs/man/quorvale.1;quorvale.1.gz" "packaging/changelog;changelog.gz")
        list(GET pair 0 source)
        list(GET pair 1 target)
        add_custom_command(OUTPUT ${compressed}/${target}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${compressed}
            COMMAND ${QUORVALE_GZIP} -9nc ${PROJECT_SOURCE_DIR}/${source} > ${compressed}/${target}
            DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
        list(APPEND compressed_files ${compressed}/${target})
    endforeach()
    add_custom_target(quorvale_compressed_docs ALL DEPENDS ${compressed_files})

    install(FILES ${compressed}/quorvale.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${compressed}/changelog.gz ${quorvale_packaging}/copyright DESTINATION ${doc})
    install(FILES ${PROJECT_SOURCE_DIR}/examples/Data.txt DESTINATION ${doc}/examples)

    # Desktop integration: menu entry, software-centre metadata, icons.
    install(FILES ${quorvale_desktop}/quorvale.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${quorvale_desktop}/io.github.quorvale.Quorvale.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    # The data file's own type, a kind of plain text: the desktop entry
    # claims it and no general one.
    install(FILES ${quorvale_desktop}/quorvale-mime.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME quorvale.xml)
    set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
    install(FILES ${quorvale_desktop}/quorvale.svg DESTINATION ${icons}/scalable/apps)
    foreach(size 16 22 24 32 48 64 128 256)
        install(FILES ${quorvale_desktop}/icons/quorvale-${size}.png
                DESTINATION ${icons}/${size}x${size}/apps RENAME quorvale.png)
    endforeach()
endif()

set(CPACK_PACKAGE_NAME quorvale)
set(CPACK_PACKAGE_VENDOR "The Quorvale developers")
set(CPACK_PACKAGE_CONTACT "The Quorvale developers <developers@quorvale.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/quorvale/quorvale)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "group integer records into lists of five")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(WIN32)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(CPACK_SYSTEM_NAME win64)
    else()
        set(CPACK_SYSTEM_NAME win32)
    endif()
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME quorvale-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # Qt's Wayland platform plugin, so that a Wayland session gets a native
    # window; without it Qt falls back to X.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "Quorvale reads a data file of integer records, rejects the records that are\n"
        "out of range or whose group key is used inconsistently, sorts the rest,\n"
        "gathers records that share a group key into groups and pairs the groups\n"
        "into output lists of exactly five records.\n"
        ".\n"
        "Its window shows four lists side by side: every record, the output lists,\n"
        "the records that fit in no list, and the rejected records. A text mode\n"
        "prints the same lists to standard output.")
    string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
endif()

include(CPack)
