# Widget tests of the configuration sheet and the configuration report.
if(TARGET veltra_config_sheet)
    veltra_add_gtest(sheet_report_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/SheetReportTest.cpp
                ${CMAKE_CURRENT_LIST_DIR}/SheetTestSupport.h
        LIBS veltra_config_sheet Qt6::Widgets)
endif()
get_property(veltra_have_sheet GLOBAL PROPERTY VELTRA_HAVE_CONFIG_SHEET)
if(TARGET veltra_config_sheet AND veltra_have_sheet)
    veltra_add_gtest(sheet_end_to_end_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/SheetEndToEndTest.cpp
                ${CMAKE_CURRENT_LIST_DIR}/SheetTestSupport.h
        LIBS veltra_config_sheet Qt6::Widgets)
endif()
