# The warnings and sanitizers our own targets are built with. They are attached to each target
# through vireoscan_target_options rather than set for the whole directory tree, so that
# anything brought in from outside keeps its own flags.
add_library(vireoscan_compile_options INTERFACE)
target_compile_options(vireoscan_compile_options INTERFACE -Wall -Wextra -Wpedantic)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12 reports std::string copies at -O3 as overlapping or uninitialised (GCC bugs
  # 105329, 105562); those two checks give no signal there.
  target_compile_options(vireoscan_compile_options INTERFACE -Wno-restrict -Wno-maybe-uninitialized)
endif()
if(VIREOSCAN_WERROR)
  target_compile_options(vireoscan_compile_options INTERFACE -Werror)
endif()
if(VIREOSCAN_SANITIZE)
  target_compile_options(vireoscan_compile_options INTERFACE
                         -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(vireoscan_compile_options INTERFACE -fsanitize=address,undefined)
endif()
if(VIREOSCAN_THREAD_SANITIZE)
  target_compile_options(vireoscan_compile_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(vireoscan_compile_options INTERFACE -fsanitize=thread)
endif()

# Gives each named target the options above.
function(vireoscan_target_options)
  foreach(target ${ARGN})
    target_link_libraries(${target} PRIVATE vireoscan_compile_options)
  endforeach()
endfunction()
