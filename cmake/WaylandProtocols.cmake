# Client code for Wayland protocols, generated with wayland-scanner from their
# XML descriptions: qx_wayland_protocol(<target> <xml>) adds the generated
# code to the target and the folder of the generated header
# (<name>-client-protocol.h) to its private include path.
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)

function(qx_wayland_protocol target xml)
  get_filename_component(name "${xml}" NAME_WE)
  set(dir "${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols")
  set(header "${dir}/${name}-client-protocol.h")
  set(code "${dir}/${name}-protocol.c")
  add_custom_command(
    OUTPUT "${header}" "${code}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${dir}"
    COMMAND ${WAYLAND_SCANNER} --strict client-header "${xml}" "${header}"
    COMMAND ${WAYLAND_SCANNER} --strict private-code "${xml}" "${code}"
    DEPENDS "${xml}"
    COMMENT "Generating Wayland client code for ${name}"
    VERBATIM)
  target_sources(${target} PRIVATE "${header}" "${code}")
  target_include_directories(${target} PRIVATE "${dir}")
endfunction()
