# The layers of the program, one static library per folder; a library's
# public include path is its own folder, so a unit sees the headers of its
# own layer and, through what its library links, of the layers below, and
# never those of a layer above it.
#
#   orvane_core        KvL/core/        no Qt: points, rectangles, pixel buffers,
#                                       the page allocator, the lossless JPEG
#                                       codec, the exchange file
#   orvane_algorithms  algorithms/      no Qt: the clipping work, the object library
#   orvane_foundation  KvL/foundation/  QtCore: settings trees, property sets,
#                                       histories, formats, language files
#   orvane_ui          KvL/ui/          Qt Widgets: forms, modules, documents,
#                                       views, editors, dialogs, panels
#   orvane_tools       KvL/tools/       the graphics tools
#   orvane_scanner     scanner/         the scanner component
#   orvane_app         app/             the main form and the composition root
#
# Sources are picked up by folder: a unit dropped into a folder is built
# into that folder's library without editing this file.

set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

# orvane_layer(<target> <folder>... [PUBLIC libs...] [PRIVATE libs...])
function(orvane_layer target)
  cmake_parse_arguments(PARSE_ARGV 1 _layer "" "" "PUBLIC;PRIVATE")
  set(_dirs "")
  set(_sources "")
  foreach(_folder IN LISTS _layer_UNPARSED_ARGUMENTS)
    set(_dir ${PROJECT_SOURCE_DIR}/${_folder})
    list(APPEND _dirs ${_dir})
    # Headers are listed with their sources so that AUTOMOC always knows every
    # header that may declare a Q_OBJECT class, also after a header gains one.
    file(GLOB _found CONFIGURE_DEPENDS ${_dir}/*.cpp ${_dir}/*.h ${_dir}/*.qrc)
    list(APPEND _sources ${_found})
  endforeach()
  list(FILTER _sources EXCLUDE REGEX "/app/main\\.cpp$")
  add_library(${target} STATIC ${_sources} ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  target_include_directories(${target} PUBLIC ${_dirs})
  target_link_libraries(${target} PUBLIC ${_layer_PUBLIC} PRIVATE ${_layer_PRIVATE})
endfunction()

orvane_layer(orvane_core KvL/core PRIVATE JPEG::JPEG)
# zlib: the object library's matte files.
orvane_layer(orvane_algorithms algorithms PUBLIC orvane_core PRIVATE ZLIB::ZLIB)
orvane_layer(orvane_foundation KvL/foundation PUBLIC Qt6::Core)
# fontconfig: the generic font families the text tool falls back to.
# X11 and XTest: demonstrations press the real pointer's buttons on an X server.
orvane_layer(orvane_ui KvL/ui PUBLIC orvane_foundation orvane_algorithms Qt6::Widgets Qt6::PrintSupport
             PRIVATE exiv2lib Fontconfig::Fontconfig X11::X11 X11::Xtst)
orvane_layer(orvane_tools KvL/tools PUBLIC orvane_ui)
orvane_layer(orvane_scanner scanner PUBLIC orvane_ui PRIVATE PkgConfig::SANE)
orvane_layer(orvane_app app PUBLIC orvane_tools orvane_scanner)
# The version the about box shows.
target_compile_definitions(orvane_app PRIVATE ORVANE_VERSION="${PROJECT_VERSION}")

add_executable(orvane ${PROJECT_SOURCE_DIR}/app/main.cpp)
target_link_libraries(orvane PRIVATE orvane_app)

# Headless command-line front ends over the same code as the editor (the
# picture loader of the formats layer, the clipping session), without a
# window.
file(GLOB _cli_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/cli/*.cpp)
foreach(_src IN LISTS _cli_sources)
  get_filename_component(_name ${_src} NAME_WE)
  add_executable(${_name} ${_src})
  target_link_libraries(${_name} PRIVATE orvane_ui)
endforeach()

# Data the program finds beside its executable (installation:
# cmake/Install.cmake).
foreach(_dir Languages Demo Help)
  if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${_dir})
    add_custom_target(copy_${_dir} ALL
      COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/${_dir}
              ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${_dir})
  endif()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/LICENSE COPYONLY)
