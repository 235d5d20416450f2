# qr_add_resource(<target> <id> <file>): compiles <file> into <target> as the resource numbered <id>,
# the way a Windows program carries its icon. The runtime finds it with its number at run time.
function(qr_add_resource target id file)
  get_filename_component(abs "${file}" ABSOLUTE)
  set(out "${CMAKE_CURRENT_BINARY_DIR}/${target}_resource_${id}.cpp")
  add_custom_command(
    OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -DINPUT=${abs} -DOUTPUT=${out} -DID=${id}
            -P "${PROJECT_SOURCE_DIR}/cmake/embed_resource.cmake"
    DEPENDS "${abs}" "${PROJECT_SOURCE_DIR}/cmake/embed_resource.cmake"
    COMMENT "Embedding resource ${id} from ${file}")
  target_sources(${target} PRIVATE "${out}")
endfunction()
