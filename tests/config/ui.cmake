# Widget tests of the configuration sheet and its pages: one CMake file per group in ui/.
file(GLOB veltra_config_ui_test_parts CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/ui/*.cmake)
list(SORT veltra_config_ui_test_parts)
foreach(part IN LISTS veltra_config_ui_test_parts)
    include(${part})
endforeach()
