# The serial parameter page and its rules.
if(TARGET veltra_param_page)
    veltra_add_gtest(test_param_page
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/ParamPageRulesTest.cpp
                ${CMAKE_CURRENT_LIST_DIR}/ParamPageWidgetTest.cpp
        LIBS veltra_param_page)
endif()
