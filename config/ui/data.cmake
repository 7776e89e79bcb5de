# The data format page: its widget-free rules (shared with veltra-cli) and the page itself.
add_library(veltra_data_rules STATIC ${CMAKE_SOURCE_DIR}/config/DataPageRules.cpp
                                     ${CMAKE_SOURCE_DIR}/config/DataPageRules.h)
target_link_libraries(veltra_data_rules PUBLIC veltra_config_model)
veltra_warnings(veltra_data_rules)

add_library(veltra_data_page STATIC ${CMAKE_CURRENT_LIST_DIR}/CDatenRegisterkarteSeriell.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/CDatenRegisterkarteSeriell.h)
target_include_directories(veltra_data_page PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(veltra_data_page PUBLIC veltra_data_rules veltra_config_model
                                              veltra_sheet_services veltra_ui_support Qt6::Widgets)
veltra_warnings(veltra_data_page)
