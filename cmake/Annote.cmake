# zt7_append_default_ini(target version): after every link of target, appends the default settings
# file "ZT7.INI" (from packaging/ZT7.INI.in, CR LF line ends, Version set to version) as a block the
# program extracts beside itself at first start. Callable from any directory.
function(zt7_append_default_ini target version)
  set(template ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../packaging/ZT7.INI.in)
  set(ini ${CMAKE_BINARY_DIR}/annote/${target}/ZT7.INI)
  set(ZT7_INI_VERSION ${version})
  configure_file(${template} ${ini} @ONLY NEWLINE_STYLE CRLF)
  # A changed default text must reach the executable, so it takes part in the link.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ini})
  add_dependencies(${target} zt7-annote)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND $<TARGET_FILE:zt7-annote> add $<TARGET_FILE:${target}> ${ini} --quiet
    COMMENT "Appending default ZT7.INI (${version}) to ${target}"
    VERBATIM)
endfunction()
