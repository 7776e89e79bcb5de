# Widget tests of the configuration sheet and the configuration report.
if(TARGET veltra_config_sheet)
    veltra_add_gtest(sheet_report_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/SheetReportTest.cpp
                ${CMAKE_CURRENT_LIST_DIR}/SheetTestSupport.h
        LIBS veltra_config_sheet Qt6::Widgets)
endif()
