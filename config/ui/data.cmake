# The data format page. Its widget-free rules (config/DataPageRules.*) are part of the model
# library, which veltra-cli shares.
add_library(veltra_data_page STATIC ${CMAKE_CURRENT_LIST_DIR}/CDatenRegisterkarteSeriell.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/CDatenRegisterkarteSeriell.h)
target_include_directories(veltra_data_page PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(veltra_data_page PUBLIC veltra_config_model veltra_sheet_services
                                              veltra_ui_support Qt6::Widgets)
veltra_warnings(veltra_data_page)
