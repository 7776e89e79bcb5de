# Tests of the configuration model.
veltra_add_gtest(test_config_model
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ReaderConfigurationTest.cpp
    LIBS veltra_config_model)
