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
# Hidden visibility covers the module's own code; the version script also hides what the static
# scanner and the toolkit's header templates bring in.
set(TVP_PLUGIN_EXPORTS ${CMAKE_CURRENT_LIST_DIR}/PluginExports.map)
target_link_options(TovarinAdTicket PRIVATE -Wl,--no-undefined
  -Wl,--version-script=${TVP_PLUGIN_EXPORTS})
set_property(TARGET TovarinAdTicket APPEND PROPERTY LINK_DEPENDS ${TVP_PLUGIN_EXPORTS})

# The dialog styles its GTK text boxes itself.
target_link_libraries(tovarin_plugin_code PUBLIC PkgConfig::GTK3)
target_link_libraries(TovarinAdTicket PRIVATE PkgConfig::GTK3)

include(cmake/Tests.cmake)
