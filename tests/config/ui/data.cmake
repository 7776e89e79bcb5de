# Widget tests of the data format page (offscreen).
veltra_add_gtest(data_page_test
                 SOURCES ${CMAKE_CURRENT_LIST_DIR}/DataPageTest.cpp
                         ${CMAKE_CURRENT_LIST_DIR}/DataPageRulesTest.cpp
                 LIBS veltra_data_page)
