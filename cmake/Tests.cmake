# Test suites: the host layer in-process, the plug-in's own code in-process, the plug-in module
# loaded by the host, and pdfhost end to end. A test's name says its case in words: parameters
# are named, never printed as their bytes (NO_PRETTY_VALUES).

# Every test runs side by side with the others (`ctest -j`). A test that needs an X server brings
# one of its own: its suite runs each test under tests/dialog/with-own-display.sh
# (CROSSCOMPILING_EMULATOR), or the test starts its server through that script or
# tests/e2e/run-dialog.sh. Such tests carry the label "display" (`ctest -L display` runs them);
# none uses the display, focus or window manager of the session ctest runs in.
function(tvp_own_display_tests)
  set_property(TEST ${ARGN} APPEND PROPERTY LABELS display)
endfunction()

# Tests that take many seconds start first, so that a parallel run is not left waiting on one
# that started last. ctest learns every test's time after its first run; this is for that run.
function(tvp_long_tests)
  set_tests_properties(${ARGN} PROPERTIES COST 1000)
endfunction()

# The sample ad the tests open, each process on a copy of its own (tests/support/TestFiles.h):
# examples/sample-ad.pdf is the user's to try things on.
set(TVP_SAMPLE_FIXTURE ${CMAKE_SOURCE_DIR}/tests/fixtures/sample-ad.pdf)

# Plug-in modules that misbehave at start-up, for the loader's refusals, and a well-behaved one
# that takes the user's locale at init.
foreach(fixture no_entry refuses_handshake takes_user_locale)
  add_library(fixture_${fixture} MODULE tests/fixtures/${fixture}_plugin.cpp)
  target_include_directories(fixture_${fixture} PRIVATE Headers/SDK)
  set_target_properties(fixture_${fixture} PROPERTIES PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test_plug_ins/${fixture})
endforeach()
target_sources(fixture_takes_user_locale PRIVATE Headers/SDK/PIMain.cpp)

add_executable(test_host
  tests/host/test_support.cpp
  tests/host/test_menus_and_alerts.cpp
  tests/host/test_plugin_loading.cpp
  tests/host/test_files_and_paths.cpp
  tests/host/test_incremental_save.cpp
  tests/host/test_page_content.cpp
  tests/host/test_sheet_saving_and_printing.cpp
  tests/host/test_hostile_conditions.cpp
)
target_link_libraries(test_host PRIVATE pdfhost_core GTest::gtest_main)
target_compile_definitions(test_host PRIVATE
  TVP_PLUGIN_PATH="$<TARGET_FILE:TovarinAdTicket>"
  TVP_SAMPLE_FIXTURE="${TVP_SAMPLE_FIXTURE}")
add_dependencies(test_host TovarinAdTicket)
# Its packet shapes take long: the suite starts among the first.
gtest_discover_tests(test_host NO_PRETTY_VALUES DISCOVERY_MODE PRE_TEST PROPERTIES COST 100)

add_executable(test_plugin tests/plugin/test_host_conventions.cpp)
target_link_libraries(test_plugin PRIVATE tovarin_plugin_code pdfhost_core GTest::gtest_main)
target_compile_definitions(test_plugin PRIVATE
  TVP_SAMPLE_FIXTURE="${TVP_SAMPLE_FIXTURE}")
gtest_discover_tests(test_plugin NO_PRETTY_VALUES DISCOVERY_MODE PRE_TEST)

# The suites that bring up the window toolkit run each test on an X server of its own, so that
# parallel tests never share one (the wrapper says why).
set(TVP_OWN_DISPLAY ${CMAKE_SOURCE_DIR}/tests/dialog/with-own-display.sh)

# pdfhost end to end; the ticket saved through it on PDFs of several producers, each run under
# an Xvfb of its own and worked by keyboard.
add_executable(test_pdfhost tests/e2e/test_pdfhost.cpp tests/e2e/test_saving_through_pdfhost.cpp)
pkg_check_modules(EXPAT REQUIRED IMPORTED_TARGET expat)
target_link_libraries(test_pdfhost PRIVATE GTest::gtest_main PkgConfig::EXPAT PkgConfig::QPDF)
target_compile_definitions(test_pdfhost PRIVATE
  TVP_PDFHOST="$<TARGET_FILE:pdfhost>"
  TVP_PLUGIN_DIR="${TVP_PLUGIN_DIR}"
  TVP_FIXTURE_DIR="${CMAKE_BINARY_DIR}/test_plug_ins"
  TVP_OWN_DISPLAY="${TVP_OWN_DISPLAY}"
  TVP_RUN_DIALOG="${CMAKE_SOURCE_DIR}/tests/e2e/run-dialog.sh"
  TVP_SAMPLE_FIXTURE="${TVP_SAMPLE_FIXTURE}")
add_dependencies(test_pdfhost pdfhost TovarinAdTicket fixture_no_entry fixture_refuses_handshake
  fixture_takes_user_locale)
# Its runs through the dialog take seconds each: the suite starts first.
gtest_discover_tests(test_pdfhost NO_PRETTY_VALUES DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300
  LABELS display COST 1000)

