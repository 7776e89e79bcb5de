# The widget-free configuration model: the record and its byte images, value checks, the .mkr
# file and the report text. The INI engine is a library of its own (config/ini/).
add_library(veltra_ini STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ini/CIniEx.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ini/CIniEx.h
    ${CMAKE_CURRENT_LIST_DIR}/ini/CPrivateProfile.h)
target_include_directories(veltra_ini PUBLIC ${CMAKE_CURRENT_LIST_DIR}/ini)
target_link_libraries(veltra_ini PUBLIC veltra_strings)
veltra_warnings(veltra_ini)

add_library(veltra_config_model STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ReaderConfiguration.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReaderConfiguration.h
    ${CMAKE_CURRENT_LIST_DIR}/ConfigChecks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConfigChecks.h
    ${CMAKE_CURRENT_LIST_DIR}/ConfigurationModel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConfigurationModel.h
    ${CMAKE_CURRENT_LIST_DIR}/ConfigurationSource.h
    ${CMAKE_CURRENT_LIST_DIR}/WorkflowMessage.h
    ${CMAKE_CURRENT_LIST_DIR}/MkrFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MkrFile.h
    ${CMAKE_CURRENT_LIST_DIR}/ConfigReport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConfigReport.h
    ${CMAKE_CURRENT_LIST_DIR}/ParamPageRules.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ParamPageRules.h
    ${CMAKE_CURRENT_LIST_DIR}/DataPageRules.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DataPageRules.h)
target_include_directories(veltra_config_model PUBLIC ${CMAKE_CURRENT_LIST_DIR}
                                                      ${CMAKE_SOURCE_DIR})
target_link_libraries(veltra_config_model PUBLIC veltra_ini veltra_keys veltra_strings Qt6::Core)
veltra_warnings(veltra_config_model)
