# The Windows side: Kovirant.exe and the test programs that run under Wine.
enable_language(RC)
set(KOVIRANT_STATIC_LINK -static -static-libgcc -static-libstdc++)
# The 32-bit programs may use 4 GB of address space on 64-bit Windows, not 2:
# the tables of a few million rows live in memory.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KOVIRANT_LARGE_ADDRESS -Wl,--large-address-aware)
endif()

file(GLOB KOVIRANT_WIN32_SOURCES CONFIGURE_DEPENDS src/win32/*.cpp)
add_executable(Kovirant WIN32 ${KOVIRANT_WIN32_SOURCES} resources/Kovirant.rc)
target_include_directories(Kovirant PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_compile_definitions(Kovirant PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0601 WINVER=0x0601)
target_compile_options(Kovirant PRIVATE ${KOVIRANT_WARNINGS})
target_link_options(Kovirant PRIVATE -municode ${KOVIRANT_LARGE_ADDRESS})
target_link_libraries(Kovirant PRIVATE kovirant_core comctl32 comdlg32 advapi32 shell32 ${KOVIRANT_STATIC_LINK})
# The manifest names the version of the file VERSION, as the About box does.
configure_file(resources/Kovirant.manifest.in ${CMAKE_BINARY_DIR}/generated/Kovirant.exe.manifest @ONLY)
set_source_files_properties(resources/Kovirant.rc PROPERTIES
  OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/resources/Kovirant.ico;${CMAKE_BINARY_DIR}/generated/Kovirant.exe.manifest;${PROJECT_SOURCE_DIR}/resources/resource.h;${CMAKE_BINARY_DIR}/generated/version.h")

add_executable(profile_diff tests/wine/profile_diff.cpp)
target_link_libraries(profile_diff PRIVATE kovirant_core ${KOVIRANT_STATIC_LINK})
target_compile_options(profile_diff PRIVATE ${KOVIRANT_WARNINGS} ${KOVIRANT_TEST_OPTIMIZE})

file(GLOB KOVIRANT_E2E_SOURCES CONFIGURE_DEPENDS tests/wine/e2e_*.cpp)
add_executable(e2e ${KOVIRANT_E2E_SOURCES} tests/wine/driver.cpp)
kovirant_batched(e2e)
target_compile_definitions(e2e PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0601)
target_link_options(e2e PRIVATE -municode)
target_link_libraries(e2e PRIVATE kovirant_core comctl32 version advapi32 oleacc ole32 oleaut32 uuid ${KOVIRANT_STATIC_LINK})
target_compile_options(e2e PRIVATE ${KOVIRANT_WARNINGS} -Wno-restrict ${KOVIRANT_TEST_OPTIMIZE})
target_include_directories(e2e PRIVATE ${CMAKE_BINARY_DIR}/generated)  # the version the About box shows

add_executable(exe_bench bench/exe_bench.cpp bench/core_steps.cpp tests/wine/driver.cpp)
target_compile_definitions(exe_bench PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0601)
target_link_options(exe_bench PRIVATE -municode)
target_link_libraries(exe_bench PRIVATE kovirant_core comctl32 psapi ${KOVIRANT_STATIC_LINK})
target_compile_options(exe_bench PRIVATE ${KOVIRANT_WARNINGS})
