# Tests of the configuration model and the INI engine.
veltra_add_gtest(test_config_model
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ReaderConfigurationTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/IniTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ConfigChecksTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ConfigurationModelTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/MkrFileTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ConfigReportTest.cpp
    LIBS veltra_config_model)

veltra_add_fuzzer(fuzz_ini_parser
    SOURCES ${CMAKE_SOURCE_DIR}/tests/fuzz/ini_parser/IniFuzzer.cpp
    LIBS veltra_config_model
    CORPUS ${CMAKE_SOURCE_DIR}/tests/fuzz/ini_parser/corpus)

veltra_add_fuzzer(fuzz_mkr_load
    SOURCES ${CMAKE_SOURCE_DIR}/tests/fuzz/mkr_load/MkrFuzzer.cpp
    LIBS veltra_config_model
    CORPUS ${CMAKE_SOURCE_DIR}/tests/fuzz/mkr_load/corpus)
