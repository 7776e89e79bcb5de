# The configuration sheet and its pages: one CMake file per group of widgets in config/ui/.
file(GLOB veltra_config_ui_parts CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/ui/*.cmake)
list(SORT veltra_config_ui_parts)
foreach(part IN LISTS veltra_config_ui_parts)
    include(${part})
endforeach()
