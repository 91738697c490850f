# zt7_append_default_ini(target version): appends the default settings file to the linked
# executable. Filled in together with the packaging tool.
function(zt7_append_default_ini target version)
endfunction()
