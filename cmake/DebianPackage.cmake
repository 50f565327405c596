# `cpack -G DEB` in a build folder makes velmora_<version>_<arch>.deb from the install rules.
# The libraries the executable links give most dependencies (dpkg-shlibdeps); the rest are what
# Velmora loads or talks to at run time, which no link reveals (libqt6svg6, say, comes from the
# link; the X11 platform plugin does not).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR Velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text expander for the desktop tray")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velmora Developers <maintainers@velmora.app>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# CPack puts the summary above this and indents each line as the control file wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Velmora keeps a library of shortcuts, a trigger such as /sig and the text it
stands for, in nested, coloured folders. When a trigger is finished in a text
field of any other application, Velmora replaces it with its text through the
accessibility interface and leaves the clipboard as it was.

It works on X11 and on Wayland sessions with the accessibility bus switched on.
On X11 it selects the trigger and pastes the text over it; on Wayland it edits
the field through its accessibility interface, without reading keys or
touching the clipboard. Password fields are never expanded into.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The X11 platform plugin draws every window on X11 and the Wayland one on a Wayland session,
# where the popover is a native window; the accessibility bus carries every expansion;
# the session bus carries that, the single-instance hand-over and the keyring; and a font is
# needed for any text at all.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-qpa-plugins, qt6-wayland, at-spi2-core, default-dbus-session-bus | dbus-session-bus, fonts-dejavu-core | fonts-liberation2 | fonts-noto-core")
# A Secret Service keeps the cloud sign-in (the library works without one); colour emoji for
# the emoji picker; Inter is the interface font (the desktop's font stands in without it);
# xdg-open hands the sign-in page to the browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring | libkf5wallet-bin | keepassxc, fonts-noto-color-emoji, fonts-inter, xdg-utils")

include(CPack)
