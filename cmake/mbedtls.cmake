# Mbed TLS, from the source scripts/fetch-mbedtls keeps in build/cache/mbedtls, built with
# each preset's compiler and sanitizers and with Tickwell's trimmed configuration. Its
# targets are MbedTLS::mbedtls (TLS), MbedTLS::mbedx509 and MbedTLS::mbedcrypto.
file(GLOB mbedtls_sources LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/build/cache/mbedtls/mbedtls-3.6.*)
list(FILTER mbedtls_sources INCLUDE REGEX "/mbedtls-3\\.6\\.[0-9]+$")
if(NOT mbedtls_sources)
    message(FATAL_ERROR "The source of Mbed TLS 3.6 is missing: run scripts/bootstrap")
endif()
list(SORT mbedtls_sources COMPARE NATURAL ORDER DESCENDING)
list(GET mbedtls_sources 0 mbedtls_source)

set(ENABLE_PROGRAMS OFF CACHE BOOL "" FORCE)
set(ENABLE_TESTING OFF CACHE BOOL "" FORCE)
set(MBEDTLS_FATAL_WARNINGS OFF CACHE BOOL "" FORCE)
set(USE_SHARED_MBEDTLS_LIBRARY OFF CACHE BOOL "" FORCE)
set(USE_STATIC_MBEDTLS_LIBRARY ON CACHE BOOL "" FORCE)
set(MBEDTLS_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/mbedtls_config.h CACHE FILEPATH "" FORCE)
add_subdirectory(${mbedtls_source} ${CMAKE_BINARY_DIR}/mbedtls EXCLUDE_FROM_ALL SYSTEM)
