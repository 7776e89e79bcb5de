# The widget-free configuration model: the record and its byte images, value checks, the .mkr
# file and the report text.
add_library(veltra_config_model STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ReaderConfiguration.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReaderConfiguration.h)
target_include_directories(veltra_config_model PUBLIC ${CMAKE_CURRENT_LIST_DIR}
                                                      ${CMAKE_SOURCE_DIR})
target_link_libraries(veltra_config_model PUBLIC veltra_strings)
veltra_warnings(veltra_config_model)
