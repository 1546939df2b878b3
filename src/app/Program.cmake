# Reachkit.exe: the window program, one static executable.
#
# reachkit.rc is the one resource script compiled; it includes the others
# (dialogs.rc). Every res/*.rc is kept in UTF-8 so that its texts stay readable, and turned
# into code page 950 bytes here before windres reads it (-c 950). A Chinese
# text whose code page 950 form has a trail byte 0x5C ('\') would be taken
# for an escape by windres; the conversion step refuses such a file.
set(_res ${PROJECT_SOURCE_DIR}/res)
file(GLOB _rc_sources CONFIGURE_DEPENDS ${_res}/*.rc)
file(GLOB_RECURSE _res_files CONFIGURE_DEPENDS ${_res}/*.png ${_res}/*.ico ${_res}/*.h)
set(_rc_outputs)
foreach(_rc ${_rc_sources})
  get_filename_component(_name ${_rc} NAME)
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/res/${_name})
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/res
    COMMAND ${_res}/rc-to-cp950.sh ${_rc} ${_out}
    DEPENDS ${_rc} ${_res}/rc-to-cp950.sh
    COMMENT "Converting ${_name} to code page 950"
    VERBATIM)
  list(APPEND _rc_outputs ${_out})
endforeach()
set(_main_rc ${CMAKE_CURRENT_BINARY_DIR}/res/reachkit.rc)
set(_included_rc ${_rc_outputs})
list(REMOVE_ITEM _included_rc ${_main_rc})
if(_included_rc)
  set_source_files_properties(${_included_rc} PROPERTIES HEADER_FILE_ONLY ON)
endif()
set_source_files_properties(${_main_rc} PROPERTIES OBJECT_DEPENDS "${_res_files};${_included_rc}")

add_executable(Reachkit WIN32 ${REACHKIT_GUI_SOURCES} ${_rc_outputs})
set_target_properties(Reachkit PROPERTIES OUTPUT_NAME Reachkit)
target_include_directories(Reachkit PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${_res})
target_compile_options(Reachkit PRIVATE $<$<COMPILE_LANGUAGE:RC>:--codepage=950>)
target_link_libraries(Reachkit PRIVATE reachkit_core reachkit_warnings
  gdiplus msimg32 comctl32 version ole32 ws2_32 iphlpapi comdlg32 shell32)
# Stripped: the symbols would triple the size of what users copy around.
target_link_options(Reachkit PRIVATE -mwindows -static $<$<NOT:$<CONFIG:Debug>>:-s>)
