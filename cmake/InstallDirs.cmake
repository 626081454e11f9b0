# Where "cmake --install" and CPack put libraries, set before anything
# includes GNUInstallDirs.
#
# On Debian the library folder is the multiarch one (lib/x86_64-linux-gnu)
# whatever the install prefix; GNUInstallDirs gives it only for /usr. CPack
# builds the Debian package under /usr even when the build's prefix is the
# default /usr/local, and a module under /usr/lib/quorvale would then make it
# call ldconfig from the package's maintainer scripts, which lintian warns
# of (the module is the program's own and needs no ldconfig anyway). So
# every build makes the same package, with the module in
# /usr/lib/<multiarch>/quorvale, and the program looks for it there.
if(NOT WIN32 AND CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version
   AND NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR})
    set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}
        CACHE PATH "Object code libraries (lib/${CMAKE_LIBRARY_ARCHITECTURE})")
endif()
