# Installation into any prefix: the programs in bin/, their data in
# share/orvane/ (found by the programs relative to their own folder, so the
# installed tree runs from wherever it lies), and what a Linux desktop needs
# to list the editor, open pictures with it and show its icon.
#
#   cmake --install build --prefix /usr [--component ...]; DESTDIR works too.
#
# The program's data folders stay at ../share/orvane from bin/ whatever
# GNUInstallDirs would choose, because the programs look for them there.

include(GNUInstallDirs)

set(ORVANE_APP_ID org.orvane.Orvane)
set(ORVANE_DATA_DESTINATION share/orvane)
set(_packaging ${PROJECT_SOURCE_DIR}/packaging)

# The AppStream screenshot has to be given as a web address; the picture
# itself is packaging/screenshots/editor.png, published at this address.
set(ORVANE_SCREENSHOT_URL "https://orvane.org/screenshots/editor.png"
    CACHE STRING "Web address of the screenshot named in the AppStream metadata")
set(ORVANE_SCREENSHOT_WIDTH 960)
set(ORVANE_SCREENSHOT_HEIGHT 720)

foreach(_program orvane orvane-cut orvane-paste)
  if(TARGET ${_program})
    install(TARGETS ${_program} RUNTIME DESTINATION bin)
  endif()
endforeach()

# Languages, help pages, demonstrations with their pictures.
foreach(_folder Languages Help Demo)
  if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${_folder})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/${_folder} DESTINATION ${ORVANE_DATA_DESTINATION})
  endif()
endforeach()

# Desktop integration.
install(FILES ${_packaging}/${ORVANE_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${_packaging}/${ORVANE_APP_ID}.mime.xml DESTINATION share/mime/packages
        RENAME ${ORVANE_APP_ID}.xml)
configure_file(${_packaging}/${ORVANE_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/${ORVANE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${ORVANE_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${_packaging}/icons/${ORVANE_APP_ID}.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(_size 16 22 24 32 48 64 128 256)
  install(FILES ${_packaging}/icons/${_size}/${ORVANE_APP_ID}.png
          DESTINATION share/icons/hicolor/${_size}x${_size}/apps)
endforeach()

# Manual pages and the licence texts.
install(FILES ${_packaging}/man/orvane.1 ${_packaging}/man/orvane-cut.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET orvane-paste)
  install(FILES ${_packaging}/man/orvane-paste.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${_packaging}/copyright DESTINATION share/doc/orvane)
install(FILES ${PROJECT_SOURCE_DIR}/KvL/ui/images/NOTICE.md DESTINATION share/doc/orvane
        RENAME NOTICE-pictures.md)
