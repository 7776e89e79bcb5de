# Tests of the reader features, the connection core and the reading/programming sequences.
# They link the device link, so they join the build once it is there.
if(TARGET qnlink)
    veltra_add_gtest(test_config_workflow
                     SOURCES ${CMAKE_CURRENT_LIST_DIR}/FeaturesTest.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/ConnectorTest.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/WorkflowTest.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/WorkflowSimTest.cpp
                     LIBS veltra_config_workflow veltra_test_support)
endif()
