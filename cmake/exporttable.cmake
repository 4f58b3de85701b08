# tarn_export_table(TARGET DEF): gives a DLL its export table from a .def file.
#
# The .def files name the 32-bit internal symbols, which carry the stdcall
# decoration (IMPMAIL = IMPMAIL@20 @7). x86_64 has no such decoration, so for
# that build a copy is written with the "@N" dropped from each internal name.
# The exported names are left as they stand: _EXTRACTMESSAGE@24 is exported
# under that literal name by both builds, so a host looks up the same names.
function(tarn_export_table target def)
  get_filename_component(def_path ${def} ABSOLUTE)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_sources(${target} PRIVATE ${def_path})
    return()
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def_path})
  file(READ ${def_path} text)
  string(REGEX REPLACE "(=[ \t]*[A-Za-z_][A-Za-z0-9_]*)@[0-9]+" "\\1" text "${text}")
  get_filename_component(name ${def} NAME)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}-x86_64-${name})
  file(WRITE ${out}.new "${text}")
  file(COPY_FILE ${out}.new ${out} ONLY_IF_DIFFERENT)
  target_sources(${target} PRIVATE ${out})
endfunction()
