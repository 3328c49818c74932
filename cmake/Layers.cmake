# The three layers of the program, each one static library; layers depend
# downwards only.
#
#   orvane_core        raster core and algorithms: standard C++ (and libjpeg), no Qt
#   orvane_foundation  settings trees, property sets, histories, localizer: QtCore
#   orvane_ui          documents, views, tools and the shell: Qt Widgets
#
# Sources are picked up by folder.  KvL/ holds units of every layer: the
# units named in ORVANE_CORE_UNITS and ORVANE_FOUNDATION_UNITS go to those
# layers, every other KvL unit is user interface.

set(ORVANE_CORE_UNITS KvBitmap JpegCodec KvExchangeFile)
set(ORVANE_FOUNDATION_UNITS KvClasses KvLocalizer KvSDF KvProperties KvCommandHistory
  KvFileFormats KvMapMode KvMethodList KvLanguageFile)

# Headers are listed with their sources so that AUTOMOC always knows every
# header that may declare a Q_OBJECT class, also after a header gains one.
file(GLOB _kvl_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/KvL/*.cpp ${PROJECT_SOURCE_DIR}/KvL/*.h)
set(_core_sources "")
set(_foundation_sources "")
set(_ui_sources "")
foreach(_src IN LISTS _kvl_sources)
  get_filename_component(_unit ${_src} NAME_WE)
  if(_unit IN_LIST ORVANE_CORE_UNITS)
    list(APPEND _core_sources ${_src})
  elseif(_unit IN_LIST ORVANE_FOUNDATION_UNITS)
    list(APPEND _foundation_sources ${_src})
  else()
    list(APPEND _ui_sources ${_src})
  endif()
endforeach()

file(GLOB _algorithm_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/algorithms/*.cpp
                                               ${PROJECT_SOURCE_DIR}/algorithms/*.h)
list(APPEND _core_sources ${_algorithm_sources})

file(GLOB _app_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/app/*.cpp ${PROJECT_SOURCE_DIR}/app/*.h
                                         ${PROJECT_SOURCE_DIR}/scanner/*.cpp ${PROJECT_SOURCE_DIR}/scanner/*.h)
list(FILTER _app_sources EXCLUDE REGEX "/app/main\\.cpp$")
list(APPEND _ui_sources ${_app_sources})
file(GLOB _qrc_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/app/*.qrc)
list(APPEND _ui_sources ${_qrc_files})

set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

add_library(orvane_core STATIC ${_core_sources} ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
target_include_directories(orvane_core PUBLIC ${PROJECT_SOURCE_DIR}/KvL ${PROJECT_SOURCE_DIR}/algorithms)
target_link_libraries(orvane_core PUBLIC JPEG::JPEG ZLIB::ZLIB)

add_library(orvane_foundation STATIC ${_foundation_sources} ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
target_link_libraries(orvane_foundation PUBLIC orvane_core Qt6::Core)

add_library(orvane_ui STATIC ${_ui_sources} ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
target_include_directories(orvane_ui PUBLIC ${PROJECT_SOURCE_DIR}/app ${PROJECT_SOURCE_DIR}/scanner)
target_link_libraries(orvane_ui PUBLIC orvane_foundation
  Qt6::Widgets Qt6::PrintSupport Qt6::Concurrent
  exiv2lib PkgConfig::TURBOJPEG PkgConfig::SANE X11::Xtst)

add_executable(orvane ${PROJECT_SOURCE_DIR}/app/main.cpp)
target_link_libraries(orvane PRIVATE orvane_ui)

# Headless command-line front ends over the lower layers.
file(GLOB _cli_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/cli/*.cpp)
foreach(_src IN LISTS _cli_sources)
  get_filename_component(_name ${_src} NAME_WE)
  add_executable(${_name} ${_src})
  target_link_libraries(${_name} PRIVATE orvane_foundation Qt6::Gui)
endforeach()

# Data the program finds beside its executable.
foreach(_dir Languages Demo)
  add_custom_target(copy_${_dir} ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/${_dir}
            ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${_dir})
endforeach()

install(TARGETS orvane RUNTIME DESTINATION bin)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/Languages ${PROJECT_SOURCE_DIR}/Demo
        DESTINATION share/orvane)
