# The Windows side: test programs that run under Wine (and later the exe).
set(KOVIRANT_STATIC_LINK -static -static-libgcc -static-libstdc++)

add_executable(profile_diff tests/wine/profile_diff.cpp)
target_link_libraries(profile_diff PRIVATE kovirant_core ${KOVIRANT_STATIC_LINK})
target_compile_options(profile_diff PRIVATE ${KOVIRANT_WARNINGS})
