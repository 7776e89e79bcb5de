# Reader features, the connection core and the reading/programming sequences. Widget-free: the
# application, veltra-cli and the tests drive them alike. Talks to readers only through
# ReaderLink; the device link's header and library are private to it, so nothing above reaches
# the Qn operations but through ReaderLink.
add_library(veltra_config_workflow STATIC
            ${CMAKE_CURRENT_LIST_DIR}/DeviceFeatures.cpp
            ${CMAKE_CURRENT_LIST_DIR}/DeviceFeatures.h
            ${CMAKE_CURRENT_LIST_DIR}/ReaderLink.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ReaderLink.h
            ${CMAKE_CURRENT_LIST_DIR}/ReaderReads.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ReaderReads.h
            ${CMAKE_CURRENT_LIST_DIR}/ReaderConnector.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ReaderConnector.h
            ${CMAKE_CURRENT_LIST_DIR}/FilterSettings.cpp
            ${CMAKE_CURRENT_LIST_DIR}/FilterSettings.h
            ${CMAKE_CURRENT_LIST_DIR}/ConfigurationWorkflow.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ConfigurationWorkflow.h)
target_include_directories(veltra_config_workflow PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(veltra_config_workflow PUBLIC veltra_config_model veltra_strings Qt6::Core)
if(TARGET qnlink)
    target_link_libraries(veltra_config_workflow PRIVATE qnlink)
endif()
veltra_warnings(veltra_config_workflow)
