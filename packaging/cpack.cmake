# The Debian package: `cpack -G DEB` in a build folder (scripts/package makes
# the release one, installed under /usr).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sorabi)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Hotaru Soft")
set(CPACK_PACKAGE_CONTACT "Sorabi team <sorabi-team@hotaru-soft.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "product page maker for drop-shipping shops")
set(CPACK_PACKAGE_DESCRIPTION
    "Sorabi turns the product list that a drop-shipping service exports (a CSV\n\
file, Shift_JIS) into one static HTML product page per product, ready to\n\
upload to any web space. The site settings are registered once in its\n\
window. The user interface is in Japanese.\n\
.\n\
sorabi-batch makes the same pages without windows, for scripts.")
# What is packaged is what was compiled in: the program knows its install folder.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.hotaru-soft.example/sorabi/support/")
# The libraries come from dpkg-shlibdeps; Qt's platform plugins and a Japanese
# font are loaded at run time, so no library names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk | fonts-ipafont-gothic, qt6-qpa-plugins")
# Qt's own dialogs in Japanese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

include(CPack)
