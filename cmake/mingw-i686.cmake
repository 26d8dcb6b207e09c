# Cross build of the shipped 32-bit SETUP.EXE with MinGW-w64. Everything of
# ours is compiled for the i486, the oldest processor the program runs on.
set(MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_FLAGS_INIT "-march=i486")
set(CMAKE_CXX_FLAGS_INIT "-march=i486")
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
