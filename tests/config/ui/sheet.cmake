# Widget tests of the configuration sheet and the configuration report.
if(TARGET veltra_config_sheet)
    veltra_add_gtest(sheet_report_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/SheetReportTest.cpp
                ${CMAKE_CURRENT_LIST_DIR}/SheetTestSupport.h
                ${CMAKE_SOURCE_DIR}/tests/app/LeakSuppressions.cpp
        LIBS veltra_config_sheet Qt6::Widgets)
endif()
get_property(veltra_have_sheet GLOBAL PROPERTY VELTRA_HAVE_CONFIG_SHEET)
if(TARGET veltra_config_sheet AND veltra_have_sheet)
    veltra_add_gtest(sheet_end_to_end_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/SheetEndToEndTest.cpp
                ${CMAKE_CURRENT_LIST_DIR}/SheetTestSupport.h
                ${CMAKE_SOURCE_DIR}/tests/app/LeakSuppressions.cpp
        LIBS veltra_config_sheet Qt6::Widgets)
endif()
# The main window's commands open the sheet and the report.
if(TARGET veltra_config_sheet AND veltra_have_sheet AND TARGET veltra_app)
    veltra_add_gtest(sheet_wiring_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/SheetWiringTest.cpp
                ${CMAKE_SOURCE_DIR}/tests/app/LeakSuppressions.cpp
        LIBS veltra_app Qt6::Test)
endif()

# Pictures of the sheet's pages and the report against the simulator (built on request).
if(TARGET veltra_config_sheet AND veltra_have_sheet AND TARGET qn-sim)
    add_executable(sheet-shots EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/SheetShots.cpp)
    target_link_libraries(sheet-shots PRIVATE veltra_config_sheet)
    target_include_directories(sheet-shots PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
    target_compile_definitions(sheet-shots PRIVATE QN_SIM_PATH="$<TARGET_FILE:qn-sim>")
    add_dependencies(sheet-shots qn-sim)
    veltra_warnings(sheet-shots)
endif()
