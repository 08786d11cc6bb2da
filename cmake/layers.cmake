# The layers: the DICOM library (dicom/) includes nothing above it and no Qt; the conversion
# layer (convert/) includes the DICOM library and nothing above; the controller (core/) may
# include both, but nothing of the desktop program or Qt; the converter (cli/) includes
# convert/ and dicom/, never the controller. Each header of the three lower layers compiles
# alone, so that it says what it needs.
#
#   vireoscan_layer(TARGET lib HEADERS a.h b.h ... FORBID core/ ui/ Q ...)
# checks the target's sources and the headers for #includes that start with a forbidden
# prefix (at configure time), and builds one object per header holding only its #include.
function(vireoscan_layer)
  cmake_parse_arguments(LAYER "" "TARGET" "HEADERS;FORBID" ${ARGN})
  get_target_property(sources ${LAYER_TARGET} SOURCES)
  set(alone "")
  foreach(file ${sources} ${LAYER_HEADERS})
    get_filename_component(path ${file} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    file(STRINGS ${path} includes REGEX "^#include")
    foreach(line ${includes})
      foreach(forbidden ${LAYER_FORBID})
        if(line MATCHES "^#include [<\"]${forbidden}")
          message(FATAL_ERROR "${path}: '${line}' crosses a layer (${forbidden} is not for this folder)")
        endif()
      endforeach()
    endforeach()
  endforeach()
  foreach(header ${LAYER_HEADERS})
    file(RELATIVE_PATH name ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${header})
    string(MAKE_C_IDENTIFIER "${name}" id)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/headers_alone/${id}.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "#include \"${name}\"\n")
    list(APPEND alone ${source})
  endforeach()
  if(alone)
    add_library(${LAYER_TARGET}_headers_alone OBJECT ${alone})
    target_link_libraries(${LAYER_TARGET}_headers_alone PRIVATE ${LAYER_TARGET})
    vireoscan_target_options(${LAYER_TARGET}_headers_alone)
  endif()
endfunction()
