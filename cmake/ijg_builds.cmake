# GDCM's IJG JPEG libraries (libgdcm-dev): one build per sample precision (8, 12, 16 bits,
# gdcmjpeg8/12/16), IJG 6b with the lossless extension, their symbols renamed so that they
# cannot clash with the libjpeg Qt loads. Each build has its own headers of the same names, so
# a source that uses them is compiled once per build.
#
#   vireoscan_ijg_builds(TARGET target SOURCE file.cpp PREFIX name)
# compiles file.cpp three times (objects name8, name12, name16) with VIREOSCAN_IJG_BITS and
# VIREOSCAN_IJG_NAMESPACE set and that build's headers first, adds them to target and links
# target with the three libraries.
find_path(GDCM_JPEG_HEADERS gdcmjpeg/16/jpeglib.h PATH_SUFFIXES gdcm-3.0 REQUIRED)
function(vireoscan_ijg_builds)
  cmake_parse_arguments(IJG "" "TARGET;SOURCE;PREFIX" "" ${ARGN})
  foreach(bits 8 12 16)
    find_library(GDCM_JPEG${bits} gdcmjpeg${bits} REQUIRED)
    set(objects ${IJG_PREFIX}${bits})
    add_library(${objects} OBJECT ${IJG_SOURCE})
    target_include_directories(${objects} BEFORE PRIVATE ${GDCM_JPEG_HEADERS}/gdcmjpeg/${bits})
    target_include_directories(${objects} PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_definitions(${objects} PRIVATE VIREOSCAN_IJG_BITS=${bits} VIREOSCAN_IJG_NAMESPACE=bits${bits})
    vireoscan_target_options(${objects})
    target_sources(${IJG_TARGET} PRIVATE $<TARGET_OBJECTS:${objects}>)
    target_link_libraries(${IJG_TARGET} PUBLIC ${GDCM_JPEG${bits}})
  endforeach()
endfunction()