# The ticket dialog driven in-process under Xvfb: the plug-in's code against the real host; and
# the dialog command in pdfhost with the plug-in module.
add_executable(test_dialog
  tests/dialog/test_dialog_window.cpp
  tests/dialog/test_validation.cpp
  tests/dialog/test_dialog_command.cpp
  tests/dialog/test_dialog_in_pdfhost.cpp
)
target_link_libraries(test_dialog PRIVATE tovarin_plugin_code pdfhost_core GTest::gtest_main)
target_compile_definitions(test_dialog PRIVATE
  TVP_PDFHOST="$<TARGET_FILE:pdfhost>"
  TVP_PLUGIN_DIR="${TVP_PLUGIN_DIR}"
  TVP_SAMPLE_FIXTURE="${TVP_SAMPLE_FIXTURE}")
add_dependencies(test_dialog pdfhost TovarinAdTicket)
set_property(TARGET test_dialog PROPERTY CROSSCOMPILING_EMULATOR ${TVP_OWN_DISPLAY})
gtest_discover_tests(test_dialog NO_PRETTY_VALUES DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120
  LABELS display)
# The dialog in the work area of the screens users have, under a window manager: a 30-pixel
# panel, a small screen, and larger text (name, screen, panel, text scale).
foreach(screen "panel;1366x768;30;1" "small;1280x720;0;1" "text125;1366x768;0;1.25"
               "text150;1366x768;0;1.5")
  list(GET screen 0 name)
  list(GET screen 1 size)
  list(GET screen 2 panel)
  list(GET screen 3 scale)
  add_test(NAME dialog_work_area_${name}
    COMMAND test_dialog --gtest_filter=DialogTest.LiesInTheWorkAreaWithEveryFieldReachableByTab)
  set_tests_properties(dialog_work_area_${name} PROPERTIES TIMEOUT 120
    ENVIRONMENT "TVP_SCREEN=${size};TVP_PANEL=${panel};GDK_DPI_SCALE=${scale}")
  tvp_own_display_tests(dialog_work_area_${name})
endforeach()

# The dialog as pdfhost shows it on the screens users have, worked by keyboard under an Xvfb
# of its own; leaves screenshots in the build folder. One test per screen (name, screen, panel,
# text scale, as the script's own list), so that they run side by side.
foreach(screen "laptop;1366x768;0;1" "panel;1366x768;30;1" "small;1280x720;0;1"
               "text125;1366x768;0;1.25" "text150;1366x768;0;1.5")
  list(GET screen 0 name)
  list(GET screen 1 size)
  list(GET screen 2 panel)
  list(GET screen 3 scale)
  add_test(NAME dialog_in_pdfhost_screenshots_${name}
    COMMAND ${TVP_OWN_DISPLAY} ${CMAKE_SOURCE_DIR}/scripts/screenshot-dialog.sh
            ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/screenshots)
  set_tests_properties(dialog_in_pdfhost_screenshots_${name} PROPERTIES TIMEOUT 240
    ENVIRONMENT "TVP_SCREENSHOT_SCREEN=${name};TVP_SCREEN=${size};TVP_PANEL=${panel};GDK_DPI_SCALE=${scale}")
  tvp_own_display_tests(dialog_in_pdfhost_screenshots_${name})
endforeach()
tvp_long_tests(dialog_in_pdfhost_screenshots_laptop)

add_executable(test_metadata tests/metadata/test_ticket_in_document.cpp)
target_link_libraries(test_metadata PRIVATE tovarin_plugin_code pdfhost_core GTest::gtest_main)
target_compile_definitions(test_metadata PRIVATE
  TVP_SAMPLE_FIXTURE="${TVP_SAMPLE_FIXTURE}"
  TVP_SAMPLE_TICKET="${CMAKE_SOURCE_DIR}/examples/sample-ticket.xml")
set_property(TARGET test_metadata PROPERTY CROSSCOMPILING_EMULATOR ${TVP_OWN_DISPLAY})
gtest_discover_tests(test_metadata NO_PRETTY_VALUES DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120
  LABELS display)

# The ticket sheet printed from the dialog in-process under Xvfb, read back with qpdf, poppler
# and ImageMagick; leaves the last sheet and its picture in the build folder.
add_executable(test_print
  tests/print/test_sheet_layout.cpp
  tests/print/test_print_faults.cpp
  tests/print/test_drawing_primitives.cpp
)
target_link_libraries(test_print PRIVATE tovarin_plugin_code pdfhost_core GTest::gtest_main)
target_compile_definitions(test_print PRIVATE
  TVP_SAMPLE_FIXTURE="${TVP_SAMPLE_FIXTURE}"
  TVP_BUILD_DIR="${CMAKE_BINARY_DIR}")
set_property(TARGET test_print PROPERTY CROSSCOMPILING_EMULATOR ${TVP_OWN_DISPLAY})
gtest_discover_tests(test_print NO_PRETTY_VALUES DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120
  LABELS display)
target_sources(test_metadata PRIVATE tests/metadata/test_import_export.cpp)

