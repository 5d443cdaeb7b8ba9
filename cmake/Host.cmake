# The host layer (a library, so tests can drive it in-process) and the pdfhost program.
find_package(PkgConfig REQUIRED)
pkg_check_modules(QPDF REQUIRED IMPORTED_TARGET libqpdf)
# We use qpdf's std::shared_ptr API only; without this each file that includes qpdf warns.
set_property(TARGET PkgConfig::QPDF APPEND PROPERTY
  INTERFACE_COMPILE_DEFINITIONS POINTERHOLDER_TRANSITION=4)
pkg_check_modules(EXEMPI REQUIRED IMPORTED_TARGET exempi-2.0)
pkg_check_modules(EXPAT REQUIRED IMPORTED_TARGET expat)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(GTK3_UNIX_PRINT REQUIRED IMPORTED_TARGET gtk+-unix-print-3.0)

add_library(pdfhost_core STATIC
  host/Host.cpp
  host/calls/ContentCalls.cpp
  host/calls/DocumentCalls.cpp
  host/calls/PageCalls.cpp
  host/calls/PrintCalls.cpp
  host/content/ContentWriter.cpp
  host/content/FontMetrics.cpp
  host/content/Objects.cpp
  host/content/Pages.cpp
  host/calls/FileCalls.cpp
  host/calls/FillTables.cpp
  host/calls/SupportCalls.cpp
  host/calls/ViewCalls.cpp
  host/support/Atoms.cpp
  host/support/Errors.cpp
  host/support/EventLog.cpp
  host/support/Texts.cpp
  host/app/HostUi.cpp
  host/app/Menus.cpp
  host/app/Plugins.cpp
  host/documents/Documents.cpp
  host/documents/FileErrors.cpp
  host/documents/IncrementalSave.cpp
  host/documents/ReadWarnings.cpp
  host/documents/UpdateWriter.cpp
  host/documents/OpenFiles.cpp
  host/documents/ReplaceFile.cpp
  host/documents/WholePdf.cpp
  host/documents/XmpPacket.cpp
  host/documents/XmpSplice.cpp
  host/documents/XmpTree.cpp
  host/documents/XmpWriter.cpp
  host/documents/FileSource.cpp
  host/documents/Files.cpp
  host/documents/SharedFolder.cpp
)
target_include_directories(pdfhost_core PUBLIC host Headers/SDK)
target_link_libraries(pdfhost_core PUBLIC PkgConfig::QPDF PkgConfig::EXEMPI PkgConfig::EXPAT PkgConfig::GTK3 ${CMAKE_DL_LIBS})

add_library(pdfhost_gui STATIC
  host/pdfhost/GtkUi.cpp
  host/pdfhost/GtkPrint.cpp
  host/pdfhost/MainWindow.cpp
  host/pdfhost/CommandLine.cpp
)
target_include_directories(pdfhost_gui PUBLIC host/pdfhost)
target_link_libraries(pdfhost_gui PUBLIC pdfhost_core PkgConfig::GTK3_UNIX_PRINT)

add_executable(pdfhost host/pdfhost/main.cpp)
target_link_libraries(pdfhost PRIVATE pdfhost_gui)
# The plug-ins the build makes sit beside pdfhost, where it looks by default.
set(TVP_PLUGIN_DIR ${CMAKE_BINARY_DIR}/plug_ins)

# Saving a ticket into a large PDF, timed by bench/save-benchmark.sh.
add_executable(ticket_save_bench EXCLUDE_FROM_ALL bench/ticket_save_bench.cpp)
target_link_libraries(ticket_save_bench PRIVATE pdfhost_core)

# The packet path's fuzz target: the packet modules are compiled into it, so that libFuzzer sees
# their coverage (TVP_FUZZ_FLAGS comes from Scanner.cmake).
if(TVP_FUZZ)
  add_executable(xmp_packet_fuzz fuzz/xmp_packet_fuzz.cpp host/documents/XmpPacket.cpp
    host/documents/XmpSplice.cpp host/documents/XmpTree.cpp host/documents/XmpWriter.cpp host/support/Texts.cpp)
  target_include_directories(xmp_packet_fuzz PRIVATE host Headers/SDK)
  target_compile_definitions(xmp_packet_fuzz PRIVATE TVP_XMP_WHOLE_CHECK=2 TVP_XMP_CHECK_PIECE=2)
  target_compile_options(xmp_packet_fuzz PRIVATE ${TVP_FUZZ_FLAGS})
  target_link_options(xmp_packet_fuzz PRIVATE ${TVP_FUZZ_FLAGS})
  target_link_libraries(xmp_packet_fuzz PRIVATE PkgConfig::EXEMPI PkgConfig::EXPAT)
endif()
