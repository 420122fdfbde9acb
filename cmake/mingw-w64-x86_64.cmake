# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix-thread compilers, which
# std::thread and Qt need). Used both to build Qt for the target and to build qrx against it;
# QRX_WINDOWS_QT names the folder the target Qt is installed in.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QRX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QRX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QRX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QRX_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot and the target Qt, never from the build
# machine; programs (moc, rcc, makensis) come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QRX_MINGW_TRIPLE})
if(DEFINED QRX_WINDOWS_QT)
    list(APPEND CMAKE_FIND_ROOT_PATH ${QRX_WINDOWS_QT})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config would hand out the build machine's libraries.
set(ENV{PKG_CONFIG_LIBDIR} "")
set(ENV{PKG_CONFIG_PATH} "")
