# Widget tests of the data format page (offscreen).
veltra_add_gtest(data_page_test
                 SOURCES ${CMAKE_CURRENT_LIST_DIR}/DataPageTest.cpp
                         ${CMAKE_CURRENT_LIST_DIR}/DataPageRulesTest.cpp
                         ${CMAKE_SOURCE_DIR}/tests/app/LeakSuppressions.cpp
                 LIBS veltra_data_page)

# Pictures of the page for layout reviews (not a test): xvfb-run -a data_page_shot <folder>
add_executable(data_page_shot ${CMAKE_CURRENT_LIST_DIR}/DataPageShot.cpp)
target_link_libraries(data_page_shot PRIVATE veltra_data_page)
veltra_warnings(data_page_shot)
