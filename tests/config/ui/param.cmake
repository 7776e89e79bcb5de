# The serial parameter page and its rules.
if(TARGET veltra_param_page)
    veltra_add_gtest(test_param_page
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/ParamPageRulesTest.cpp
                ${CMAKE_CURRENT_LIST_DIR}/ParamPageWidgetTest.cpp
        LIBS veltra_param_page)
endif()

# Pictures of the parameter page and a sequence page (built on request).
if(TARGET veltra_param_page AND TARGET veltra_sequence_pages)
    add_executable(veltra-page-shots EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/ParamPageShots.cpp)
    target_link_libraries(veltra-page-shots PRIVATE veltra_param_page veltra_sequence_pages)
    veltra_warnings(veltra-page-shots)
endif()
