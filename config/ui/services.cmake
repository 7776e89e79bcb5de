# The services the configuration sheet takes from the program (connection, dialogs).
add_library(veltra_sheet_services STATIC ${CMAKE_CURRENT_LIST_DIR}/SheetServices.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/SheetServices.h)
target_include_directories(veltra_sheet_services PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(veltra_sheet_services PUBLIC veltra_config_workflow)
veltra_warnings(veltra_sheet_services)
