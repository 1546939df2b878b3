# Warning set shared by every target of ours (not by GoogleTest).
add_library(reachkit_warnings INTERFACE)
target_compile_options(reachkit_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow -Wnon-virtual-dtor)
if(REACHKIT_WERROR)
  target_compile_options(reachkit_warnings INTERFACE -Werror)
endif()
if(WIN32)
  # C99 printf family in every translation unit, so formats behave as on Linux.
  target_compile_definitions(reachkit_warnings INTERFACE __USE_MINGW_ANSI_STDIO=1
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()
