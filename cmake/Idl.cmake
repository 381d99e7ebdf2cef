# Compiles an interface definition into a C/C++ header, the interface
# identifiers and a type library, in the current binary folder:
#   pelkin_compile_idl(<idl file> <output name> [TYPELIB]
#                      [IMPORTS <idl folder>...] [DEPENDS <imported idl>...])
# sets <output name>_HEADER, <output name>_IIDS and, with TYPELIB (the file
# defines a library), <output name>_TLB.
# MinGW builds use widl; its standard .idl imports come from Wine's headers
# and stdole2.tlb from Wine's library folder. MSVC builds use midl.
set(PELKIN_WIDL_INCLUDE /usr/include/wine/wine/windows CACHE PATH "Folder of the standard .idl files for widl")
set(PELKIN_WIDL_LIBRARY /usr/lib/x86_64-linux-gnu/wine/x86_64-windows CACHE PATH "Folder of stdole2.tlb for widl")

function(pelkin_compile_idl idl name)
  cmake_parse_arguments(PARSE_ARGV 2 ARG "TYPELIB" "" "IMPORTS;DEPENDS")
  set(header ${CMAKE_CURRENT_BINARY_DIR}/${name}.h)
  set(iids ${CMAKE_CURRENT_BINARY_DIR}/${name}_i.c)
  set(outputs ${header} ${iids})
  set(midl_tlb)
  set(widl_tlb)
  if(ARG_TYPELIB)
    set(tlb ${CMAKE_CURRENT_BINARY_DIR}/${name}.tlb)
    list(APPEND outputs ${tlb})
    set(midl_tlb /tlb ${tlb})
    set(widl_tlb -t -T ${tlb})
    set(${name}_TLB ${tlb} PARENT_SCOPE)
  endif()
  get_filename_component(idl ${idl} ABSOLUTE)
  set(includes)
  foreach(dir ${ARG_IMPORTS})
    list(APPEND includes -I ${dir})
  endforeach()
  if(MSVC)
    add_custom_command(OUTPUT ${outputs}
      COMMAND midl /nologo /env x64 ${includes} /h ${header} /iid ${iids} ${midl_tlb} ${idl}
      DEPENDS ${idl} ${ARG_DEPENDS} VERBATIM)
  else()
    find_program(PELKIN_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
    add_custom_command(OUTPUT ${outputs}
      COMMAND ${PELKIN_WIDL} --win64 -I ${PELKIN_WIDL_INCLUDE} -L ${PELKIN_WIDL_LIBRARY} ${includes}
              -h -H ${header} -u -U ${iids} ${widl_tlb} ${idl}
      DEPENDS ${idl} ${ARG_DEPENDS} VERBATIM)
  endif()
  set(${name}_HEADER ${header} PARENT_SCOPE)
  set(${name}_IIDS ${iids} PARENT_SCOPE)
endfunction()
