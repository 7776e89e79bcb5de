# The serial parameter page of the configuration sheet.
add_library(veltra_param_page STATIC ${CMAKE_CURRENT_LIST_DIR}/CParamRegisterkarteSeriell.cpp
                                     ${CMAKE_CURRENT_LIST_DIR}/CParamRegisterkarteSeriell.h)
target_include_directories(veltra_param_page PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(veltra_param_page PUBLIC veltra_config_model veltra_sheet_services
                                               veltra_ui_support Qt6::Widgets)
veltra_warnings(veltra_param_page)
