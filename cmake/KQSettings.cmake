# Shared compile settings for every target of the project.
add_library(kq_settings INTERFACE)
target_compile_features(kq_settings INTERFACE cxx_std_20)
target_compile_options(kq_settings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
target_compile_definitions(kq_settings INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_KEYWORDS)
if(KQ_WARNINGS_AS_ERRORS)
    target_compile_options(kq_settings INTERFACE -Werror)
endif()
# KQ_SANITIZE: ON or "address" builds with address and undefined-behaviour sanitizers, "thread"
# with the thread sanitizer. The distribution's Qt is not built for it, so tests run with
# ignore_noninstrumented_modules (what Qt's own code touches is not checked, ours is) and
# tests/tsan.supp, which may name only Qt and GLib frames.
string(TOLOWER "${KQ_SANITIZE}" kq_sanitize)
if(kq_sanitize STREQUAL "thread")
    target_compile_options(kq_settings INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(kq_settings INTERFACE -fsanitize=thread)
    set(KQ_TEST_SANITIZER_ENV "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp:ignore_noninstrumented_modules=1:halt_on_error=1:second_deadlock_stack=1")
elseif(KQ_SANITIZE)
    target_compile_options(kq_settings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
    target_link_options(kq_settings INTERFACE -fsanitize=address,undefined)
endif()

# kq_add_test(NAME name SOURCES ... LIBS ... [GUI] [LABEL layer] [SLOW filter])
# One test executable, registered with ctest test by test. GUI tests run on the offscreen platform.
# Every test carries the label of its layer (LABEL, by default the name without "_tests"); the
# tests matching SLOW (a GoogleTest filter: patterns separated by ':') carry "<layer>-slow" instead,
# which `ctest -L slow` and `-L <layer>` both match (labels are matched as regular expressions; a
# list of two labels does not survive the discovery script's quoting).
function(kq_add_test)
    cmake_parse_arguments(ARG "GUI" "NAME;LABEL;SLOW" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_LABEL)
        string(REGEX REPLACE "_tests$" "" ARG_LABEL "${ARG_NAME}")
    endif()
    add_executable(${ARG_NAME} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/KQTestMain.cpp)
    target_include_directories(${ARG_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    target_link_libraries(${ARG_NAME} PRIVATE kq_settings GTest::gtest GTest::gmock ${ARG_LIBS})
    # A test's own code is built for building speed: every test source is compiled twice in CI,
    # while the code under test keeps the flags of its build.
    target_compile_options(${ARG_NAME} PRIVATE "$<$<CONFIG:RelWithDebInfo>:-O1;-g1>")
    # Under the sanitizers, optimising instrumented test code doubles its compile time for nothing.
    if(KQ_SANITIZE)
        target_compile_options(${ARG_NAME} PRIVATE -O0)
    endif()
    if(ARG_GUI)
        target_compile_definitions(${ARG_NAME} PRIVATE KQ_TEST_GUI)
    endif()
    target_compile_definitions(${ARG_NAME} PRIVATE
        KQ_CORPUS_DIR="${PROJECT_SOURCE_DIR}/../shared/corpus"
        KQ_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
    set(env "QT_QPA_PLATFORM=offscreen")
    if(KQ_TEST_SANITIZER_ENV)
        list(APPEND env "${KQ_TEST_SANITIZER_ENV}")
    endif()
    include(GoogleTest)
    if(ARG_SLOW)
        gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${ARG_SLOW}"
                             PROPERTIES ENVIRONMENT "${env}" LABELS "${ARG_LABEL}")
        gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60 TEST_FILTER "${ARG_SLOW}"
                             PROPERTIES ENVIRONMENT "${env}" LABELS "${ARG_LABEL}-slow")
    else()
        gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${env}" LABELS "${ARG_LABEL}")
    endif()
endfunction()
