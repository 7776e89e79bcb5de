# The sequence editor pages.
if(TARGET veltra_sequence_pages)
    veltra_add_gtest(test_sequence_pages
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/SequencePageTest.cpp
        LIBS veltra_sequence_pages)
endif()
