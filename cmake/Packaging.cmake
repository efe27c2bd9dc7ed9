# The Debian package: cpack -G DEB from a release build.
set(CPACK_PACKAGE_NAME "rvx-string-calculator")
set(CPACK_PACKAGE_VENDOR "Velkor Systems")
set(CPACK_PACKAGE_CONTACT "Velkor Systems <support@velkor.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "command strings for motors on the RVX serial motor bus")
set(CPACK_PACKAGE_DESCRIPTION
    "Installers and integrators drive motors on the RVX serial motor bus
with 14-byte command frames. This tool works them out: give it the
six-digit address of a motor or of a motor group and it shows the exact
frames for Up, Down, Stop, the intermediate positions, jogging, locking
and unlocking, as hexadecimal byte text with the checksum appended,
ready to paste into a controller or a terminal.

The package holds the desktop program rvx-string-calculator and the
command line rvx-strings for scripts. Both can send a frame to a motor
through a USB to RS-485 adapter or a TCP serial bridge when asked, and
rvx-strings can watch the bus; nothing is sent unless the user asks.")
set(CPACK_PACKAGE_HOMEPAGE_URL "${RVX_HOMEPAGE}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR "DEB")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so not found by shlibdeps: the SVG plugins draw the window icon, and the
# Liberation fonts stand in for the face the windows were laid out in. Qt Serial Port is named
# as well, so that the programs that reach the bus find it even where shlibdeps does not.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, fonts-liberation2, libqt6serialport6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
