# The Tovarin plug-in module: only AcroPluginMain is exported.
find_package(wxWidgets REQUIRED COMPONENTS core base)
include(${wxWidgets_USE_FILE})

set(TVP_PLUGIN_SOURCES
  Headers/SDK/PIMain.cpp
  Headers/SDK/wxInit.cpp
  sources/TovarinPluginInit.cpp
  sources/TVPTabDialog.cpp
  sources/TVPTabDialogPrint.cpp
  sources/AddText.cpp
  sources/TVPTabDialogMetadata.cpp
  sources/TVPTabDialogFiles.cpp
  sources/OpenSavePDF.cpp
)

# The same code as a static library, so tests can call the plug-in's functions directly.
add_library(tovarin_plugin_code STATIC ${TVP_PLUGIN_SOURCES})
target_include_directories(tovarin_plugin_code PUBLIC sources Headers/SDK)
target_link_libraries(tovarin_plugin_code PUBLIC tvp_scanner PkgConfig::EXEMPI ${wxWidgets_LIBRARIES})

add_library(TovarinAdTicket MODULE ${TVP_PLUGIN_SOURCES})
target_include_directories(TovarinAdTicket PRIVATE sources Headers/SDK)
target_link_libraries(TovarinAdTicket PRIVATE tvp_scanner PkgConfig::EXEMPI ${wxWidgets_LIBRARIES})
set_target_properties(TovarinAdTicket PROPERTIES
  PREFIX ""
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON
  LIBRARY_OUTPUT_DIRECTORY ${TVP_PLUGIN_DIR})
target_link_options(TovarinAdTicket PRIVATE -Wl,--no-undefined)

# The dialog styles its GTK text boxes itself.
target_link_libraries(tovarin_plugin_code PUBLIC PkgConfig::GTK3)
target_link_libraries(TovarinAdTicket PRIVATE PkgConfig::GTK3)

include(cmake/Tests.cmake)
