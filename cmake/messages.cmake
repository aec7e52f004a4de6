# The message catalogue has one source, resources/messages.tsv. From it the build makes the
# Windows resource script (read with LoadStringA) and the table that the POSIX build compiles in.
set(VN_MESSAGES_SOURCE ${PROJECT_SOURCE_DIR}/resources/messages.tsv)
set(VN_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
add_custom_command(
  OUTPUT ${VN_GENERATED_DIR}/messages.rc ${VN_GENERATED_DIR}/messages_table.inc
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${VN_MESSAGES_SOURCE} -DOUT_DIR=${VN_GENERATED_DIR}
          -P ${PROJECT_SOURCE_DIR}/cmake/gen_messages.cmake
  DEPENDS ${VN_MESSAGES_SOURCE} ${PROJECT_SOURCE_DIR}/cmake/gen_messages.cmake
  COMMENT "Generating the message catalogue")
add_custom_target(vn_messages DEPENDS ${VN_GENERATED_DIR}/messages.rc
                                      ${VN_GENERATED_DIR}/messages_table.inc)

# Every Windows executable that looks up catalogue texts carries the string table itself.
function(vn_add_catalogue target)
  if(WIN32)
    target_sources(${target} PRIVATE ${VN_GENERATED_DIR}/messages.rc)
    add_dependencies(${target} vn_messages)
  endif()
endfunction()
if(WIN32)
  enable_language(RC)
endif()
