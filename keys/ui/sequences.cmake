# The sequence editor pages of the configuration sheet: prefix, suffix, pull-off and block
# separator on one editor page.
add_library(veltra_sequence_pages STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CEingabeBasisRegisterkarteSeriell.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CEingabeBasisRegisterkarteSeriell.h
    ${CMAKE_CURRENT_LIST_DIR}/CPrefixRegisterkarteSeriell.h
    ${CMAKE_CURRENT_LIST_DIR}/CSuffixRegisterkarteSeriell.h
    ${CMAKE_CURRENT_LIST_DIR}/CEndeRegisterkarteSeriell.h
    ${CMAKE_CURRENT_LIST_DIR}/CTermixRegisterkarteSeriell.h)
target_include_directories(veltra_sequence_pages PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(veltra_sequence_pages PUBLIC veltra_keys veltra_strings veltra_sheet_services
                                                   veltra_ui_support Qt6::Widgets)
veltra_warnings(veltra_sequence_pages)
