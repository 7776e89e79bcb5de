# The configuration sheet with its file commands, and the configuration report dialog.
# The sheet itself joins once its pages are in the tree; the frame, the file chooser and the
# report dialog need no page.
set(veltra_sheet_dir ${CMAKE_CURRENT_LIST_DIR})
set(veltra_sheet_sources
    ${veltra_sheet_dir}/CEinstellDlg.cpp ${veltra_sheet_dir}/CEinstellDlg.h
    ${veltra_sheet_dir}/CTestDlg.cpp ${veltra_sheet_dir}/CTestDlg.h
    ${veltra_sheet_dir}/MkrFileChooser.cpp ${veltra_sheet_dir}/MkrFileChooser.h)
set(veltra_sheet_pages veltra_data_page veltra_param_page veltra_sequence_pages)
if(EXISTS ${CMAKE_SOURCE_DIR}/config/ui/data.cmake
   AND EXISTS ${CMAKE_SOURCE_DIR}/config/ui/param.cmake
   AND EXISTS ${CMAKE_SOURCE_DIR}/keys/ui/sequences.cmake)
    list(APPEND veltra_sheet_sources ${veltra_sheet_dir}/CSeriellEinstellDlg.cpp
                                     ${veltra_sheet_dir}/CSeriellEinstellDlg.h)
    set(VELTRA_HAVE_CONFIG_SHEET ON)
else()
    set(veltra_sheet_pages)
    set(VELTRA_HAVE_CONFIG_SHEET OFF)
endif()

add_library(veltra_config_sheet STATIC ${veltra_sheet_sources})
target_include_directories(veltra_config_sheet PUBLIC ${veltra_sheet_dir})
target_link_libraries(veltra_config_sheet PUBLIC Qt6::Widgets ${veltra_sheet_pages}
                      veltra_config_workflow veltra_sheet_services veltra_ui_support
                      veltra_strings)
if(VELTRA_HAVE_CONFIG_SHEET)
    target_compile_definitions(veltra_config_sheet PUBLIC VELTRA_HAVE_CONFIG_SHEET=1)
endif()
set_property(GLOBAL PROPERTY VELTRA_HAVE_CONFIG_SHEET ${VELTRA_HAVE_CONFIG_SHEET})
veltra_warnings(veltra_config_sheet)
